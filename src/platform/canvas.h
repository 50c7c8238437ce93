#pragma once

#include <cstdint>
#include <string_view>

#include "platform/ui.h"

namespace vna::platform {

// Colours as the program stores them: red + 256 * green + 65536 * blue.
using Rgb = std::uint32_t;

constexpr Rgb MakeRgb(int r, int g, int b) {
    return static_cast<Rgb>((r & 0xff) | ((g & 0xff) << 8) | ((b & 0xff) << 16));
}
constexpr int RedOf(Rgb c) {
    return static_cast<int>(c & 0xff);
}
constexpr int GreenOf(Rgb c) {
    return static_cast<int>((c >> 8) & 0xff);
}
constexpr int BlueOf(Rgb c) {
    return static_cast<int>((c >> 16) & 0xff);
}

enum class PenStyle { Solid, Dash, Dot, DashDot, DashDotDot, Null };
enum class RasterOp { Copy, Xor };

// The 2-D drawing port of a window's client area. Coordinates are pixels from the top left corner;
// rectangles are given by their left, top, right and bottom edges, the right and bottom edges
// excluded, as the program's geometry computes them.
class Canvas {
public:
    virtual ~Canvas() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;

    virtual void setPen(Rgb color, int width = 1, PenStyle style = PenStyle::Solid) = 0;
    virtual void setBrush(Rgb color) = 0;
    virtual void setNullBrush() = 0;
    virtual void setFont(std::string_view face, int pointSize, int weight) = 0;
    virtual void setTextColor(Rgb color) = 0;
    // Text background: opaque (filled with the background colour) or transparent.
    virtual void setTextBackground(bool opaque, Rgb color) = 0;
    virtual void setRasterOp(RasterOp op) = 0;

    virtual void moveTo(int x, int y) = 0;
    virtual void lineTo(int x, int y) = 0;
    virtual void rectangle(int left, int top, int right, int bottom) = 0;
    virtual void fillRect(int left, int top, int right, int bottom, Rgb color) = 0;
    virtual void ellipse(int left, int top, int right, int bottom) = 0;
    // Arc of the ellipse in the bounding box, from startDegrees counter-clockwise over spanDegrees.
    virtual void arc(int left, int top, int right, int bottom, double startDegrees, double spanDegrees) = 0;
    virtual void setPixel(int x, int y, Rgb color) = 0;
    virtual Rgb pixel(int x, int y) const = 0;

    // Text with its top left corner at (x, y), in the current font and text colour.
    virtual void text(int x, int y, std::string_view text) = 0;
    virtual Size textExtent(std::string_view text) = 0;

    // Makes what was drawn visible (the window repaints from the backing store).
    virtual void flush() = 0;
};

} // namespace vna::platform
