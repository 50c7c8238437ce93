#pragma once

#include <QString>
#include <functional>
#include <string>

#include "platform/canvas.h"

namespace vna::platform::qt {

// Writes the top `height` rows of the canvas, `width` pixels wide, as a PNG file through Qt's
// image writer. The file is written beside its final name and renamed over it, so a failure never
// leaves half a file.
bool WritePngImage(const Canvas& canvas, int width, int height, const QString& path, std::string& error);

// Runs `draw` on a canvas of the given size that paints on Qt's SVG generator and writes the SVG
// file the same way.
bool WriteSvgImage(int width, int height, const std::function<void(Canvas&)>& draw, const QString& path,
                   std::string& error);

} // namespace vna::platform::qt
