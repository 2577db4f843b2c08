#include "Settingspage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include "ScriptedPrompt.h"
#include "TextCodec.h"
#include "WidgetTestMain.h"

using namespace console;

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

// The page in a shown window, with what it hands to the port recorded.
class Page : public ::testing::Test {
protected:
    Page() : page(nullptr, prompt, [this](const QByteArray& bytes) { return Send(bytes); }) {
        page.resize(1100, 600);
        page.show();
        QApplication::processEvents();
    }

    bool Send(const QByteArray& bytes) {
        if (!portOpen)
            return false;
        sent << bytes;
        return true;
    }

    QStringList LogLines() const {
        const QString text = page.mmoLog->toPlainText();
        return text.isEmpty() ? QStringList() : text.split('\n');
    }

    void Receive(const QByteArray& bytes) {
        page.AssembleTextLines(reinterpret_cast<const uint8_t*>(bytes.constData()),
                               static_cast<int>(bytes.size()));
    }

    QWidget* Focused() const { return QApplication::focusWidget(); }

    ScriptedPrompt prompt;
    bool portOpen = true;
    QList<QByteArray> sent;
    TSettingsPage page;
};

TEST_F(Page, ControlsStartWithTheirCaptionsAndDefaultsInTabOrder) {
    const struct {
        QWidget* control;
        const char* text;
    } controls[] = {
        {page.EditSendLaser, "#st"},
        {page.ButtonSendLazser, "发送"},
        {page.btnClear, "清除"},
        {page.btnMCUID, "获取传感器ID"},
        {page.btnRead, "读取设置"},
        {page.btnSave, "保存设置"},
        {page.edtMaxDistance, "3000"},
        {page.edtMinDistance, "100"},
        {page.btnMaxMinDistance, "最远最近距离"},
        {page.cbbBand, "230400"},
        {page.btn1, "波特率"},
        {page.cbbMotor, "5HZ"},
        {page.btnSetMotorFreq, "马达频率"},
        {page.chkMotor, "上电马达转动"},
        {page.chkMotorAuto, "自动调速"},
        {page.chkMinDistance, "最近距离过滤    "},
        {page.chkMaxDistance, "最远距离过滤"},
        {page.chkDistance, "数据过滤"},
        {page.chkAngle, "角度过滤"},
        {page.btnMotor, "参数设置"},
        {page.edtAngleStart, "0"},
        {page.edtAngleEnd, "0"},
        {page.btnAngle, "角度输出"},
        {page.btnForceOutput, "强制输出数据"},
        {page.btnExitSet, "退出设置"},
    };
    page.mmoLog->setFocus();
    ASSERT_EQ(Focused(), page.mmoLog);
    EXPECT_TRUE(page.mmoLog->toPlainText().isEmpty());
    for (const auto& c : controls) {
        QString text;
        if (auto* edit = qobject_cast<QLineEdit*>(c.control))
            text = edit->text();
        else if (auto* combo = qobject_cast<QComboBox*>(c.control))
            text = combo->currentText();
        else if (auto* button = qobject_cast<QAbstractButton*>(c.control))
            text = button->text();
        EXPECT_EQ(text, U(c.text));
        if (auto* box = qobject_cast<QCheckBox*>(c.control)) {
            EXPECT_FALSE(box->isChecked()) << c.text;
        }
        // Tab from the previous control lands here.
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(Focused(), &tab);
        EXPECT_EQ(Focused(), c.control) << "tab order at " << c.text;
    }
    EXPECT_EQ(page.EditSendLaser->maxLength(), 100);
    EXPECT_EQ(page.cbbBand->count(), 3);
    EXPECT_EQ(page.cbbMotor->count(), 15);
    EXPECT_EQ(page.cbbMotor->itemText(14), "15HZ");
    EXPECT_EQ(SelectedIndex(*page.cbbMotor), 4);
}

TEST_F(Page, TheSendBoxGoesOutUpperCasedWithCrLfAndIsLogged) {
    const struct {
        const char* typed;
        QByteArray bytes;
        const char* logged;
    } cases[] = {
        {"#sf 7", "#SF 7\r\n", "send:#SF 7"},
        {"#st", "#ST\r\n", "send:#ST"},
        {"#pm 1 ", "#PM 1 \r\n", "send:#PM 1 "},
        {"#ab中文ß,z", ToGbk(U("#AB中文ß,Z")) + "\r\n", "send:#AB中文ß,Z"},
    };
    for (const auto& c : cases) {
        sent.clear();
        page.mmoLog->clear();
        page.EditSendLaser->setText(U(c.typed));
        page.ButtonSendLazser->click();
        EXPECT_EQ(sent, QList<QByteArray>{c.bytes}) << c.typed;
        EXPECT_EQ(LogLines(), QStringList{U(c.logged)}) << c.typed;
    }
    sent.clear();
    page.SendCommandText(QString(150, 'a'));
    EXPECT_EQ(sent, QList<QByteArray>{QByteArray(100, 'A') + "\r\n"}) << "at most 100 characters";
}

TEST_F(Page, NothingIsSentWithoutAPortOrText) {
    page.EditSendLaser->clear();
    page.ButtonSendLazser->click();
    portOpen = false;
    page.SendCommandText("#RS");
    page.btnRead->click();
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_EQ(LogLines(), QStringList(3, U("串口为空，没法发送数据！")));
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(Page, EachButtonPutsItsCommandIntoTheSendBoxAndSendsIt) {
    page.chkMotor->setChecked(true);
    page.chkMotorAuto->setChecked(true);
    page.chkAngle->setChecked(true);
    page.edtAngleEnd->setText("360");
    const struct {
        QPushButton* button;
        const char* box;
        QByteArray bytes;
    } cases[] = {
        {page.btnRead, "#RS", "#RS\r\n"},
        {page.btnSave, "#su", "#SU\r\n"},
        {page.btnMCUID, "#id\r\n", "#ID\r\n\r\n"},
        {page.btnMaxMinDistance, "#D12 3000 , 100", "#D12 3000 , 100\r\n"},
        {page.btnSetMotorFreq, "#sf 5", "#SF 5\r\n"},
        {page.btnMotor, "#SMS 35", "#SMS 35\r\n"},
        {page.btnAngle, "#SAR 0 , 360", "#SAR 0 , 360\r\n"},
        {page.btnForceOutput, "#PM 1 ", "#PM 1 \r\n"},
    };
    for (const auto& c : cases) {
        sent.clear();
        page.mmoLog->clear();
        c.button->click();
        EXPECT_EQ(page.EditSendLaser->text(), U(c.box));
        EXPECT_EQ(sent, QList<QByteArray>{c.bytes}) << c.box;
        QString command = QString::fromLatin1(c.bytes.chopped(2));
        EXPECT_EQ(page.mmoLog->toPlainText(), "send:" + command.replace("\r\n", "\n")) << c.box;
    }
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(Page, RangesAreCheckedFirstBoxFirstAndSentAsTyped) {
    const struct {
        QLineEdit* first;
        QLineEdit* second;
        QPushButton* button;
        const char* firstText;
        const char* secondText;
        const char* sentLine;  // null: refused
        bool message;
        int focused;  // 1 or 2: which box gets the focus when refused
    } cases[] = {
        {page.edtMaxDistance, page.edtMinDistance, page.btnMaxMinDistance, "4001", "100", nullptr,
         true, 1},
        {page.edtMaxDistance, page.edtMinDistance, page.btnMaxMinDistance, "4000", "100",
         "#D12 4000 , 100\r\n", false, 0},
        {page.edtMaxDistance, page.edtMinDistance, page.btnMaxMinDistance, "abc", "100", nullptr,
         false, 1},
        {page.edtMaxDistance, page.edtMinDistance, page.btnMaxMinDistance, "3000", "0", nullptr,
         true, 2},
        {page.edtMaxDistance, page.edtMinDistance, page.btnMaxMinDistance, "4001", "abc", nullptr,
         true, 1},
        {page.edtMaxDistance, page.edtMinDistance, page.btnMaxMinDistance, " 1", "4000 ",
         "#D12  1 , 4000 \r\n", false, 0},
        {page.edtAngleStart, page.edtAngleEnd, page.btnAngle, "0", "361", nullptr, true, 2},
        {page.edtAngleStart, page.edtAngleEnd, page.btnAngle, "0", "360", "#SAR 0 , 360\r\n", false,
         0},
        {page.edtAngleStart, page.edtAngleEnd, page.btnAngle, "-1", "10", nullptr, true, 1},
        {page.edtAngleStart, page.edtAngleEnd, page.btnAngle, "10", "1x", nullptr, false, 2},
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.firstText) + " / " + c.secondText;
        sent.clear();
        prompt.messages.clear();
        page.EditSendLaser->setText("#st");
        page.btnClear->setFocus();
        c.first->setText(U(c.firstText));
        c.second->setText(U(c.secondText));
        c.button->click();
        if (c.sentLine) {
            EXPECT_EQ(sent, QList<QByteArray>{c.sentLine}) << what;
        } else {
            EXPECT_TRUE(sent.isEmpty()) << what;
            EXPECT_EQ(page.EditSendLaser->text(), "#st") << what;
        }
        EXPECT_EQ(prompt.MessageTexts(),
                  c.message ? QStringList{U("输入超出范围!")} : QStringList())
            << what;
        QWidget* const boxes[] = {page.btnClear, c.first, c.second};
        QWidget* const expected = boxes[c.focused];
        EXPECT_EQ(Focused(), expected) << what;
    }
}

TEST_F(Page, MotorFrequencyComesFromTheSelectedItemOrTheTypedNumber) {
    const struct {
        int select;         // item selected first, -1 for none
        const char* typed;  // then typed into the box, null for nothing
        QByteArray bytes;   // empty: refused with the message
    } cases[] = {
        {6, nullptr, "#SF 7\r\n"},
        {14, nullptr, "#SF 15\r\n"},
        {-1, "12", "#SF 12\r\n"},
        {-1, "12HZ", {}},
        {-1, "", {}},
        {4, "12", "#SF 12\r\n"},  // typing over a selected item clears the selection
        {4, "12HZ", {}},
    };
    for (const auto& c : cases) {
        sent.clear();
        prompt.messages.clear();
        page.cbbMotor->setCurrentIndex(c.select);
        if (c.typed)
            page.cbbMotor->setEditText(c.typed);
        page.btnSetMotorFreq->click();
        const std::string what = std::to_string(c.select) + " " + (c.typed ? c.typed : "-");
        if (c.bytes.isEmpty()) {
            EXPECT_TRUE(sent.isEmpty()) << what;
            EXPECT_EQ(prompt.MessageTexts(), QStringList{U("请输入合法的PWM值!")}) << what;
        } else {
            EXPECT_EQ(sent, QList<QByteArray>{c.bytes}) << what;
            EXPECT_TRUE(prompt.messages.empty()) << what;
        }
    }
}

TEST_F(Page, BaudRateGoesOutDirectlyAndUnlogged) {
    const struct {
        const char* text;
        bool port;
        QByteArray bytes;
        const char* message;
        const char* logged;
    } cases[] = {
        {"460800", true, "#BR 460800\r\n", nullptr, nullptr},
        {"115200", true, "#BR 115200\r\n", nullptr, nullptr},
        {"fast", true, {}, "输入必须为数字!", nullptr},
        {"921600", false, {}, nullptr, "必须先打开一号机才能校验！"},
    };
    for (const auto& c : cases) {
        sent.clear();
        prompt.messages.clear();
        page.mmoLog->clear();
        page.EditSendLaser->setText("#st");
        portOpen = c.port;
        page.cbbBand->setEditText(c.text);
        page.btn1->click();
        EXPECT_EQ(sent, c.bytes.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{c.bytes});
        EXPECT_EQ(prompt.MessageTexts(), c.message ? QStringList{U(c.message)} : QStringList());
        EXPECT_EQ(LogLines(), c.logged ? QStringList{U(c.logged)} : QStringList()) << c.text;
        if (!c.message) {
            EXPECT_EQ(page.EditSendLaser->text(), QString("#BR ") + c.text);
        }
    }
}

TEST_F(Page, ReceivedLinesAreLoggedAndRepliesFillThePage) {
    struct State {
        QString min, max, start, end, motor;
        int motorIndex;
        int modeBits;
    };
    auto state = [this] {
        int bits = 0;
        const QCheckBox* boxes[] = {page.chkMotor,       page.chkMotorAuto, page.chkMinDistance,
                                    page.chkMaxDistance, page.chkDistance,  page.chkAngle};
        for (int bit = 0; bit < 6; ++bit) bits |= boxes[bit]->isChecked() << bit;
        return State{page.edtMinDistance->text(),
                     page.edtMaxDistance->text(),
                     page.edtAngleStart->text(),
                     page.edtAngleEnd->text(),
                     page.cbbMotor->currentText(),
                     SelectedIndex(*page.cbbMotor),
                     bits};
    };
    const struct {
        QByteArray received;
        State after;
    } cases[] = {
        {"#RSDIS,100,3000\r\n", {"100", "3000", "0", "0", "5HZ", 4, 0}},
        {"#RSDIS,250,3500\r\n", {"250", "3500", "0", "0", "5HZ", 4, 0}},
        {"#RSADR,7\r\n", {"250", "3500", "0", "0", "7HZ", 6, 0}},
        {"#RSADR,16\r\n", {"250", "3500", "0", "0", "错误", -1, 0}},
        {"#RSADR,15\r\n", {"250", "3500", "0", "0", "15HZ", 14, 0}},
        {"#RSADR,4294967297\r\n", {"250", "3500", "0", "0", "1HZ", 0, 0}},  // wraps to 1
        {"#RSADR,0\r\n", {"250", "3500", "0", "0", "", -1, 0}},
        {"#RSMS,35\r\n", {"250", "3500", "0", "0", "", -1, 35}},
        {"#RSMS,64\r\n", {"250", "3500", "0", "0", "", -1, 0}},
        {"#RSAR,10,350\r\n", {"250", "3500", "10", "350", "", -1, 0}},
        {"#RSDIS,7\r\n", {"7", "0", "10", "350", "", -1, 0}},         // a missing number is 0
        {"#RSPR,4,3,258,1\r\n", {"7", "0", "10", "350", "", -1, 0}},  // the zone tool's
    };
    for (const auto& c : cases) {
        page.mmoLog->clear();
        Receive(c.received);
        const State s = state();
        const QString what = QString::fromLatin1(c.received.trimmed());
        EXPECT_EQ(LogLines(), QStringList{what});
        EXPECT_EQ(s.min, c.after.min) << what.toStdString();
        EXPECT_EQ(s.max, c.after.max) << what.toStdString();
        EXPECT_EQ(s.start, c.after.start) << what.toStdString();
        EXPECT_EQ(s.end, c.after.end) << what.toStdString();
        EXPECT_EQ(s.motor, U(c.after.motor.toUtf8().constData())) << what.toStdString();
        EXPECT_EQ(s.motorIndex, c.after.motorIndex) << what.toStdString();
        EXPECT_EQ(s.modeBits, c.after.modeBits) << what.toStdString();
    }
}

TEST_F(Page, OnlyPrintableLinesOfFiveToOneHundredCharactersAreLogged) {
    const QByteArray packet("\x13\x74\x16\xc0", 4);
    const struct {
        const char* what;
        QByteArray received;
        QStringList logged;
    } cases[] = {
        {"4 characters", "#ABC\r", {}},
        {"5 characters", "#ABCD\r", {"#ABCD"}},
        {"150 characters", QByteArray(150, 'x') + "\r", {QString(100, 'x'), QString(50, 'x')}},
        {"a packet between two halves of a reply", "#RSDIS,10" + packet + "0,3000\r\n", {"0,3000"}},
    };
    for (const auto& c : cases) {
        page.mmoLog->clear();
        page.edtMinDistance->setText("100");
        Receive(c.received);
        EXPECT_EQ(LogLines(), c.logged) << c.what;
        EXPECT_EQ(page.edtMinDistance->text(), "100") << c.what << ": no reply applied";
    }
}

TEST_F(Page, AReceivedLineEmptiesTheLogOnlyAboveTwoHundredLines) {
    for (int lines : {200, 201}) {
        page.btnClear->click();
        for (int i = 0; i < lines; ++i) page.mmoLog->appendPlainText("old line");
        ASSERT_EQ(page.LogLineCount(), lines);
        Receive("#RSMS,1\r\n");
        if (lines == 200) {
            EXPECT_EQ(page.LogLineCount(), 201);
            EXPECT_EQ(LogLines().last(), "#RSMS,1");
        } else {
            EXPECT_EQ(LogLines(), QStringList{"#RSMS,1"});
        }
    }
    page.SendCommandText("#RS");
    page.SendCommandText("#RS");
    EXPECT_EQ(page.LogLineCount(), 3) << "sending never empties it";
    page.btnClear->click();
    EXPECT_EQ(page.LogLineCount(), 0);
}

}  // namespace
