#pragma once

#include <string>
#include <vector>

#include "platform/menu_model.h"

namespace vna::core {
struct AppState;
}

namespace vna::commands {

// The menu bar as the state says it should look: captions, order, submenus, check marks and
// enabling. Plain data, so it is tested without any window.
platform::MenuBar BuildMenuModel(const core::AppState& st);

// Suffix of the "Scan" and "Rescan" buttons: " A", " B" or " TDR".
std::string ScanSuffix(const core::AppState& st);

// Font and metrics the button row is laid out with.
struct ButtonMetrics {
    int left = 0;       // x0: the graph's left offset
    int top = 0;        // margin above the row in its strip above the graph
    int textHeight = 0; // height of "ScanKey" in the button font
};

// Margin above (and below) the button row in its strip between the menu bar and the graph.
constexpr int ButtonRowMargin = 2;

// The twelve buttons of the button row, placed edge to edge from the graph's left offset.
std::vector<platform::PushButton> BuildButtonRow(const core::AppState& st, const ButtonMetrics& m);

} // namespace vna::commands
