#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vna::platform {

// One item of a menu: a command (id > 0), a submenu (children not empty) or a separator.
struct MenuItem {
    std::string caption;
    int id = 0;
    bool checked = false;
    bool enabled = true;
    bool separator = false;
    // The key of the main window that does the same, shown beside the caption (the key itself is
    // handled by the window, not by the menu).
    std::string shortcut;
    std::vector<MenuItem> children;
};

// One popup of the menu bar.
struct Menu {
    std::string caption;
    bool enabled = true;
    std::vector<MenuItem> items;
};

// The whole menu bar, popups in their order. The adapters render it as it stands; the program
// rebuilds it whenever a caption, a check mark or an enabling changes.
struct MenuBar {
    std::vector<Menu> menus;
};

// One push button of the main window's button row. x is in client-area pixels (the row lines up
// with the graph); y is within the row's own strip between the menu bar and the client area.
struct PushButton {
    std::string caption;
    int id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool enabled = true;
    std::uint32_t color = 0; // red + 256 * green + 65536 * blue
    std::string fontFace;
    int pointSize = 8;
    int weight = 600;
    std::string toolTip;
};

} // namespace vna::platform
