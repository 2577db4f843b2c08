#include "Graphcanvas.h"

#include <QPen>
#include <QPolygon>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace vykgraph {

namespace {

constexpr int kLabelCharWidth = 8;
constexpr int kLabelHeight = 20;
constexpr int kBigLabelCharWidth = 16;
constexpr int kBigLabelHeight = 40;

// Label sizes are points at 96 dots per inch, whatever the image's resolution says.
int PixelsOfPoints(int points) {
    return points * 4 / 3;
}

double RayDegrees(double dx, double dy) {
    return std::atan2(-dy, dx) * 180.0 / M_PI;
}

}  // namespace

QFont LabelFont(int pointSize) {
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Sans SC"), QStringLiteral("sans-serif")});
    font.setPixelSize(PixelsOfPoints(pointSize));
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

int AnsiLength(const QString& text) {
    int bytes = 0;
    for (const QChar c : text) {
        bytes += c.unicode() < 0x80 ? 1 : 2;
    }
    return bytes;
}

GraphCanvas::GraphCanvas(QImage* image) : image_(image), font_(LabelFont(kLabelFontSize)) {
    fontPointSize_ = kLabelFontSize;
}

GraphCanvas::~GraphCanvas() {
    End();
}

bool GraphCanvas::Begin() {
    if (painter_.isActive()) {
        return true;
    }
    if (image_ == nullptr || image_->isNull()) {
        return false;
    }
    const QImage::Format format = image_->format();
    if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
        format == QImage::Format_ARGB32_Premultiplied) {
        // Detach before the painter starts so both write the same buffer.
        pixels_ = reinterpret_cast<QRgb*>(image_->bits());
        stride_ = image_->bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
        width_ = image_->width();
        height_ = image_->height();
    }
    if (!painter_.begin(image_)) {
        pixels_ = nullptr;
        return false;
    }
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    painter_.setBackgroundMode(Qt::TransparentMode);
    painter_.setFont(font_);
    fontAscent_ = painter_.fontMetrics().ascent();
    return true;
}

void GraphCanvas::End() {
    if (painter_.isActive()) {
        painter_.end();
    }
    pixels_ = nullptr;
}

void GraphCanvas::PutPixel(int x, int y, QRgb colour) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) {
        pixels_[y * stride_ + x] = colour;
    }
}

void GraphCanvas::ThinLine(QPoint from, QPoint to) {
    const QRgb colour = penColor.rgb();
    // Bars, markers and grid lines are upright or level: clip once, then write.
    if (from.x() == to.x() && from.y() != to.y()) {
        const int x = from.x();
        const int step = from.y() < to.y() ? 1 : -1;
        const int first = from.y();
        const int last = to.y() - step;  // the end pixel is left out
        const int top = std::max(std::min(first, last), 0);
        const int bottom = std::min(std::max(first, last), height_ - 1);
        if (x >= 0 && x < width_) {
            for (int y = top; y <= bottom; ++y) {
                pixels_[y * stride_ + x] = colour;
            }
        }
        return;
    }
    if (from.y() == to.y() && from.x() != to.x()) {
        const int y = from.y();
        const int step = from.x() < to.x() ? 1 : -1;
        const int first = from.x();
        const int last = to.x() - step;
        const int left = std::max(std::min(first, last), 0);
        const int right = std::min(std::max(first, last), width_ - 1);
        if (y >= 0 && y < height_ && left <= right) {
            std::fill(pixels_ + y * stride_ + left, pixels_ + y * stride_ + right + 1, colour);
        }
        return;
    }
    int x = from.x();
    int y = from.y();
    const int dx = std::abs(to.x() - x);
    const int dy = -std::abs(to.y() - y);
    const int sx = x < to.x() ? 1 : -1;
    const int sy = y < to.y() ? 1 : -1;
    int err = dx + dy;
    while (x != to.x() || y != to.y()) {
        PutPixel(x, y, colour);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void GraphCanvas::UsePen() {
    const QPen& current = painter_.pen();
    if (current.color() != penColor || current.width() != penWidth ||
        current.capStyle() != Qt::FlatCap) {
        QPen pen(penColor, penWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        painter_.setPen(pen);
    }
}

void GraphCanvas::UseBrush() {
    const QBrush& current = painter_.brush();
    const Qt::BrushStyle style = brushSolid ? Qt::SolidPattern : Qt::NoBrush;
    if (current.style() != style || current.color() != brushColor) {
        painter_.setBrush(QBrush(brushColor, style));
    }
}

void GraphCanvas::FillRect(int x1, int y1, int x2, int y2) {
    if (painter_.isActive() && x2 > x1 && y2 > y1) {
        painter_.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), brushColor);
    }
}

void GraphCanvas::MoveTo(int x, int y) {
    position_ = QPoint(x, y);
}

void GraphCanvas::LineTo(int x, int y) {
    const QPoint to(x, y);
    constexpr int kDirectReach = 1 << 15;  // beyond this the painter clips instead
    const auto near = [](QPoint p) {
        return std::abs(p.x()) < kDirectReach && std::abs(p.y()) < kDirectReach;
    };
    if (painter_.isActive()) {
        if (pixels_ != nullptr && penWidth == 1 && near(position_) && near(to)) {
            ThinLine(position_, to);
        } else {
            UsePen();
            painter_.drawLine(position_, to);
        }
    }
    position_ = to;
}

void GraphCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    if (!painter_.isActive() || x2 <= x1 || y2 <= y1) {
        return;
    }
    if (pixels_ != nullptr && x2 - x1 <= 2 && y2 - y1 <= 2) {
        // An ellipse this small is its box; writing it is much cheaper than rasterising one.
        const QRgb colour = penColor.rgb();
        for (int y = y1; y < y2; ++y) {
            for (int x = x1; x < x2; ++x) {
                PutPixel(x, y, colour);
            }
        }
        return;
    }
    UsePen();
    UseBrush();
    painter_.drawEllipse(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
}

void GraphCanvas::Arc(int x1, int y1, int x2, int y2, int sx, int sy, int ex, int ey) {
    if (!painter_.isActive()) {
        return;
    }
    // Shifted half a pixel, the aliased outline covers x1..x2-1 for odd and even widths alike.
    const QRectF box(x1 + 0.5, y1 + 0.5, x2 - x1 - 1.0, y2 - y1 - 1.0);
    const double cx = (x1 + x2) / 2.0;
    const double cy = (y1 + y2) / 2.0;
    double span = 360.0;
    double start = 0.0;
    if (sx != ex || sy != ey) {
        start = RayDegrees(sx - cx, sy - cy);
        span = RayDegrees(ex - cx, ey - cy) - start;
        if (span <= 0) {
            span += 360.0;
        }
    }
    UsePen();
    painter_.drawArc(box, static_cast<int>(std::lround(start * 16)),
                     static_cast<int>(std::lround(span * 16)));
}

void GraphCanvas::Polygon(const QPoint* points, int count) {
    if (!painter_.isActive() || count < 2) {
        return;
    }
    UsePen();
    UseBrush();
    painter_.drawPolygon(points, count, Qt::OddEvenFill);
}

void GraphCanvas::TextOut(int x, int y, const QString& text) {
    if (!painter_.isActive()) {
        return;
    }
    if (fontPointSize_ != fontSize) {
        font_.setPixelSize(PixelsOfPoints(fontSize));
        fontPointSize_ = fontSize;
        painter_.setFont(font_);
        fontAscent_ = painter_.fontMetrics().ascent();
        laidOut_.clear();
    }
    painter_.setPen(fontColor);
    // One line from the top left, not laid out into a clipped rectangle: the label boxes are
    // sized to hold their texts.
    constexpr int kMaxLaidOut = 1024;  // counters and times make new texts all the time
    auto found = laidOut_.find(text);
    if (found == laidOut_.end()) {
        if (laidOut_.size() >= kMaxLaidOut) {
            laidOut_.clear();
        }
        QStaticText laid(text);
        laid.setTextFormat(Qt::PlainText);
        laid.prepare(QTransform(), font_);
        found = laidOut_.insert(text, laid);
    }
    painter_.drawStaticText(QPoint(x, y), *found);
}

void GraphCanvas::CopyImage(int x, int y, const QImage& image) {
    if (painter_.isActive() && !image.isNull()) {
        painter_.setCompositionMode(QPainter::CompositionMode_Source);
        painter_.drawImage(QPoint(x, y), image);
        painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
}

namespace {

// The primitives hand the surface back with the brush and font they found.
class KeepBrushAndFont {
public:
    explicit KeepBrushAndFont(GraphCanvas& canvas)
        : canvas_(canvas),
          brush_(canvas.brushColor),
          solid_(canvas.brushSolid),
          font_(canvas.fontColor),
          size_(canvas.fontSize) {}
    ~KeepBrushAndFont() {
        canvas_.brushColor = brush_;
        canvas_.brushSolid = solid_;
        canvas_.fontColor = font_;
        canvas_.fontSize = size_;
    }
    KeepBrushAndFont(const KeepBrushAndFont&) = delete;
    KeepBrushAndFont& operator=(const KeepBrushAndFont&) = delete;

private:
    GraphCanvas& canvas_;
    QColor brush_;
    bool solid_;
    QColor font_;
    int size_;
};

void DrawBoxedText(GraphCanvas& canvas, int x, int y, int width, int height, const QString& text,
                   const QColor& fontColour, const QColor& backColour, int fontSize) {
    const KeepBrushAndFont keep(canvas);
    canvas.brushColor = backColour;
    canvas.brushSolid = true;
    canvas.FillRect(x, y, x + width, y + height);
    canvas.fontColor = fontColour;
    canvas.fontSize = fontSize;
    canvas.TextOut(x, y, text);
}

}  // namespace

void DrawDot(GraphCanvas& canvas, int x, int y, const QColor& colour, int size) {
    const KeepBrushAndFont keep(canvas);
    canvas.penColor = colour;
    canvas.brushColor = colour;
    canvas.brushSolid = true;
    canvas.Ellipse(x - size, y - size, x, y);
}

void DrawLabel(GraphCanvas& canvas, int x, int y, const QString& text, const QColor& fontColour,
               const QColor& backColour) {
    DrawBoxedText(canvas, x, y, kLabelCharWidth * AnsiLength(text), kLabelHeight, text, fontColour,
                  backColour, canvas.fontSize);
}

void DrawBigLabel(GraphCanvas& canvas, int x, int y, const QString& text, const QColor& fontColour,
                  const QColor& backColour, int fontSize) {
    DrawBoxedText(canvas, x, y, kBigLabelCharWidth * AnsiLength(text), kBigLabelHeight, text,
                  fontColour, backColour, fontSize);
}

void FillBox(GraphCanvas& canvas, int x, int y, int width, int height, const QColor& colour) {
    const KeepBrushAndFont keep(canvas);
    canvas.brushColor = colour;
    canvas.brushSolid = true;
    canvas.FillRect(x, y, x + width, y + height);
}

void DrawLine(GraphCanvas& canvas, int x1, int y1, int x2, int y2, int penWidth) {
    canvas.penWidth = penWidth;
    canvas.MoveTo(x1, y1);
    canvas.LineTo(x2, y2);
    canvas.penWidth = 1;
}

void DrawFrame(GraphCanvas& canvas, int x, int y, int width, int height) {
    canvas.MoveTo(x, y);
    canvas.LineTo(x + width, y);
    canvas.LineTo(x + width, y + height);
    canvas.LineTo(x, y + height);
    canvas.LineTo(x, y);
}

QString FormatText(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return QString::fromUtf8(text);
}

}  // namespace vykgraph
