#include "scope/mux_commands.h"

#include <cctype>

#include "core/delay.h"
#include "core/program.h"
#include "instrument/commands.h"
#include "instrument/status_text.h"
#include "platform/form.h"
#include "scope/channels.h"

namespace vna::scope {

bool ParseMuxChannel(const std::string& text, int& channel, std::string& error) {
    std::size_t a = text.find_first_not_of(" \t");
    std::size_t b = text.find_last_not_of(" \t");
    const std::string t = a == std::string::npos ? std::string() : text.substr(a, b - a + 1);
    bool digits = !t.empty() && t.size() <= 3;
    for (char c : t) {
        digits = digits && std::isdigit(static_cast<unsigned char>(c));
    }
    if (!digits || std::stoi(t) > ChannelCount) {
        error = "\"" + t + "\" is not a MUX channel: enter 0 (no channel) or 1 to " +
                std::to_string(ChannelCount) + ".";
        return false;
    }
    channel = std::stoi(t);
    return true;
}

void MuxControl(core::Program& p) {
    core::AppState& st = p.st;
    const std::string caption = " MUX Control";
    if (st.SweepRunning || !core::RequireHardware(p)) {
        return;
    }
    std::string text = std::to_string(st.MuxChannel);
    bool analog = st.ExpansionAnalog != 0;
    for (;;) {
        platform::Form form;
        form.title = caption;
        form.fields.push_back(
            platform::MakeField(platform::FormField::Kind::Text, "MUX channel (0 = none, 1 to 6)", text));
        platform::FormField check =
            platform::MakeField(platform::FormField::Kind::Check, "Read the analog input");
        check.checked = analog;
        form.fields.push_back(check);
        if (p.ui.form(form) != platform::FormOk) {
            return;
        }
        text = form.fields[0].text;
        analog = form.fields[1].checked;
        int channel = 0;
        std::string error;
        if (ParseMuxChannel(text, channel, error)) {
            st.ExpansionAnalog = analog ? 1 : 0;
            if (!SelectChannel(p, channel)) {
                return;
            }
            p.ui.message("MUX channel " + std::to_string(channel) + ".\r\nThe expansion port reads " +
                             instrument::ExpansionValueText(st) + (analog ? " at its analog input." : "."),
                         caption);
            return;
        }
        p.ui.message(error, caption);
    }
}

bool CleanMuxContacts(core::Program& p) {
    core::AppState& st = p.st;
    if (st.SweepRunning || !core::RequireHardware(p)) {
        return false;
    }
    // Contacts that have not moved for a while carry a film that adds loss and phase; a few
    // switching cycles wipe it.
    instrument::StatusText(p, 100, 200, "CLEANING RELAY CONTACTS...", instrument::WarningColor(st));
    for (int round = 0; round < CleaningRounds; ++round) {
        for (int k = 1; k <= ChannelCount; ++k) {
            if (!instrument::SetExpansionPort(p, k)) {
                return false;
            }
            core::Delay(p, CleaningHoldMs);
        }
    }
    instrument::SetExpansionPort(p, 1);
    p.ui.message("Each MUX relay was switched " + std::to_string(CleaningRounds) +
                     " times.\r\nThe MUX is on channel 1.",
                 " Clean MUX Contacts");
    return true;
}

} // namespace vna::scope
