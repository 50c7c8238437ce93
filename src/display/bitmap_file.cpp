#include "display/bitmap_file.h"

#include <algorithm>
#include <cstdint>

#include "platform/canvas.h"

namespace vna::display {

namespace {

void Put16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>((v >> 8) & 0xff));
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xffff);
    Put16(out, v >> 16);
}

} // namespace

std::string EncodeBitmap(const platform::Canvas& c, int width, int height) {
    width = std::clamp(width, 1, std::max(1, c.width()));
    height = std::clamp(height, 1, std::max(1, c.height()));
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t pixelBytes = rowBytes * static_cast<std::uint32_t>(height);
    constexpr std::uint32_t HeaderBytes = 14 + 40;
    std::string out;
    out.reserve(HeaderBytes + pixelBytes);
    // File header.
    out += "BM";
    Put32(out, HeaderBytes + pixelBytes);
    Put32(out, 0);
    Put32(out, HeaderBytes);
    // Information header: 24 bits per pixel, uncompressed, 96 dpi (3780 pixels per metre). A
    // 24-bit bitmap has no colour table.
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height));
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, pixelBytes);
    Put32(out, 3780);
    Put32(out, 3780);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        const std::size_t start = out.size();
        for (int x = 0; x < width; ++x) {
            const platform::Rgb px = c.pixel(x, y);
            out.push_back(static_cast<char>(platform::BlueOf(px)));
            out.push_back(static_cast<char>(platform::GreenOf(px)));
            out.push_back(static_cast<char>(platform::RedOf(px)));
        }
        out.append(rowBytes - (out.size() - start), '\0');
    }
    return out;
}

} // namespace vna::display
