#pragma once

// A drawing surface on a QImage that keeps its pen, brush and font between calls, as the
// views rely on, plus the drawing primitives shared by every view.

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QStaticText>
#include <QString>

namespace vykgraph {

namespace colours {
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kTeal(0, 128, 128);
const QColor kButtonFace(240, 240, 240);
}  // namespace colours

constexpr int kLabelFontSize = 9;  // points

// The label font: a CJK face so the Chinese texts show, whatever the machine offers first.
QFont LabelFont(int pointSize);
// Bytes of the text in the ANSI code page: what the label boxes are sized by.
int AnsiLength(const QString& text);

// Rectangles run from (x1, y1) up to but excluding (x2, y2); lines leave out their last pixel,
// whichever way they run.
class GraphCanvas {
public:
    explicit GraphCanvas(QImage* image);
    ~GraphCanvas();
    GraphCanvas(const GraphCanvas&) = delete;
    GraphCanvas& operator=(const GraphCanvas&) = delete;

    // Painting happens between Begin and End; the image must not be replaced in between.
    bool Begin();
    void End();
    QImage* Image() const { return image_; }

    QColor penColor = colours::kBlack;
    int penWidth = 1;
    QColor brushColor = colours::kWhite;
    bool brushSolid = true;
    QColor fontColor = colours::kBlack;
    int fontSize = kLabelFontSize;

    void FillRect(int x1, int y1, int x2, int y2);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Ellipse(int x1, int y1, int x2, int y2);
    // Counter-clockwise from the ray through (sx, sy) to the ray through (ex, ey); equal points
    // give the full ellipse.
    void Arc(int x1, int y1, int x2, int y2, int sx, int sy, int ex, int ey);
    void Polygon(const QPoint* points, int count);
    // One line of text with its top left corner at (x, y).
    void TextOut(int x, int y, const QString& text);
    void CopyImage(int x, int y, const QImage& image);

private:
    void PutPixel(int x, int y, QRgb colour);
    void ThinLine(QPoint from, QPoint to);
    void UsePen();
    void UseBrush();

    QImage* image_;
    QPainter painter_;
    // The image's pixels while painting: thin lines and dots are written directly.
    QRgb* pixels_ = nullptr;
    qsizetype stride_ = 0;  // in pixels
    int width_ = 0;
    int height_ = 0;
    QPoint position_{0, 0};
    QFont font_;
    int fontPointSize_ = 0;
    int fontAscent_ = 0;
    // Laid-out texts of the current font size: the data view writes the same few labels
    // hundreds of times a drawing, and laying a text out costs more than painting it.
    QHash<QString, QStaticText> laidOut_;
};

void DrawDot(GraphCanvas& canvas, int x, int y, const QColor& colour, int size);
void DrawLabel(GraphCanvas& canvas, int x, int y, const QString& text, const QColor& fontColour,
               const QColor& backColour);
void DrawBigLabel(GraphCanvas& canvas, int x, int y, const QString& text, const QColor& fontColour,
                  const QColor& backColour, int fontSize);
void FillBox(GraphCanvas& canvas, int x, int y, int width, int height, const QColor& colour);
void DrawLine(GraphCanvas& canvas, int x1, int y1, int x2, int y2, int penWidth);
void DrawFrame(GraphCanvas& canvas, int x, int y, int width, int height);

// printf into a label text; the format and arguments are UTF-8.
QString FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vykgraph
