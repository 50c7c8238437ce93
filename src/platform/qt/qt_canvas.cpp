#include "platform/qt/qt_canvas.h"

#include <QFontMetrics>

namespace vna::platform::qt {

QColor ToQColor(Rgb c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

Rgb FromQColor(const QColor& c) {
    return MakeRgb(c.red(), c.green(), c.blue());
}

QtCanvas::QtCanvas(int width, int height)
    : image_(std::max(1, width), std::max(1, height), QImage::Format_RGB32), pen_(Qt::black),
      brush_(Qt::NoBrush), font_("Arial"), textColor_(Qt::black), textBackground_(Qt::white) {
    image_.fill(Qt::white);
    begin();
}

QtCanvas::QtCanvas(QPaintDevice& device, int width, int height)
    : image_(1, 1, QImage::Format_RGB32), device_(&device), width_(std::max(1, width)),
      height_(std::max(1, height)), pen_(Qt::black), brush_(Qt::NoBrush), font_("Arial"),
      textColor_(Qt::black), textBackground_(Qt::white) {
    begin();
}

QtCanvas::~QtCanvas() {
    end();
}

void QtCanvas::begin() {
    painter_ = std::make_unique<QPainter>(device_ ? device_ : static_cast<QPaintDevice*>(&image_));
    applyState();
}

void QtCanvas::end() {
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

void QtCanvas::applyState() {
    if (!painter_ || !painter_->isActive()) {
        return;
    }
    painter_->setPen(pen_);
    painter_->setBrush(brush_);
    painter_->setFont(font_);
    painter_->setCompositionMode(rop_ == RasterOp::Xor && !device_ ? QPainter::RasterOp_SourceXorDestination
                                                                   : QPainter::CompositionMode_SourceOver);
}

void QtCanvas::resize(int width, int height) {
    if (device_) {
        return;
    }
    width = std::max(1, width);
    height = std::max(1, height);
    if (width == image_.width() && height == image_.height()) {
        return;
    }
    end();
    QImage bigger(width, height, QImage::Format_RGB32);
    bigger.fill(Qt::white);
    {
        QPainter copy(&bigger);
        copy.drawImage(0, 0, image_);
    }
    image_ = std::move(bigger);
    begin();
}

void QtCanvas::setPen(Rgb color, int width, PenStyle style) {
    Qt::PenStyle qs = Qt::SolidLine;
    switch (style) {
        case PenStyle::Solid:
            qs = Qt::SolidLine;
            break;
        case PenStyle::Dash:
            qs = Qt::DashLine;
            break;
        case PenStyle::Dot:
            qs = Qt::DotLine;
            break;
        case PenStyle::DashDot:
            qs = Qt::DashDotLine;
            break;
        case PenStyle::DashDotDot:
            qs = Qt::DashDotDotLine;
            break;
        case PenStyle::Null:
            qs = Qt::NoPen;
            break;
    }
    pen_ = QPen(ToQColor(color), std::max(0, width), qs, Qt::SquareCap, Qt::MiterJoin);
    // Width 1 and 0 are the cosmetic one-pixel pen of the original drawing code.
    if (width <= 1) {
        pen_.setWidth(0);
    }
    painter_->setPen(pen_);
}

void QtCanvas::setBrush(Rgb color) {
    brush_ = QBrush(ToQColor(color));
    painter_->setBrush(brush_);
}

void QtCanvas::setNullBrush() {
    brush_ = QBrush(Qt::NoBrush);
    painter_->setBrush(brush_);
}

void QtCanvas::setFont(std::string_view face, int pointSize, int weight) {
    QString family = QString::fromUtf8(face.data(), static_cast<qsizetype>(face.size()));
    // "arial" (and its misspelling "ariel") is asked for everywhere; the metric-compatible
    // Liberation Sans stands in where Arial is not installed.
    if (family.compare("arial", Qt::CaseInsensitive) == 0 ||
        family.compare("ariel", Qt::CaseInsensitive) == 0) {
        family = "Arial";
    }
    font_ = QFont(family);
    font_.setPointSize(std::max(1, pointSize));
    font_.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
    painter_->setFont(font_);
}

void QtCanvas::setTextColor(Rgb color) {
    textColor_ = ToQColor(color);
}

void QtCanvas::setTextBackground(bool opaque, Rgb color) {
    opaqueText_ = opaque;
    textBackground_ = ToQColor(color);
}

void QtCanvas::setRasterOp(RasterOp op) {
    rop_ = op;
    applyState();
}

void QtCanvas::moveTo(int x, int y) {
    pos_ = QPoint(x, y);
}

void QtCanvas::lineTo(int x, int y) {
    const QPoint to(x, y);
    painter_->drawLine(pos_, to);
    pos_ = to;
}

void QtCanvas::rectangle(int left, int top, int right, int bottom) {
    painter_->drawRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void QtCanvas::fillRect(int left, int top, int right, int bottom, Rgb color) {
    painter_->fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), ToQColor(color));
}

void QtCanvas::ellipse(int left, int top, int right, int bottom) {
    painter_->drawEllipse(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void QtCanvas::arc(int left, int top, int right, int bottom, double startDegrees, double spanDegrees) {
    painter_->drawArc(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)),
                      static_cast<int>(startDegrees * 16), static_cast<int>(spanDegrees * 16));
}

void QtCanvas::setPixel(int x, int y, Rgb color) {
    if (device_) {
        painter_->fillRect(QRect(x, y, 1, 1), ToQColor(color));
        return;
    }
    if (x >= 0 && y >= 0 && x < image_.width() && y < image_.height()) {
        if (rop_ == RasterOp::Xor) {
            const QRgb old = image_.pixel(x, y);
            image_.setPixel(x, y, (old ^ ToQColor(color).rgb()) | 0xff000000u);
        } else {
            image_.setPixel(x, y, ToQColor(color).rgb());
        }
    }
}

Rgb QtCanvas::pixel(int x, int y) const {
    if (device_ || x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) {
        return 0;
    }
    return FromQColor(QColor(image_.pixel(x, y)));
}

void QtCanvas::text(int x, int y, std::string_view text) {
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetrics fm(font_, device_);
    if (opaqueText_) {
        painter_->fillRect(QRect(x, y, fm.horizontalAdvance(s), fm.height()), textBackground_);
    }
    const QPen keep = painter_->pen();
    painter_->setPen(textColor_);
    painter_->drawText(QPoint(x, y + fm.ascent()), s);
    painter_->setPen(keep);
}

Size QtCanvas::textExtent(std::string_view text) {
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetrics fm(font_, device_);
    return {fm.horizontalAdvance(s), fm.height()};
}

void QtCanvas::flush() {
    if (onFlush) {
        onFlush();
    }
}

} // namespace vna::platform::qt
