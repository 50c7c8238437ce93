#include "instrument/identification.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/atomic_file.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "instrument/protocol.h"
#include "instrument/serial_link.h"
#include "instrument/status_text.h"

namespace vna::instrument {

namespace {

constexpr const char* DemoTitle = "     DEMO MODE   ";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool Contains(const std::string& text, const char* what) {
    return text.find(what) != std::string::npos;
}

std::string NowText(core::Program& p) {
    const platform::LocalTime t = p.clock.now();
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%04d %02d:%02d:%02d", t.month, t.day, t.year, t.hour, t.minute,
                  t.second);
    return buf;
}

void PrintControllerData(core::Program& p) {
    const core::AppState& st = p.st;
    const std::string text = "Data from controller: " + st.VersionText;
    const auto dds = text.find("dds");
    if (dds != std::string::npos && dds >= 51) {
        StatusText(p, 20, 60, text.substr(0, dds), NormalTextColor);
        StatusText(p, 20, 75, text.substr(dds), NormalTextColor);
    } else {
        StatusText(p, 20, 60, text, NormalTextColor);
    }
    StatusText(p, 20, 90, "   ID Num= " + st.instrument_id, NormalTextColor);
}

void EnterDemoMode(core::Program& p) {
    core::AppState& st = p.st;
    st.InstrumentPresent = 0;
    st.IdentState = 0;
    if (!st.WindowTitle.empty() && st.WindowTitle.find(DemoTitle) == std::string::npos) {
        st.WindowTitle += DemoTitle;
        p.ui.setWindowTitle(st.WindowTitle);
    }
}

} // namespace

std::string VersionFileName(const core::AppState& st) {
    // The id comes from the instrument or a settings file: it names a file in the data folder and
    // nothing outside it.
    return "version" + core::SafeNamePart(st.instrument_id) + ".txt";
}

bool WriteVersionFile(core::Program& p) {
    const core::AppState& st = p.st;
    std::string text;
    text += "ID= " + st.instrument_id + "\r\n";
    text += "file date=" + st.ProgramFileDate + "\r\n";
    text += "prog date=" + NowText(p) + "\r\n";
    text += "Controller data: " + st.ControllerText + "\r\n";
    text += "comm port=" + core::NumText(st.commport, 0) + "\r\n";
    text += "baud rate=" + core::NumText(st.BaudRate, 0) + "\r\n";
    return core::WriteFileAtomic(core::JoinPath(st.ProgramFolder, VersionFileName(st)), text);
}

void IdentifyInstrument(core::Program& p, int full) {
    core::AppState& st = p.st;
    st.LinkOk = -1;
    st.ReadingValid = 0;
    if (full > 0) {
        st.VersionText.clear();
        st.ControllerText.clear();
    }
    BeginExchange(p);
    const std::uint32_t sent = p.clock.tickMs();
    SendCommand(p, VersionCommand());
    const TextReply reply = ReadTextReply(p, VersionTerminator, sent);
    std::string text = Lower(reply.text);

    st.IdentState = 0;
    if (reply.terminated) {
        st.IdentState = Contains(text, "vna") ? 1 : -1;
        st.LinkOk = 1;
    }
    if (st.IdentState != 0) {
        st.InstrumentPresent = 1;
        st.LastError = 0;
    } else {
        text = " Check VNA DC power and comm cable";
        st.LastError = 10;
        st.LinkOk = 0;
    }
    if (full <= 0) {
        return;
    }
    if (st.IdentState != 1) {
        st.VersionText = text;
        EnterDemoMode(p);
        return;
    }
    st.ControllerText = text;
    st.VersionText = text.substr(text.find("vna"));
    st.TempSensor = Contains(text, " temp") ? 1 : 0;
    st.FlashPresent = Contains(text, " flash") ? 1 : 0;
    st.SyncSupported = 1;
    st.MaxBaudHigh = (Contains(text, "maxbaud430") || Contains(text, "maxbaud115")) ? 1 : 0;

    const std::string name = VersionFileName(st);
    if (!WriteVersionFile(p) && name.size() > 2) {
        p.ui.message(
            "The file named: version" + st.instrument_id +
                ".txt  has the Read-Only bit set.\r\nThis bit should be cleared before running the "
                "program.\r\nMake sure the Read-Only bit for ALL the files in the VNA folder is NOT set.",
            "");
    }
    const auto cpu = st.VersionText.find("cpuclk");
    if (cpu != std::string::npos) {
        st.VersionText.erase(cpu);
    }
    st.VersionText += "    ID= " + st.instrument_id;
    if (st.DiagMode) {
        PrintControllerData(p);
    }
}

void CheckModel(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.InstrumentPresent) {
        return;
    }
    const auto sn = st.VersionText.find("sn=");
    if (sn == std::string::npos) {
        p.ui.message("This program is only valid for the VNA.", " ");
        st.InstrumentPresent = 0;
        return;
    }
    const std::string rest = st.VersionText.substr(sn + 3);
    const std::string digits = rest.substr(0, rest.find(' '));
    st.instrument_id = core::NumText(core::Nint(core::TextToNumber(digits)), 0);
}

void CheckFirmware(core::Program& p) {
    core::AppState& st = p.st;
    if (st.IdentState <= 0) {
        return;
    }
    if (!Contains(st.VersionText, "vna")) {
        st.InstrumentPresent = 0;
    }
    // The version number stands 4 characters after the start of "ver" ("ver 2.53"). A text
    // without it reads as version 0: an instrument that cannot say its firmware is not trusted.
    const auto ver = st.VersionText.find("ver");
    double version = 0;
    if (ver != std::string::npos && ver + 4 < st.VersionText.size()) {
        version = core::TextToNumber(st.VersionText.substr(ver + 4, 4));
    }
    if (version < 2.5) {
        p.ui.message("This program requires firmware version 2.50 or higher.", "Firmware update required");
        st.ProgramRunning = 0;
    }
}

std::string IdentityText(const core::AppState& st) {
    std::string text = "ID Num= " + st.instrument_id + " " + st.VersionText;
    if (st.IdentState < 1) {
        text += " DEMO MODE ";
    }
    return text;
}

void ShowIdentity(core::Program& p) {
    if (p.st.DiagMode) {
        PrintControllerData(p);
    }
    p.ui.message(IdentityText(p.st), " VNA");
}

} // namespace vna::instrument
