#include "platform/fake/recording_canvas.h"

namespace vna::platform::fake {

namespace {

std::string Xy(int x, int y) {
    return std::to_string(x) + "," + std::to_string(y);
}

} // namespace

std::vector<std::string> RecordingCanvas::texts() const {
    std::vector<std::string> out;
    for (const std::string& op : ops) {
        if (op.rfind("text ", 0) == 0) {
            const auto blank = op.find(' ', 5);
            out.push_back(blank == std::string::npos ? "" : op.substr(blank + 1));
        }
    }
    return out;
}

void RecordingCanvas::setPen(Rgb color, int width, PenStyle style) {
    pen_ = color;
    ops.push_back("pen " + std::to_string(color) + " " + std::to_string(width) + " " +
                  std::to_string(static_cast<int>(style)));
}

void RecordingCanvas::setBrush(Rgb color) {
    ops.push_back("brush " + std::to_string(color));
}

void RecordingCanvas::setNullBrush() {
    ops.emplace_back("brush none");
}

void RecordingCanvas::setFont(std::string_view face, int pointSize, int weight) {
    pointSize_ = pointSize;
    ops.push_back("font " + std::string(face) + " " + std::to_string(pointSize) + " " +
                  std::to_string(weight));
}

void RecordingCanvas::setTextColor(Rgb color) {
    ops.push_back("textcolor " + std::to_string(color));
}

void RecordingCanvas::setTextBackground(bool opaque, Rgb color) {
    ops.push_back(std::string("textbg ") + (opaque ? "opaque " : "transparent ") + std::to_string(color));
}

void RecordingCanvas::setRasterOp(RasterOp op) {
    ops.push_back(op == RasterOp::Xor ? "rop xor" : "rop copy");
}

void RecordingCanvas::moveTo(int x, int y) {
    x_ = x;
    y_ = y;
}

void RecordingCanvas::lineTo(int x, int y) {
    ops.push_back("line " + Xy(x_, y_) + "-" + Xy(x, y));
    x_ = x;
    y_ = y;
}

void RecordingCanvas::rectangle(int left, int top, int right, int bottom) {
    ops.push_back("rect " + Xy(left, top) + "-" + Xy(right, bottom));
}

void RecordingCanvas::fillRect(int left, int top, int right, int bottom, Rgb color) {
    ops.push_back("fill " + Xy(left, top) + "-" + Xy(right, bottom) + " " + std::to_string(color));
}

void RecordingCanvas::ellipse(int left, int top, int right, int bottom) {
    ops.push_back("ellipse " + Xy(left, top) + "-" + Xy(right, bottom));
}

void RecordingCanvas::arc(int left, int top, int right, int bottom, double startDegrees, double spanDegrees) {
    ops.push_back("arc " + Xy(left, top) + "-" + Xy(right, bottom) + " " + std::to_string(startDegrees) +
                  " " + std::to_string(spanDegrees));
}

void RecordingCanvas::setPixel(int x, int y, Rgb color) {
    pixels_[{x, y}] = color;
    ops.push_back("pixel " + Xy(x, y) + " " + std::to_string(color));
}

Rgb RecordingCanvas::pixel(int x, int y) const {
    auto it = pixels_.find({x, y});
    return it == pixels_.end() ? MakeRgb(255, 255, 255) : it->second;
}

void RecordingCanvas::text(int x, int y, std::string_view text) {
    ops.push_back("text " + Xy(x, y) + " " + std::string(text));
}

Size RecordingCanvas::textExtent(std::string_view text) {
    return {static_cast<int>(text.size()) * (pointSize_ * 2 / 3 + 1), 2 * pointSize_};
}

} // namespace vna::platform::fake
