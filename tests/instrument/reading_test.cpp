// One measured point: the measure command, the checks of the raw reading and its demodulation.

#include <gtest/gtest.h>

#include <cmath>

#include "instrument/commands.h"
#include "instrument/protocol.h"
#include "instrument/raw_reading.h"
#include "support/port_rig.h"
#include "support/scripted_serial_port.h"

using namespace vna;
using Rig = test::PortRig<test::ScriptedSerialPort>;

namespace {

constexpr double Pi = 3.141592653589793;

std::vector<std::uint8_t> Frame(std::uint32_t word, double loadAmp, double loadPhase, double refAmp,
                                double refPhase, std::uint16_t overloadWord = 0) {
    std::array<std::uint16_t, instrument::RawAdcWords> adc{};
    for (int k = 0; k < 16; ++k) {
        const double a = 2 * Pi * k / 16;
        adc[static_cast<std::size_t>(k)] =
            static_cast<std::uint16_t>(std::lround(32768 + loadAmp * std::sin(a + loadPhase)));
        adc[static_cast<std::size_t>(16 + k)] =
            static_cast<std::uint16_t>(std::lround(32768 + refAmp * std::sin(a + refPhase)));
    }
    adc[32] = overloadWord;
    const auto f = instrument::EncodeRawReading(word, adc);
    return {f.begin(), f.end()};
}

std::vector<std::uint8_t> BadChecksum(std::vector<std::uint8_t> frame) {
    frame[71] ^= 0x01;
    return frame;
}

struct Measured : Rig {
    Measured() {
        serial.open("x", 57600);
        st().freq = 10;
    }
    std::uint32_t word() { return instrument::TuningWord(st(), st().freq, 0); }
};

} // namespace

TEST(RawReading, DemodulationRecoversAmplitudesAndPhaseAndTheRawImpedance) {
    Measured rig;
    auto& st = rig.st();
    // Load 8000 at +30 deg, reference 16000 at -20 deg: |Zm| = 50 * 2 = 100 at +50 deg.
    const std::uint32_t word = rig.word();
    rig.serial.answer = [&](const std::vector<std::uint8_t>& c) {
        return c[0] == 'U' ? Frame(word, 8000, 30 * Pi / 180, 16000, -20 * Pi / 180)
                           : std::vector<std::uint8_t>{};
    };
    instrument::MeasurePoint(rig.p());
    const auto sent = rig.serial.writtenTexts();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], instrument::MeasureCommand(instrument::MeasurePort::A, st.DDSdelay, word).text());
    EXPECT_EQ(st.ReadingValid, 1);
    EXPECT_EQ(st.LastError, 0);
    EXPECT_NEAR(st.MagLoad, 8000, 1);
    EXPECT_NEAR(st.MagRef, 16000, 1);
    EXPECT_NEAR(st.PhaseDiff, 50 * Pi / 180, 2e-4);
    EXPECT_NEAR(st.AdcMean[0], 32768, 0.5);
    EXPECT_NEAR(st.RsRaw, 100 * std::cos(50 * Pi / 180) - 50, 0.05);
    EXPECT_NEAR(st.XsRaw, 100 * std::sin(50 * Pi / 180), 0.05);
    EXPECT_NEAR(st.PhaseDeg, st.PhaseDiff * 57.296, 1e-12);

    // Port B: "T", and the phases are negated; a difference beyond pi wraps.
    rig.serial.writes.clear();
    st.PortBMode = 1;
    rig.serial.answer = [&](const std::vector<std::uint8_t>& c) {
        return c[0] == 'T' ? Frame(rig.word(), 4000, 170 * Pi / 180, 16000, -170 * Pi / 180)
                           : std::vector<std::uint8_t>{};
    };
    instrument::MeasurePortBPoint(rig.p());
    EXPECT_EQ(rig.serial.writtenTexts()[0][0], 'T');
    EXPECT_EQ(st.PortB_on, 1);
    // -170 - (+170) = -340 deg, wrapped to +20 deg.
    EXPECT_NEAR(st.PhaseDiff, 20 * Pi / 180, 2e-4);
    EXPECT_NEAR(st.RefRatio, 16000 * 50 / 4001.0, 0.1);
}

TEST(RawReading, ChecksumResendsUpToFourTimes) {
    // Wrong twice, then right: a valid reading after two "R".
    {
        Measured rig;
        int replies = 0;
        rig.serial.answer = [&](const std::vector<std::uint8_t>&) {
            const auto f = Frame(rig.word(), 5000, 0, 9000, 0);
            return ++replies <= 2 ? BadChecksum(f) : f;
        };
        instrument::MeasurePoint(rig.p());
        const auto sent = rig.serial.writtenTexts();
        ASSERT_EQ(sent.size(), 3u);
        EXPECT_EQ(sent[1], "R");
        EXPECT_EQ(sent[2], "R");
        EXPECT_EQ(rig.st().ReadingValid, 1);
        EXPECT_EQ(rig.st().LastError, 0);
        EXPECT_TRUE(rig.printed("  retry: 1"));
        EXPECT_TRUE(rig.printed("  retry: 2"));
    }
    // Wrong five times: not valid, no message box; the preset ADC words end it as a missing
    // reference with code 17.
    {
        Measured rig;
        rig.st().Measuring = 1;
        rig.serial.answer = [&](const std::vector<std::uint8_t>& c) {
            return c[0] == 'U' || c[0] == 'R' ? BadChecksum(Frame(rig.word(), 5000, 0, 9000, 0))
                                              : std::vector<std::uint8_t>{};
        };
        instrument::MeasurePoint(rig.p());
        int resends = 0;
        for (const auto& t : rig.serial.writtenTexts()) {
            resends += t == "R" ? 1 : 0;
        }
        EXPECT_EQ(resends, 4);
        EXPECT_EQ(rig.st().ReadingValid, 0);
        EXPECT_EQ(rig.st().Measuring, 0);
        EXPECT_EQ(rig.st().LastError, 17);
        EXPECT_EQ(rig.st().AdcWords[1], -1);
        EXPECT_TRUE(rig.ui.messages().empty());
        EXPECT_TRUE(rig.printed("*** No Reference signal at  10 MHz      "));
    }
}

TEST(RawReading, AllZerosPassTheChecksumButAreNotValid) {
    Measured rig;
    rig.serial.answer = [](const std::vector<std::uint8_t>&) { return std::vector<std::uint8_t>(72, 0); };
    instrument::MeasurePoint(rig.p());
    for (const auto& t : rig.serial.writtenTexts()) {
        EXPECT_NE(t, "R"); // no resend: the checksum matched
    }
    EXPECT_EQ(rig.st().ReadingValid, 0);
    EXPECT_EQ(rig.st().LastError, 17); // sample 1 is 0
}

TEST(RawReading, EchoedFrequencyReplacesTheRequestOnlyWhenClose) {
    Measured rig;
    auto& st = rig.st();
    std::uint32_t echo = 0;
    rig.serial.answer = [&](const std::vector<std::uint8_t>&) { return Frame(echo, 5000, 0, 9000, 0); };
    const double scale = 4294967296.0 / 400;
    echo = static_cast<std::uint32_t>(std::lround(10.003 * scale));
    instrument::MeasurePoint(rig.p());
    EXPECT_NEAR(st.freq, 10.003, 1e-6);

    st.freq = 10;
    echo = static_cast<std::uint32_t>(std::lround(10.006 * scale));
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(st.freq, 10);

    // With a frequency compensation the echo is divided back.
    st.freq_comp = 1.00001;
    echo = static_cast<std::uint32_t>(std::lround(10.0001 * scale));
    instrument::MeasurePoint(rig.p());
    EXPECT_NEAR(st.freq, 10.0001 / 1.00001, 1e-6);
}

TEST(RawReading, LowFrequenciesAndTheFourKilohertzFloor) {
    Measured rig;
    auto& st = rig.st();
    rig.serial.answer = [&](const std::vector<std::uint8_t>& c) {
        return c[0] == 'U' ? Frame(0, 5000, 0, 9000, 0) : std::vector<std::uint8_t>{};
    };
    st.average = 4;
    st.freq = 0.05;
    instrument::MeasurePoint(rig.p());
    auto sent = rig.serial.writtenTexts();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], instrument::AveragingCommand(64).text());
    EXPECT_EQ(sent[1][0], 'U');
    EXPECT_EQ(sent[2], instrument::AveragingCommand(4).text());
    EXPECT_EQ(st.average, 4);

    rig.serial.writes.clear();
    st.freq = 0.15;
    instrument::MeasurePoint(rig.p());
    sent = rig.serial.writtenTexts();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], instrument::AveragingCommand(16).text());

    rig.serial.writes.clear();
    st.average = 32;
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(rig.serial.writtenTexts().size(), 1u);
    // A user's larger count is not lowered below 0.1 MHz either.
    rig.serial.writes.clear();
    st.average = 256;
    st.freq = 0.05;
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(rig.serial.writtenTexts().size(), 1u);

    // The restore after the point keeps the point's error code.
    rig.serial.writes.clear();
    st.average = 4;
    rig.serial.answer = nullptr;
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(st.LastError, 10);
    EXPECT_EQ(rig.serial.writtenTexts().back(), instrument::AveragingCommand(4).text());

    // At 0.003 MHz a Port A point is not measured.
    rig.serial.writes.clear();
    st.freq = 0.003;
    instrument::MeasurePortAPoint(rig.p());
    EXPECT_TRUE(rig.serial.writes.empty());
    EXPECT_EQ(st.MagLoad, 10000);
    EXPECT_EQ(st.MagRef, 10000);
    EXPECT_NEAR(st.RefRatio, 10000 * 50 / 10001.0, 1e-9);

    // Frequency only: "G" and no reading.
    rig.serial.writes.clear();
    st.freq = 7;
    instrument::MeasurePoint(rig.p(), true);
    EXPECT_EQ(
        rig.serial.writtenTexts(),
        std::vector<std::string>{instrument::SetFrequencyCommand(instrument::TuningWord(st, 7, 0)).text()});

    // Without an instrument (and outside diagnostic mode) nothing is sent.
    rig.serial.writes.clear();
    st.InstrumentPresent = 0;
    st.SweepPass = 3;
    instrument::MeasurePoint(rig.p());
    EXPECT_TRUE(rig.serial.writes.empty());
    EXPECT_EQ(st.SweepPass, 0);
}

TEST(RawReading, OverloadAtLowGainStopsMeasuringAndSaysSoWhenTheRelaysWereOn) {
    Measured rig;
    auto& st = rig.st();
    rig.serial.answer = [&](const std::vector<std::uint8_t>& c) {
        return c[0] == 'U' ? Frame(0, 5000, 0, 9000, 0, 65535) : std::vector<std::uint8_t>{};
    };
    instrument::SetRelays(rig.p(), 3);
    st.Measuring = 1;
    st.PortA_Gain = 1;
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(st.LastError, 1274);
    EXPECT_EQ(st.ReadingValid, 0);
    EXPECT_EQ(st.Measuring, 0);
    EXPECT_EQ(st.RfActive, 0);
    EXPECT_EQ(st.RelayBit0, 0);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text, "OVERLOAD at the RF Input.");
    EXPECT_EQ(rig.ui.messages()[0].caption, "  RF INPUT OVERLOAD ");
    EXPECT_EQ(rig.serial.writtenTexts().back(), "K" + std::string(1, char(168))); // relays switched off

    // With the relays already off there is no box; at gain 2 and above no overload at all.
    st.LastError = 0;
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(st.LastError, 1274);
    EXPECT_EQ(rig.ui.messages().size(), 1u);
    st.LastError = 0;
    st.PortA_Gain = 2;
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(st.LastError, 0);
    EXPECT_EQ(st.ReadingValid, 1);
    // The active port decides which gain counts.
    st.PortB_on = 1;
    st.PortB_Gain = 1;
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(st.LastError, 1274);
}

TEST(RawReading, NoReplyIsCodeTenWithinItsBudget) {
    Measured rig;
    auto& st = rig.st();
    st.Measuring = 1;
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(st.LastError, 10);
    EXPECT_EQ(st.ReadingValid, 0);
    EXPECT_EQ(st.Measuring, 0);
    EXPECT_EQ(rig.serial.emptyReads, 501);
    EXPECT_TRUE(rig.printed("  === No data from I/O port. ===        "));
    EXPECT_TRUE(rig.ui.messages().empty()); // the source was off: no box

    // A long average doubles the budget; with the source on the reset box appears.
    rig.serial.emptyReads = 0;
    st.average = 130;
    st.commport = 6;
    instrument::SetRelays(rig.p(), 3);
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(rig.serial.emptyReads, 1001);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].caption, "Hardware Reset");
    EXPECT_EQ(
        rig.ui.messages()[0].text,
        " A data error has occured on comm port 6.\r\r Turn the VNA power off and back on to reset.\r\r If "
        "this problem persists, check the USB driver associated with port 6.\r\r        Click OK to close "
        "the "
        "program.");

    // A truncated reply is a time-out too, never a partial success.
    rig.serial.emptyReads = 0;
    rig.serial.answer = [&](const std::vector<std::uint8_t>& c) {
        auto f = Frame(0, 5000, 0, 9000, 0);
        f.resize(40);
        return c[0] == 'U' ? f : std::vector<std::uint8_t>{};
    };
    st.average = 4;
    st.LastError = 0;
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(st.LastError, 10);
    EXPECT_EQ(st.ReadingValid, 0);
    EXPECT_EQ(rig.serial.emptyReads, 501);
}

TEST(RawReading, OversizedReplyDoesNotShiftTheNextOne) {
    Measured rig;
    int n = 0;
    rig.serial.answer = [&](const std::vector<std::uint8_t>& c) {
        auto f = Frame(0, 5000, 0, 9000, 0);
        if (c[0] == 'U' && ++n == 1) {
            f.insert(f.end(), 9, 0x42); // nine stray bytes after the first reply
        }
        return f;
    };
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(rig.st().ReadingValid, 1);
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(rig.st().ReadingValid, 1);
    EXPECT_EQ(rig.serial.writtenTexts().size(), 2u); // no resend was needed
}

TEST(RawReading, WeakReferenceAfterAnalysisIsFlagged) {
    Measured rig;
    auto& st = rig.st();
    rig.serial.answer = [&](const std::vector<std::uint8_t>&) { return Frame(0, 5000, 0, 4, 0); };
    instrument::MeasurePoint(rig.p());
    EXPECT_EQ(st.MagRef, 10);
    EXPECT_EQ(st.LastError & 0x80, 0x80);
    EXPECT_TRUE(rig.printed("*** No Reference signal at "));
}
