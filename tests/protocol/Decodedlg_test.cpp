#include "Decodedlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "Decodeexplain.h"
#include "ScriptedPrompt.h"
#include "WidgetTestMain.h"

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

TEST(DecodeWindow, OpensCentredWithTheReferenceAndItsDefaults) {
    ScriptedPrompt prompt;
    TfrmDecode window(nullptr, prompt);
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(window.windowTitle(), U("Halvex激光数据解析工具"));
    EXPECT_EQ(window.size(), QSize(730, 516));
    EXPECT_EQ(window.mmo1->height(), 409);
    EXPECT_TRUE(window.mmo1->isReadOnly());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window.frameGeometry().topLeft(),
              QPoint((screen.width() - window.frameGeometry().width()) / 2,
                     (screen.height() - window.frameGeometry().height()) / 2));
    EXPECT_EQ(window.mmo1->toPlainText(), decodetool::ReferenceText());
    EXPECT_EQ(window.edt1->text(), "70 01 9F");
    EXPECT_EQ(window.edt2->text(), "30 09 00 80");
    EXPECT_EQ(window.btn3Bytes->text(), U("3字节解析"));
    EXPECT_EQ(window.btn4Bytes->text(), U("4字节解析"));
    EXPECT_EQ(window.btn1->text(), U("显示源码"));
}

TEST(DecodeWindow, ButtonsShowTheExplanationOrLeaveTheMemoAlone) {
    ScriptedPrompt prompt;
    TfrmDecode window(nullptr, prompt);
    window.show();
    QApplication::processEvents();
    window.btn3Bytes->click();
    EXPECT_TRUE(window.mmo1->toPlainText().endsWith(U("\n解析距离:159")));
    window.btn4Bytes->click();
    const QString fourBytes = window.mmo1->toPlainText();
    EXPECT_TRUE(fourBytes.endsWith(U("\n解析距离:18 角度 0")));
    EXPECT_EQ(fourBytes.count('\n'), 13);

    window.edt1->setText("70 01 9G");
    window.btn3Bytes->click();
    window.edt1->setText(" 7 01 9F");
    window.btn3Bytes->click();
    EXPECT_EQ(window.mmo1->toPlainText(), fourBytes) << "a bad byte leaves the memo as it was";
    EXPECT_TRUE(prompt.messages.empty());

    window.edt1->setText("70 01 9");
    window.btn3Bytes->click();
    window.edt2->setText("13 74 16");
    window.btn4Bytes->click();
    EXPECT_EQ(prompt.MessageTexts(),
              QStringList({U("三个字节用空格隔开"), U("四个字节用空格隔开")}));
    EXPECT_EQ(window.mmo1->toPlainText(), fourBytes);

    window.btn1->click();
    EXPECT_EQ(window.mmo1->toPlainText(), decodetool::ReferenceText());
}

}  // namespace
