#include "Graphcanvas.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>

#include "GraphTestSupport.h"

using namespace vykgraph;
using graphtest::Rgb;

class GraphCanvasTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { graphtest::EnsureGuiApp(); }
    void SetUp() override {
        image.fill(Qt::black);
        ASSERT_TRUE(canvas.Begin());
    }
    const QImage& Done() {
        canvas.End();
        return image;
    }

    QImage image{200, 120, QImage::Format_RGB32};
    GraphCanvas canvas{&image};
};

TEST_F(GraphCanvasTest, DotFillsTheBoxAboveAndLeftOfItsPoint) {
    DrawDot(canvas, 50, 40, colours::kRed, 2);
    const QImage& out = Done();
    for (int y = 36; y < 43; ++y) {
        for (int x = 46; x < 53; ++x) {
            const bool inBox = x >= 48 && x < 50 && y >= 38 && y < 40;
            EXPECT_EQ(Rgb(out, x, y), inBox ? graphtest::kRed : graphtest::kBlack) << x << "," << y;
        }
    }
    EXPECT_EQ(canvas.penColor, colours::kRed);  // a dot leaves its colour in the pen
}

TEST_F(GraphCanvasTest, LinesLeaveOutTheirLastPixelAndResetThePenWidth) {
    canvas.penColor = colours::kWhite;
    DrawLine(canvas, 10, 10, 10, 15, 1);
    DrawLine(canvas, 20, 50, 20, 70, 3);
    EXPECT_EQ(canvas.penWidth, 1);
    const QImage& out = Done();
    for (int y = 10; y < 15; ++y) {
        EXPECT_EQ(Rgb(out, 10, y), graphtest::kWhite) << y;
    }
    EXPECT_EQ(Rgb(out, 10, 15), graphtest::kBlack);
    EXPECT_EQ(Rgb(out, 10, 9), graphtest::kBlack);
    EXPECT_EQ(Rgb(out, 19, 60), graphtest::kWhite);  // width 3 spans x 19..21
    EXPECT_EQ(Rgb(out, 21, 60), graphtest::kWhite);
}

TEST_F(GraphCanvasTest, LabelBoxesAreSizedByAnsiBytes) {
    struct Case {
        const char* text;
        bool big;
        int width, height;
    } cases[] = {{"12,34", false, 40, 20}, {"区域保护1", false, 72, 20}, {"Y", true, 16, 40}};
    for (const Case& c : cases) {
        image.fill(Qt::black);
        const QString text = QString::fromUtf8(c.text);
        if (c.big) {
            DrawBigLabel(canvas, 10, 10, text, colours::kBlue, colours::kTeal, 15);
        } else {
            DrawLabel(canvas, 10, 10, text, colours::kBlue, colours::kTeal);
        }
        canvas.End();
        EXPECT_EQ(Rgb(image, 10 + c.width - 1, 10 + c.height - 1), graphtest::kTeal) << c.text;
        EXPECT_EQ(Rgb(image, 10 + c.width, 10), graphtest::kBlack) << c.text;
        EXPECT_EQ(Rgb(image, 10, 10 + c.height), graphtest::kBlack) << c.text;
        EXPECT_LT(graphtest::CountColour(image.copy(10, 10, c.width, c.height), graphtest::kTeal),
                  c.width * c.height)
            << "no glyph pixels for " << c.text;
        ASSERT_TRUE(canvas.Begin());
    }
}

TEST_F(GraphCanvasTest, PrimitivesRestoreBrushAndFont) {
    canvas.brushColor = colours::kGreen;
    canvas.brushSolid = false;
    canvas.fontColor = colours::kTeal;
    canvas.fontSize = 11;
    DrawLabel(canvas, 0, 0, QStringLiteral("a"), colours::kWhite, colours::kRed);
    DrawBigLabel(canvas, 0, 30, QStringLiteral("b"), colours::kWhite, colours::kRed, 20);
    FillBox(canvas, 0, 80, 5, 5, colours::kBlue);
    DrawDot(canvas, 100, 100, colours::kWhite, 4);
    EXPECT_EQ(canvas.brushColor, colours::kGreen);
    EXPECT_FALSE(canvas.brushSolid);
    EXPECT_EQ(canvas.fontColor, colours::kTeal);
    EXPECT_EQ(canvas.fontSize, 11);
}

TEST_F(GraphCanvasTest, FillBoxAndFrameCoverTheirEdges) {
    FillBox(canvas, 5, 5, 10, 4, colours::kGreen);
    canvas.penColor = colours::kWhite;
    DrawFrame(canvas, 40, 40, 20, 10);
    const QImage& out = Done();
    EXPECT_EQ(Rgb(out, 14, 8), graphtest::kGreen);
    EXPECT_EQ(Rgb(out, 15, 8), graphtest::kBlack);
    EXPECT_EQ(Rgb(out, 14, 9), graphtest::kBlack);
    for (const auto& [x, y] :
         {std::pair{40, 40}, {60, 40}, {60, 50}, {40, 50}, {50, 40}, {40, 45}}) {
        EXPECT_EQ(Rgb(out, x, y), graphtest::kWhite) << x << "," << y;
    }
    EXPECT_EQ(Rgb(out, 50, 45), graphtest::kBlack);
}

TEST_F(GraphCanvasTest, FullArcCoversItsBoxLessTheRightAndBottomEdges) {
    struct Case {
        int x1, y1, x2, y2;
    } cases[] = {{10, 10, 30, 30}, {10, 10, 31, 31}, {20, 5, 180, 115}, {50, 40, 55, 46}};
    for (const Case& c : cases) {
        image.fill(Qt::black);
        canvas.penColor = colours::kWhite;
        canvas.Arc(c.x1, c.y1, c.x2, c.y2, c.x1, c.y1, c.x1, c.y1);
        canvas.End();
        const QImage& out = image;
        int left = out.width(), right = -1, top = out.height(), bottom = -1;
        for (int y = 0; y < out.height(); ++y) {
            for (int x = 0; x < out.width(); ++x) {
                if (Rgb(out, x, y) == graphtest::kWhite) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        EXPECT_EQ(left, c.x1) << c.x2;
        EXPECT_EQ(right, c.x2 - 1) << c.x2;
        EXPECT_EQ(top, c.y1) << c.y2;
        EXPECT_EQ(bottom, c.y2 - 1) << c.y2;
        ASSERT_TRUE(canvas.Begin());
    }
}

TEST(GraphCanvasTextTest, AnsiLengthCountsCjkAsTwoBytes) {
    EXPECT_EQ(AnsiLength(QString::fromUtf8("区域保护1")), 9);
    EXPECT_EQ(AnsiLength(QString::fromUtf8("当前输入第 2 组")), 15);
    EXPECT_EQ(AnsiLength(QStringLiteral("%0.2f m")), 7);
}

// Qt's warnings while it lives.
class QtWarnings {
public:
    QtWarnings() : previous_(qInstallMessageHandler(Collect)) { current_ = this; }
    ~QtWarnings() {
        qInstallMessageHandler(previous_);
        current_ = nullptr;
    }
    QtWarnings(const QtWarnings&) = delete;
    QtWarnings& operator=(const QtWarnings&) = delete;

    QStringList texts;

private:
    static void Collect(QtMsgType, const QMessageLogContext&, const QString& text) {
        current_->texts << text;
    }

    static inline QtWarnings* current_ = nullptr;
    QtMessageHandler previous_;
};

// A canvas on a null image, or on none, must not begin painting: QPainter refuses the device
// with a warning, and every primitive would then draw through a painter that is not active.
TEST(GraphCanvasTextTest, NullImageIsNotPaintedOn) {
    QImage none;
    for (QImage* image : {&none, static_cast<QImage*>(nullptr)}) {
        const QtWarnings warnings;
        GraphCanvas canvas(image);
        EXPECT_FALSE(canvas.Begin());
        FillBox(canvas, 0, 0, 10, 10, colours::kRed);
        DrawLabel(canvas, 0, 0, QStringLiteral("x"), colours::kRed, colours::kBlack);
        canvas.MoveTo(0, 0);
        canvas.LineTo(5, 5);
        canvas.Ellipse(0, 0, 2, 2);
        canvas.End();
        EXPECT_TRUE(warnings.texts.isEmpty()) << warnings.texts.join('\n').toStdString();
    }
}
