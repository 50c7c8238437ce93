#include "app/plot_image.h"

#include <QString>

#include "core/path_split.h"
#include "core/text_lines.h"
#include "platform/qt/image_files.h"
#include "platform/qt/qt_canvas.h"

namespace vna::app {

PlotImageWriter QtPlotImageWriter() {
    return [](const std::string& path, int width, int height,
              const std::function<void(platform::Canvas&)>& draw, std::string& error) {
        const QString file = QString::fromStdString(path);
        if (core::ToLower(path).ends_with(".svg")) {
            return platform::qt::WriteSvgImage(width, height, draw, file, error);
        }
        platform::qt::QtCanvas canvas(width, height);
        draw(canvas);
        return platform::qt::WritePngImage(canvas, width, height, file, error);
    };
}

} // namespace vna::app
