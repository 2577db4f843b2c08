#include "Process.h"

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "WidgetTestMain.h"

namespace {

TEST(ProcessForm, CaptionShowsTheShareWithTwoDecimals) {
    TProcessForm form;
    const struct {
        int maximum, position, barMaximum;
        const char* caption;
    } cases[] = {
        {8, 2, 8, "正在通信，请耐心等待：25.00%"},
        {7, 0, 7, "正在通信，请耐心等待：0.00%"},
        {3, 2, 3, "正在通信，请耐心等待：66.67%"},
        // A transfer with nothing queued (no port) waits at 0 of 100 for Cancel.
        {0, 0, 100, "正在通信，请耐心等待：0.00%"},
    };
    for (const auto& c : cases) {
        form.SetMax(c.maximum);
        form.SetPosition(c.position);
        EXPECT_EQ(form.ProgressBar1->maximum(), c.barMaximum);
        EXPECT_EQ(form.ProgressBar1->value(), c.position);
        EXPECT_EQ(form.windowTitle(), QString::fromUtf8(c.caption));
    }
}

TEST(ProcessForm, IsModalOnTopWithoutCloseOrMaximizeBox) {
    TProcessForm form;
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(form.isModal());
    EXPECT_EQ(form.Button1->text(), QStringLiteral("取消"));
}

TEST(ProcessForm, ClosesAtTheMaximumOrByCancelAndCanBeShownAgain) {
    TProcessForm form;
    form.SetMax(5);
    form.SetPosition(0);
    int step = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] { form.SetPosition(++step); });
    ticks.start(5);
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    ticks.stop();
    EXPECT_EQ(step, 5);

    form.SetMax(5);
    form.SetPosition(1);
    QTimer::singleShot(10, form.Button1, &QPushButton::click);
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    EXPECT_FALSE(form.isVisible());
}

}  // namespace
