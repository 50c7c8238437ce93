// Identification, the date code, and the health checks.

#include <gtest/gtest.h>

#include <filesystem>

#include "instrument/date_code.h"
#include "instrument/health.h"
#include "instrument/identification.h"
#include "instrument/protocol.h"
#include "instrument/status_text.h"
#include "support/port_rig.h"
#include "support/scripted_serial_port.h"

using namespace vna;
using platform::Answer;
using Rig = test::PortRig<test::ScriptedSerialPort>;

namespace {

std::vector<std::uint8_t> Text(const std::string& s) {
    return {s.begin(), s.end()};
}

struct Identified : Rig {
    explicit Identified(const std::string& versionReply) {
        serial.open("x", 57600);
        serial.answer = [this,
                         versionReply](const std::vector<std::uint8_t>& c) -> std::vector<std::uint8_t> {
            if (c == std::vector<std::uint8_t>{'V'}) {
                return Text(versionReply);
            }
            if (c.size() >= 2 && c[0] == 'Z' && c[1] == 'R') {
                std::vector<std::uint8_t> out;
                ++flashReads;
                for (auto w : flash) {
                    // A noisy line: every read of the flash brings different bytes.
                    w = noisyLine ? static_cast<std::uint16_t>(w ^ flashReads) : w;
                    out.push_back(static_cast<std::uint8_t>(w >> 8));
                    out.push_back(static_cast<std::uint8_t>(w));
                }
                out.resize(flashBytes);
                return out;
            }
            if (c.size() >= 2 && c[0] == 'Z' && c[1] == 'W') {
                written = c;
                return ack;
            }
            if (c == std::vector<std::uint8_t>{'Z', 'T'}) {
                return {static_cast<std::uint8_t>(tempWord >> 8), static_cast<std::uint8_t>(tempWord)};
            }
            if (c == std::vector<std::uint8_t>{'B'} && supplyAnswers) {
                return {static_cast<std::uint8_t>(supplyWord >> 8), static_cast<std::uint8_t>(supplyWord)};
            }
            return {};
        };
    }
    instrument::DateCode flash{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    std::size_t flashBytes = 8;
    int flashReads = 0;
    bool noisyLine = false;
    std::vector<std::uint8_t> ack{'K'};
    std::vector<std::uint8_t> written;
    std::uint16_t tempWord = 0;
    std::uint16_t supplyWord = 2580;
    bool supplyAnswers = true;
};

const std::string Reply = "VNA ver 2.60 sn=1042 temp flash maxbaud115 cpuclk=20mhz dds=400@";

} // namespace

TEST(Identification, FullQueryTakesTheTextsCapabilitiesAndWritesTheVersionFile) {
    Identified rig(Reply);
    rig.st().instrument_id = "141230104458";
    rig.st().ProgramFileDate = "02-04-2014 10:00:00";
    rig.st().HighBaud = 0;
    instrument::IdentifyInstrument(rig.p(), 1);
    auto& st = rig.st();
    EXPECT_EQ(st.IdentState, 1);
    EXPECT_EQ(st.InstrumentPresent, 1);
    EXPECT_EQ(st.LastError, 0);
    EXPECT_EQ(st.TempSensor, 1);
    EXPECT_EQ(st.FlashPresent, 1);
    EXPECT_EQ(st.MaxBaudHigh, 1);
    EXPECT_EQ(st.SyncSupported, 1);
    EXPECT_EQ(st.ControllerText, "vna ver 2.60 sn=1042 temp flash maxbaud115 cpuclk=20mhz dds=400@");
    EXPECT_EQ(st.VersionText, "vna ver 2.60 sn=1042 temp flash maxbaud115     ID= 141230104458");

    const std::string file = test::ReadFile(rig.dir.file("version141230104458.txt"));
    EXPECT_EQ(file, "ID= 141230104458\r\nfile date=02-04-2014 10:00:00\r\nprog date=12-07-2026 12:00:00\r\n"
                    "Controller data: " +
                        st.ControllerText + "\r\ncomm port= 6\r\nbaud rate= 57600\r\n");
    EXPECT_TRUE(rig.ui.messages().empty());
    EXPECT_EQ(instrument::IdentityText(st), "ID Num= 141230104458 " + st.VersionText);
    // A status line blanks the line it overwrites and leaves the texts drawn after it (the
    // graph's captions) transparent, so these do not blank each other.
    instrument::StatusText(rig.p(), 20, 10, " COM6 port open", instrument::NormalTextColor);
    std::vector<std::string> backgrounds;
    for (const std::string& op : rig.ui.canvas()->ops) {
        if (op.rfind("textbg ", 0) == 0) {
            backgrounds.push_back(op);
        }
    }
    ASSERT_FALSE(backgrounds.empty());
    EXPECT_EQ(backgrounds.front().rfind("textbg opaque", 0), 0u);
    EXPECT_EQ(backgrounds.back().rfind("textbg transparent", 0), 0u);
}

TEST(Identification, AnIdFromASettingsFileNamesAVersionFileInsideTheDataFolder) {
    Identified rig(Reply);
    rig.st().instrument_id = "/../../x/\\..\r\nid";
    instrument::IdentifyInstrument(rig.p(), 1);
    ASSERT_EQ(rig.st().IdentState, 1);
    EXPECT_EQ(instrument::VersionFileName(rig.st()), "version_______x______id.txt");
    EXPECT_TRUE(std::filesystem::exists(rig.dir.file("version_______x______id.txt")));
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::path(rig.dir.path()).parent_path().parent_path() / "x"));
}

TEST(Identification, RepliesThatDoNotIdentifyTheInstrument) {
    // Without "@" nothing counts, even with "vna" in it.
    {
        Identified rig("vna ver 2.60 sn=1");
        rig.st().WindowTitle = "VNA-180    Program Version: 546B   ";
        instrument::IdentifyInstrument(rig.p(), 1);
        EXPECT_EQ(rig.st().IdentState, 0);
        EXPECT_EQ(rig.st().LastError, 10);
        EXPECT_EQ(rig.st().InstrumentPresent, 0); // full query: demo mode
        EXPECT_EQ(rig.st().VersionText, " Check VNA DC power and comm cable");
        EXPECT_EQ(rig.ui.title(), "VNA-180    Program Version: 546B        DEMO MODE   ");
        EXPECT_NE(instrument::IdentityText(rig.st()).find(" DEMO MODE "), std::string::npos);
    }
    // An answer without "vna": -1, present for the negotiation, demo mode for the full query.
    {
        Identified rig("hello@");
        instrument::IdentifyInstrument(rig.p(), 0);
        EXPECT_EQ(rig.st().IdentState, -1);
        EXPECT_EQ(rig.st().InstrumentPresent, 1);
        EXPECT_EQ(rig.st().LastError, 0);
        instrument::IdentifyInstrument(rig.p(), 1);
        EXPECT_EQ(rig.st().InstrumentPresent, 0);
        EXPECT_EQ(rig.st().IdentState, 0);
    }
}

TEST(Identification, ModelAndFirmwareChecks) {
    Identified rig(Reply);
    instrument::IdentifyInstrument(rig.p(), 1);
    instrument::CheckModel(rig.p());
    EXPECT_EQ(rig.st().instrument_id, " 1042");
    rig.st().ProgramRunning = 1;
    instrument::CheckFirmware(rig.p());
    EXPECT_EQ(rig.st().ProgramRunning, 1);
    EXPECT_TRUE(rig.ui.messages().empty());

    Identified old("vna ver 2.40 sn=7@");
    instrument::IdentifyInstrument(old.p(), 1);
    old.st().ProgramRunning = 1;
    instrument::CheckFirmware(old.p());
    EXPECT_EQ(old.st().ProgramRunning, 0);
    ASSERT_EQ(old.ui.messages().size(), 1u);
    EXPECT_EQ(old.ui.messages()[0].text, "This program requires firmware version 2.50 or higher.");
    EXPECT_EQ(old.ui.messages()[0].caption, "Firmware update required");

    Identified foreign("vna ver 2.60 temp@");
    instrument::IdentifyInstrument(foreign.p(), 1);
    instrument::CheckModel(foreign.p());
    EXPECT_EQ(foreign.st().InstrumentPresent, 0);
    ASSERT_EQ(foreign.ui.messages().size(), 1u);
    EXPECT_EQ(foreign.ui.messages()[0].text, "This program is only valid for the VNA.");
    EXPECT_EQ(foreign.ui.messages()[0].caption, " ");
}

TEST(Identification, ReadOnlyVersionFileIsReported) {
    Identified rig(Reply);
    rig.st().instrument_id = " 1042";
    // A folder in the way of the file cannot be replaced, not even by root.
    std::filesystem::create_directory(rig.dir.file("version 1042.txt"));
    instrument::IdentifyInstrument(rig.p(), 1);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    // A line break between the sentences; the pieces of one sentence run on.
    EXPECT_EQ(rig.ui.messages()[0].text,
              "The file named: version 1042.txt  has the Read-Only bit set.\r\nThis bit "
              "should be cleared before running the program.\r\nMake sure the Read-Only "
              "bit for ALL the files in the VNA folder is NOT set.");
    EXPECT_EQ(rig.st().IdentState, 1); // the instrument is identified all the same
}

TEST(DateCode, ValidCodeGivesTheId) {
    const instrument::DateCode words{0x0F0D, 0x1F0B, 0x2D3B, 0x5B53};
    EXPECT_EQ(instrument::DateCodeChecksum(words), 0x5B53);
    EXPECT_EQ(instrument::DateCodeId(words), "141230104458");
    // A checksum of 0 is stored as 4660.
    EXPECT_EQ(instrument::DateCodeChecksum({0x8000, 0x8000, 0, 0}), 4660);
    platform::LocalTime t{2014, 12, 30, 10, 44, 58, 0};
    EXPECT_EQ(instrument::DateCodeOf(t), words);

    Identified rig(Reply);
    rig.flash = words;
    instrument::ReadDateCode(rig.p());
    EXPECT_EQ(rig.st().instrument_id, "141230104458");
    EXPECT_TRUE(rig.ui.messages().empty());
    EXPECT_TRUE(rig.written.empty());
}

TEST(DateCode, MissingCodeIsProgrammedAfterAskingWhenTheFlashHoldsSomething) {
    // Something else in the flash: asked; No leaves it alone.
    {
        Identified rig(Reply);
        rig.flash = {0x0F0D, 0x1F0B, 0x2D3B, 0x5B54};
        rig.ui.messageAnswers.push_back(Answer::No);
        instrument::ReadDateCode(rig.p());
        ASSERT_EQ(rig.ui.messages().size(), 1u);
        EXPECT_EQ(rig.ui.messages()[0].text,
                  "This unit may already have an ID number. Do you want to reprogram it?");
        EXPECT_EQ(rig.ui.messages()[0].caption, " Serial Num is programmed");
        EXPECT_TRUE(rig.written.empty());
    }
    // Yes: written from the present date and time, acknowledged, announced.
    {
        Identified rig(Reply);
        rig.flash = {0x0F0D, 0x1F0B, 0x2D3B, 0x5B54};
        rig.ui.messageAnswers.push_back(Answer::Yes);
        instrument::ReadDateCode(rig.p());
        const auto expected =
            instrument::FlashWriteCommand(1, 4096, instrument::DateCodeOf(rig.clock.date)).text();
        EXPECT_EQ(std::string(rig.written.begin(), rig.written.end()), expected);
        EXPECT_EQ(rig.st().instrument_id, "261207120000");
        ASSERT_EQ(rig.ui.messages().size(), 2u);
        EXPECT_EQ(rig.ui.messages()[1].text, "  DONE   serial-num= 261207120000");
        EXPECT_EQ(rig.ui.messages()[1].caption, "90131");
    }
    // Erased flash: programmed without asking.
    {
        Identified rig(Reply);
        instrument::ReadDateCode(rig.p());
        EXPECT_FALSE(rig.written.empty());
        ASSERT_EQ(rig.ui.messages().size(), 1u);
        EXPECT_EQ(rig.ui.messages()[0].caption, "90131");
    }
}

TEST(DateCode, CommunicationFailuresHaveTheirCodes) {
    Identified shortRead(Reply);
    shortRead.flashBytes = 5;
    instrument::ReadDateCode(shortRead.p());
    EXPECT_EQ(shortRead.st().LastError, 27);
    ASSERT_EQ(shortRead.ui.messages().size(), 1u);
    EXPECT_EQ(shortRead.ui.messages()[0].text, "Comm Error Reading Date Code =  27");
    EXPECT_EQ(shortRead.ui.messages()[0].caption, " Error 7213");

    // Garbage that differs from read to read is a line fault: the unit is not offered a new ID.
    Identified noisy(Reply);
    noisy.flash = {0x0F0D, 0x1F0B, 0x2D3B, 0x5B53};
    noisy.noisyLine = true;
    instrument::ReadDateCode(noisy.p());
    EXPECT_EQ(noisy.flashReads, 2);
    EXPECT_EQ(noisy.st().LastError, 27);
    ASSERT_EQ(noisy.ui.messages().size(), 1u);
    EXPECT_EQ(noisy.ui.messages()[0].text, "Comm Error Reading Date Code =  27");
    EXPECT_TRUE(noisy.written.empty());

    Identified noAck(Reply);
    noAck.ack = {'N'};
    instrument::ReadDateCode(noAck.p());
    EXPECT_EQ(noAck.st().LastError, 29);
    EXPECT_EQ(noAck.ui.messages().back().text, "Comm Error Reading Date Code =  29");
}

TEST(Health, TemperatureSmoothingAndItsAbsence) {
    Identified rig(Reply);
    auto& st = rig.st();
    EXPECT_EQ(instrument::ReadTemperature(rig.p()), 88.88); // no sensor known yet
    st.TempSensor = 1;
    rig.tempWord = instrument::TemperatureWordOfF(77);
    const double first = instrument::TemperatureFOfWord(rig.tempWord);
    EXPECT_DOUBLE_EQ(instrument::ReadTemperature(rig.p()), first); // a jump is taken at once
    // About 3 degF higher: taken at once; about 1 degF: a tenth of the way.
    std::uint16_t w = rig.tempWord;
    while (instrument::TemperatureFOfWord(w) < first + 3) {
        ++w;
    }
    rig.tempWord = w;
    const double jumped = instrument::TemperatureFOfWord(w);
    EXPECT_DOUBLE_EQ(instrument::ReadTemperature(rig.p()), jumped);
    while (instrument::TemperatureFOfWord(w) < jumped + 1) {
        ++w;
    }
    rig.tempWord = w;
    EXPECT_NEAR(instrument::ReadTemperature(rig.p()),
                jumped + (instrument::TemperatureFOfWord(w) - jumped) * 0.1, 1e-9);

    rig.serial.answer = nullptr;
    rig.serial.emptyReads = 0;
    const double before = st.Temperature;
    EXPECT_EQ(instrument::ReadTemperature(rig.p()), before);
    EXPECT_EQ(st.LastError, 10);
    EXPECT_EQ(rig.serial.emptyReads, 1001);
    EXPECT_EQ(rig.ui.messages().back().text, " No data from VNA.\r Check VNA power and comm cable.");
    EXPECT_EQ(rig.ui.messages().back().caption, " Temperature not read");
}

TEST(Health, SupplyVoltageLimits) {
    // 12.45 V: fine.
    {
        Identified rig(Reply);
        instrument::CheckSupply(rig.p());
        EXPECT_NEAR(rig.st().SupplyVolts, 12.45, 1e-9);
        EXPECT_EQ(rig.st().LastError, 0);
        EXPECT_EQ(rig.st().ReadingValid, 1);
        EXPECT_EQ(rig.st().NumDecimals, 3);
        EXPECT_TRUE(rig.ui.messages().empty());
    }
    // 16.45 V: switched off.
    {
        Identified rig(Reply);
        rig.supplyWord = 3440;
        instrument::CheckSupply(rig.p());
        EXPECT_EQ(rig.st().LastError, 17);
        EXPECT_EQ(rig.serial.writtenTexts().back(), instrument::PowerOffCommand().text());
        ASSERT_EQ(rig.ui.messages().size(), 1u);
        EXPECT_EQ(rig.ui.messages()[0].text,
                  "WARNING: The DC supply voltage is too high.\rMeasured voltage approx =  "
                  "16.4\rUpper Limit = 16.0V\r\r***** THE POWER HAS BEEN TURNED OFF *****");
        EXPECT_EQ(rig.ui.messages()[0].caption, " WARNING: HIGH DC VOLTAGE ");
        EXPECT_TRUE(rig.printed("   NOTE:  DC supply voltage =  16.4     Upper limit = 16V      "));
        EXPECT_EQ(rig.st().NumDecimals, 3);
    }
    // 9.5 V: measuring stopped.
    {
        Identified rig(Reply);
        rig.supplyWord = instrument::SupplyWordOfVolts(9.5);
        rig.st().RfActive = 1;
        instrument::CheckSupply(rig.p());
        EXPECT_EQ(rig.st().LastError, 17);
        EXPECT_EQ(rig.st().InstrumentPresent, 0);
        EXPECT_EQ(rig.st().RfActive, 0);
        EXPECT_EQ(rig.serial.writtenTexts()[1], "K" + std::string(1, char(40)));
        ASSERT_EQ(rig.ui.messages().size(), 1u);
        EXPECT_EQ(rig.ui.messages()[0].text,
                  "WARNING: Supply voltage is too low.\rMinimum voltage approx = 9.5\rMin "
                  "Limit =  9.8V.   (This includes droop on an unregulated supply.)");
        EXPECT_EQ(rig.ui.messages()[0].caption, " WARNING: LOW DC VOLTAGE ");
    }
    // The battery model and a switched-off guard ride through a low supply.
    {
        Identified rig(Reply);
        rig.supplyWord = instrument::SupplyWordOfVolts(9.5);
        rig.st().instrument_id = " 5000";
        instrument::CheckSupply(rig.p());
        EXPECT_EQ(rig.st().LastError, 0);
        EXPECT_EQ(rig.st().InstrumentPresent, 1);
        Identified off(Reply);
        off.supplyWord = rig.supplyWord;
        off.st().LowVoltGuard = 0;
        instrument::CheckSupply(off.p());
        EXPECT_EQ(off.st().InstrumentPresent, 1);
    }
    // The lowest reading counts: once below 9.8 V, a good reading later still trips the guard.
    {
        Identified rig(Reply);
        rig.st().LowVoltGuard = 0;
        rig.supplyWord = instrument::SupplyWordOfVolts(9.0);
        instrument::CheckSupply(rig.p());
        rig.st().LowVoltGuard = 1;
        rig.supplyWord = 2580;
        instrument::CheckSupply(rig.p());
        EXPECT_EQ(rig.st().InstrumentPresent, 0);
        EXPECT_NEAR(rig.st().SupplyVoltsMin, 9.0, 0.01);
    }
    // An unbelievable reading (0 V) changes nothing; silence is code 10.
    {
        Identified rig(Reply);
        rig.supplyWord = 0;
        instrument::CheckSupply(rig.p());
        EXPECT_EQ(rig.st().ReadingValid, 0);
        EXPECT_EQ(rig.st().SupplyVoltsMin, 99);
        rig.supplyAnswers = false;
        rig.serial.emptyReads = 0;
        instrument::CheckSupply(rig.p());
        EXPECT_EQ(rig.st().LastError, 10);
        EXPECT_EQ(rig.serial.emptyReads, 10001);
        EXPECT_EQ(rig.ui.messages().back().caption, " Comm Port Problem 2743");
        rig.st().InstrumentPresent = 0;
        instrument::CheckSupply(rig.p());
        EXPECT_EQ(rig.st().SupplyVolts, 12);
    }
}

TEST(Health, PowerOffAsksFirst) {
    Identified rig(Reply);
    rig.ui.messageAnswers = {Answer::No};
    instrument::PowerOff(rig.p());
    EXPECT_TRUE(rig.serial.writes.empty());
    instrument::PowerOff(rig.p()); // the script is empty: Yes
    EXPECT_EQ(rig.serial.writtenTexts(), std::vector<std::string>{instrument::PowerOffCommand().text()});
    EXPECT_EQ(rig.ui.messages().back().text, "***** THE POWER HAS BEEN TURNED OFF *****");
    EXPECT_EQ(rig.ui.messages().back().caption, " Power Off ");
}
