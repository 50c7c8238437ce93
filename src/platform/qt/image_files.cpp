#include "platform/qt/image_files.h"

#include <QBuffer>
#include <QImage>
#include <QSaveFile>
#include <QSvgGenerator>

#include "platform/qt/qt_canvas.h"

namespace vna::platform::qt {

namespace {

bool SaveBytes(const QByteArray& bytes, const QString& path, std::string& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace

bool WritePngImage(const Canvas& canvas, int width, int height, const QString& path, std::string& error) {
    width = std::clamp(width, 1, std::max(1, canvas.width()));
    height = std::clamp(height, 1, std::max(1, canvas.height()));
    QImage image;
    if (const auto* qc = dynamic_cast<const QtCanvas*>(&canvas); qc && qc->image().width() >= width) {
        image = qc->image().copy(0, 0, width, height);
    } else {
        image = QImage(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                image.setPixelColor(x, y, ToQColor(canvas.pixel(x, y)));
            }
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        error = "the PNG image could not be encoded";
        return false;
    }
    return SaveBytes(bytes, path, error);
}

bool WriteSvgImage(int width, int height, const std::function<void(Canvas&)>& draw, const QString& path,
                   std::string& error) {
    width = std::max(1, width);
    height = std::max(1, height);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(width, height));
    svg.setViewBox(QRect(0, 0, width, height));
    // The resolution of the window's image, so texts keep the size they have on screen.
    svg.setResolution(QImage(1, 1, QImage::Format_RGB32).logicalDpiX());
    {
        QtCanvas canvas(svg, width, height);
        // The picture's background: a vector image has none of its own.
        canvas.fillRect(0, 0, width, height, MakeRgb(255, 255, 255));
        draw(canvas);
        canvas.finish();
    }
    if (bytes.isEmpty()) {
        error = "the SVG image could not be generated";
        return false;
    }
    return SaveBytes(bytes, path, error);
}

} // namespace vna::platform::qt
