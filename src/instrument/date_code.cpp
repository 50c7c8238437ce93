#include "instrument/date_code.h"

#include <cstdio>

#include "core/number_text.h"
#include "core/program.h"
#include "instrument/protocol.h"
#include "instrument/serial_link.h"

namespace vna::instrument {

namespace {

constexpr int ReadFailed = 27;
constexpr int WriteFailed = 29;

std::uint16_t Pair(int a, int b) {
    return static_cast<std::uint16_t>((a + 1) * 256 + (b + 1));
}

bool ReadFlash(core::Program& p, DateCode& words) {
    BeginExchange(p);
    SendCommand(p, FlashReadCommand(4, DateCodeAddress));
    for (auto& w : words) {
        std::array<std::uint8_t, 2> reply{};
        if (ReadReplyBytes(p, reply, 2, FlashBudget) < 2) {
            return false;
        }
        w = Word16(reply[0], reply[1]);
    }
    return true;
}

bool WriteFlash(core::Program& p, const DateCode& words) {
    BeginExchange(p);
    SendCommand(p, FlashWriteCommand(DateCodeBank, DateCodeAddress, words));
    std::array<std::uint8_t, 1> ack{};
    return ReadReplyBytes(p, ack, 1, FlashBudget) == 1 && ack[0] == FlashWriteAck;
}

} // namespace

std::uint16_t DateCodeChecksum(const DateCode& words) {
    const auto sum = static_cast<std::uint16_t>((words[0] + words[1] + words[2]) & 0xFFFF);
    return sum == 0 ? std::uint16_t{4660} : sum;
}

bool DateCodeValid(const DateCode& words) {
    return words[3] == DateCodeChecksum(words);
}

bool DateCodeErased(const DateCode& words) {
    return words[0] == 0xFFFF && words[1] == 0xFFFF && words[2] == 0xFFFF;
}

DateCode DateCodeOf(const platform::LocalTime& t) {
    DateCode w{Pair(t.year % 100, t.month), Pair(t.day, t.hour), Pair(t.minute, t.second), 0};
    w[3] = DateCodeChecksum(w);
    return w;
}

std::string DateCodeId(const DateCode& words) {
    std::string id;
    for (int i = 0; i < 3; ++i) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%02d%02d", (words[static_cast<std::size_t>(i)] >> 8) - 1,
                      (words[static_cast<std::size_t>(i)] & 0xFF) - 1);
        id += buf;
    }
    return id;
}

void ReadDateCode(core::Program& p) {
    core::AppState& st = p.st;
    DateCode words{};
    DateCode again{};
    if (!ReadFlash(p, words)) {
        st.LastError = ReadFailed;
    } else if (!DateCodeValid(words) && (!ReadFlash(p, again) || again != words)) {
        // A code that does not check is read a second time before the unit is taken to have none:
        // two reads that differ are a damaged line, and the user is not offered to overwrite the
        // unit's ID (which its cal files are named after) on the strength of noise.
        st.LastError = ReadFailed;
    } else {
        st.DateCodeWords = words;
        if (DateCodeValid(words)) {
            st.instrument_id = DateCodeId(words);
        } else {
            bool program = true;
            if (!DateCodeErased(words)) {
                program = p.ui.message(
                              "This unit may already have an ID number. Do you want to reprogram it?",
                              " Serial Num is programmed", platform::Buttons::YesNo) == platform::Answer::Yes;
            }
            if (program) {
                const DateCode fresh = DateCodeOf(p.clock.now());
                if (WriteFlash(p, fresh)) {
                    st.DateCodeWords = fresh;
                    st.instrument_id = DateCodeId(fresh);
                    p.ui.message("  DONE   serial-num= " + st.instrument_id, "90131");
                } else {
                    st.LastError = WriteFailed;
                }
            }
        }
    }
    if (st.LastError == ReadFailed || st.LastError == WriteFailed) {
        p.ui.message("Comm Error Reading Date Code = " + core::NumText(st.LastError, 0), " Error 7213");
    }
}

} // namespace vna::instrument
