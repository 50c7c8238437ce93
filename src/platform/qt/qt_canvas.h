#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <functional>
#include <memory>

#include "platform/canvas.h"

namespace vna::platform::qt {

// The Canvas port on a QImage backing store. One painter stays active on the image between
// calls (the plot draws tens of thousands of segments per redraw); the window paints from the
// image when `flush()` asks it to.
//
// The same canvas can paint on another device (an SVG generator, a printer): it then has no image
// of its own, pixel() reads white and the XOR raster operation draws plainly, since vector
// devices know no raster operations.
class QtCanvas final : public Canvas {
public:
    QtCanvas(int width, int height);
    // Paints on `device` (which must outlive the canvas) as a surface of the given size.
    QtCanvas(QPaintDevice& device, int width, int height);
    ~QtCanvas() override;

    // Called by flush(); the window sets it to schedule a repaint.
    std::function<void()> onFlush;

    const QImage& image() const { return image_; }
    // Resizes the backing store, keeping what fits of the old picture; the new area is white.
    void resize(int width, int height);

    int width() const override { return device_ ? width_ : image_.width(); }
    int height() const override { return device_ ? height_ : image_.height(); }
    // Ends painting on the other device, so it can write what was drawn.
    void finish() { end(); }
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
    void flush() override;

private:
    void begin();
    void end();
    void applyState();

    QImage image_;
    QPaintDevice* device_ = nullptr; // another device than image_
    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<QPainter> painter_;
    QPen pen_;
    QBrush brush_;
    QFont font_;
    QColor textColor_;
    QColor textBackground_;
    bool opaqueText_ = false;
    RasterOp rop_ = RasterOp::Copy;
    QPoint pos_;
};

QColor ToQColor(Rgb c);
Rgb FromQColor(const QColor& c);

} // namespace vna::platform::qt
