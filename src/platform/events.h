#pragma once

#include <cstdint>

namespace vna::platform {

// Virtual key codes of the keys the program reacts to. Letters and digits use their upper-case
// character code, as the original key codes of the instrument program do.
namespace key {
inline constexpr int Shift = 0x10;
inline constexpr int Control = 0x11;
inline constexpr int Left = 0x25;
inline constexpr int Up = 0x26;
inline constexpr int Right = 0x27;
inline constexpr int Down = 0x28;
inline constexpr int Numpad0 = 0x60;
} // namespace key

enum class EventType {
    None,
    Resized,  // new client size in x, y
    KeyDown,  // key code in key
    KeyUp,    // key code in key
    Char,     // character in key
    LeftDown, // mouse position in x, y
    LeftUp,
    MouseMove,
    RightDown,
    CloseRequest, // the window's close box, or the system asking the program to end
    Button,       // button number in id
    Menu,         // menu command number in id
    Paint,
};

struct Event {
    EventType type = EventType::None;
    int key = 0;
    int x = 0;
    int y = 0;
    int id = 0;
};

} // namespace vna::platform
