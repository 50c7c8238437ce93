#pragma once

#include <string>

namespace vna::platform {
class Canvas;
}

namespace vna::display {

// The top `height` rows of the canvas, `width` pixels wide, as a Windows bitmap file: file header
// "BM", information header, then 24-bit rows bottom-up, each padded to a multiple of 4 bytes.
std::string EncodeBitmap(const platform::Canvas& c, int width, int height);

} // namespace vna::display
