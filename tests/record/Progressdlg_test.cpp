#include "Progressdlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include "WidgetTestMain.h"

using record::TfrmFileProcess;

namespace {

TEST(ProgressWindow, CaptionCountsSecondsAndTenths) {
    const QString base = QString::fromUtf8("正在加载文件，请耐心等待...");
    const struct {
        uint32_t ms;
        const char* suffix;
    } cases[] = {{0, "  共耗时 :0.0 秒"},
                 {99, "  共耗时 :0.0 秒"},
                 {1250, "  共耗时 :1.2 秒"},
                 {61999, "  共耗时 :61.9 秒"}};
    for (const auto& c : cases)
        EXPECT_EQ(TfrmFileProcess::ElapsedCaption(base, c.ms), base + QString::fromUtf8(c.suffix));
}

TEST(ProgressWindow, AReportShowsItsTextAndShareAndLetsTimersRun) {
    TfrmFileProcess form;
    EXPECT_EQ(form.size(), QSize(576, 88));
    EXPECT_EQ(form.Timer1->interval(), 100);
    EXPECT_TRUE(form.Timer1->isActive());
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    form.ReportProgress(QString::fromUtf8("解析数据文件..."), 3, 128);
    EXPECT_TRUE(ran) << "pending events run during a report";
    EXPECT_EQ(form.Label1->text(), QString::fromUtf8("解析数据文件..."));
    EXPECT_EQ(form.ProgressBar1->maximum(), 128);
    EXPECT_EQ(form.ProgressBar1->value(), 3);
    EXPECT_TRUE(
        form.windowTitle().startsWith(QString::fromUtf8("正在加载文件，请耐心等待...  共耗时 :")));
    EXPECT_FALSE(form.isVisible()) << "the console never shows it";
}

}  // namespace
