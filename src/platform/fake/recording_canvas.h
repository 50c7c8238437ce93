#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/canvas.h"

namespace vna::platform::fake {

// A canvas that records every drawing call as a line of text ("line 10,20-30,40", "text 5,6 Hello")
// and measures text with fixed metrics: each character is (point size * 2 / 3 + 1) pixels wide
// and a line is 2 * point size pixels high, so layout tests get exact, repeatable numbers.
class RecordingCanvas final : public Canvas {
public:
    RecordingCanvas(int width, int height) : width_(width), height_(height) {}

    std::vector<std::string> ops;
    // Texts printed, in order.
    std::vector<std::string> texts() const;

    int width() const override { return width_; }
    int height() const override { return height_; }
    void setPen(Rgb color, int width, PenStyle style) override;
    void setBrush(Rgb color) override;
    void setNullBrush() override;
    void setFont(std::string_view face, int pointSize, int weight) override;
    void setTextColor(Rgb color) override;
    void setTextBackground(bool opaque, Rgb color) override;
    void setRasterOp(RasterOp op) override;
    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    void rectangle(int left, int top, int right, int bottom) override;
    void fillRect(int left, int top, int right, int bottom, Rgb color) override;
    void ellipse(int left, int top, int right, int bottom) override;
    void arc(int left, int top, int right, int bottom, double startDegrees, double spanDegrees) override;
    void setPixel(int x, int y, Rgb color) override;
    Rgb pixel(int x, int y) const override;
    void text(int x, int y, std::string_view text) override;
    Size textExtent(std::string_view text) override;
    void flush() override { ops.emplace_back("flush"); }

    int pointSize() const { return pointSize_; }
    void resize(int width, int height) {
        width_ = width;
        height_ = height;
    }
    Rgb penColor() const { return pen_; }

private:
    int width_;
    int height_;
    int pointSize_ = 8;
    Rgb pen_ = 0;
    int x_ = 0;
    int y_ = 0;
    std::map<std::pair<int, int>, Rgb> pixels_;
};

} // namespace vna::platform::fake
