#include "WidgetPrompt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>

#include "ModalDialog.h"
#include "Translations.h"
#include "WidgetTestMain.h"

namespace {

TEST(Translations, StandardButtonsReadChinese) {
    ASSERT_TRUE(LoadQtChinese(*qApp)) << "Qt's translations are installed by tools/deps.sh";
    QMessageBox box(QMessageBox::Warning, "", "", QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QString::fromUtf8("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QString::fromUtf8("取消"));
}

// The title dialog was 200 pixels wide and cut the default title.
TEST(WidgetPromptInput, TheBoxShowsItsWholeDefaultText) {
    const QString title = QString::fromUtf8("VYK-10Halvex激光雷达点云数据采集分析系统V7.08.03");
    int shown = 0;
    int needed = 0;
    AnswerModalDialog<QInputDialog>([&](QInputDialog& dialog) {
        const QLineEdit* edit = dialog.findChild<QLineEdit*>();
        shown = edit->contentsRect().width();
        needed = edit->fontMetrics().horizontalAdvance(title);
        dialog.reject();
    });
    WidgetPrompt prompt;
    EXPECT_EQ(prompt.Input(QString::fromUtf8("输入"), QString::fromUtf8("标题名称："), title),
              title);
    EXPECT_GT(needed, 0) << "the dialog was not inspected";
    EXPECT_GE(shown, needed);
}

// A dialog answer returned silently when no dialog was up yet, and the test then waited for
// ctest's timeout.
TEST(AnswerModalDialogDeathTest, ADialogThatDoesNotComeUpEndsTheTestAtTheDeadline) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            AnswerModalDialog<QInputDialog>([](QInputDialog&) {}, std::chrono::milliseconds(50));
            QTimer::singleShot(10000, qApp, &QApplication::quit);
            QApplication::exec();
        },
        "no QInputDialog came up within 50 ms");
}

}  // namespace
