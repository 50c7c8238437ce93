#pragma once

#include <optional>
#include <string_view>

namespace vna::core {
struct Program;
}

namespace vna::commands {

// Acceptance rules of the "Graph Scales" dialog. Each takes the text of one field and gives the
// new value, or nothing when the field is empty (the scale then stays as it is) or when the value
// could only break the graph (a zero full scale).
struct SwrScale {
    double value = 10;
    bool log = false;
};
std::optional<SwrScale> AcceptSwrScale(std::string_view text);
std::optional<double> AcceptZmagScale(std::string_view text);
std::optional<double> AcceptPhaseScale(std::string_view text);
std::optional<double> AcceptRtlossScale(std::string_view text);
std::optional<double> AcceptQScale(std::string_view text);
std::optional<double> AcceptS21GainScale(std::string_view text);
std::optional<double> AcceptS21PhaseScale(std::string_view text);
// `Zero_Ref` from the S21 value at the top line and the dB per division.
std::optional<int> AcceptTopLineValue(std::string_view text, double s21gainScale);
// `Zero_Ref` entered directly as divisions from the top, 0..18.
std::optional<int> AcceptZeroRefDivisions(std::string_view text);
std::optional<double> AcceptDelayScale(std::string_view text); // ns
std::optional<double> AcceptInsertionLossScale(std::string_view text);

// True when the text holds a number where a number is expected (after the unit words and
// separators the choice lists carry); a field like "abc" is refused with a message.
bool IsNumberText(std::string_view text);

// The dialogs of the graph; each redraws the graph when something changed.
void GraphScalesDialog(core::Program& p);
void PlotParametersDialog(core::Program& p);
// `trace` is the position in the "Graph styles" menu: 0 SWR .. 8 Group Delay.
void LineStyleDialog(core::Program& p, int trace);
void ClearAllStyles(core::Program& p);
void ToggleLegend(core::Program& p);
void ColorSelectionDialog(core::Program& p);
// Puts the twelve trace colours back to the defaults of the config file.
void RestoreDefaultColors(core::Program& p);
// "SWR Ruler": asks for the ruler value and draws it.
void SwrRulerDialog(core::Program& p);
// "Rulers" (Port B): the "Enter Rulers" dialog. A level entered turns its ruler on, an empty field
// turns it off; a text that is not a level changes nothing.
void RulersDialog(core::Program& p);

} // namespace vna::commands
