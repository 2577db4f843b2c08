#include "Unit_nxcommdevice_settings.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "CommTestSupport.h"
#include "IniFile.h"
#include "PtyPair.h"
#include "ScriptedPrompt.h"
#include "SerialDevice.h"
#include "WidgetTestMain.h"

using namespace QuillComm;

namespace {

TEST(MsgStringsTest, LanguagesFollowTheLocaleIdentifier) {
    const struct {
        uint32_t lcId;
        int entry;
        const char* text;
    } cases[] = {
        {1033, 0, "&OK"},
        {2052, 0, "确定"},
        {1028, 2, "序列埠設定"},
        {1041, 35, "Space Parity"},
        {2052, 32, "自动应答必须是 0 - 255 的整数"},
        {1028, 23, "必須選擇資料流程控制"},
        {2052, 16, "RTS/CTS & Xon/Xoff (硬&软)"},
        {1033, 36, ""},
        {1033, -1, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TMsgStrings(c.lcId).fGetMsg(c.entry), QString::fromUtf8(c.text))
            << c.lcId << " " << c.entry;
    }
}

CommSettingsInput ValidInput() {
    CommSettingsInput input;
    input.portIndex = 0;
    input.portName = "COM70";
    input.baud = "9600";
    input.byteSizeIndex = 3;
    input.parityIndex = 0;
    input.stopBitsIndex = 0;
    input.flowIndex = 0;
    input.autoAnswer = "0";
    input.inBufSize = "8192";
    input.outBufSize = "8192";
    return input;
}

TEST(SettingsRulesTest, ChecksInOrderWithTheirEntries) {
    const struct {
        const char* name;
        void (*spoil)(CommSettingsInput*);
        SettingsField field;
        int message;
    } cases[] = {
        {"no port", [](CommSettingsInput* i) { i->portIndex = -1; }, SettingsField::Port, 17},
        {"blank baud", [](CommSettingsInput* i) { i->baud = "  "; }, SettingsField::Baud, 18},
        {"no byte size", [](CommSettingsInput* i) { i->byteSizeIndex = -1; },
         SettingsField::ByteSize, 20},
        {"no parity", [](CommSettingsInput* i) { i->parityIndex = -1; }, SettingsField::Parity, 21},
        {"no stop bits", [](CommSettingsInput* i) { i->stopBitsIndex = -1; },
         SettingsField::StopBits, 22},
        {"no flow", [](CommSettingsInput* i) { i->flowIndex = -1; }, SettingsField::FlowControl,
         23},
        {"answer 256", [](CommSettingsInput* i) { i->autoAnswer = "256"; },
         SettingsField::AutoAnswer, 32},
        {"answer -1", [](CommSettingsInput* i) { i->autoAnswer = "-1"; }, SettingsField::AutoAnswer,
         32},
        {"answer abc", [](CommSettingsInput* i) { i->autoAnswer = "abc"; },
         SettingsField::AutoAnswer, 32},
        {"answer empty", [](CommSettingsInput* i) { i->autoAnswer = ""; },
         SettingsField::AutoAnswer, 32},
        {"input 4095", [](CommSettingsInput* i) { i->inBufSize = "4095"; },
         SettingsField::InBufSize, 33},
        {"input 4k", [](CommSettingsInput* i) { i->inBufSize = "4k"; }, SettingsField::InBufSize,
         33},
        {"output 4095", [](CommSettingsInput* i) { i->outBufSize = "4095"; },
         SettingsField::OutBufSize, 34},
        {"first failure wins",
         [](CommSettingsInput* i) {
             i->parityIndex = -1;
             i->outBufSize = "";
         },
         SettingsField::Parity, 21},
    };
    for (const auto& c : cases) {
        CommSettingsInput input = ValidInput();
        c.spoil(&input);
        CommDeviceSettings settings;
        const SettingsCheck check = CheckSettingsInput(input, &settings);
        EXPECT_EQ(check.field, c.field) << c.name;
        EXPECT_EQ(check.message, c.message) << c.name;
    }
}

TEST(SettingsRulesTest, AcceptedInputBecomesSettings) {
    const struct {
        const char* baud;
        long rate;
    } rates[] = {{"250000", 250000}, {" 57600 ", 57600}, {"abc", 0}, {"9600x", 9600}};
    for (const auto& r : rates) {
        CommSettingsInput input = ValidInput();
        input.baud = r.baud;
        input.autoAnswer = " 255 ";
        input.inBufSize = "4096";
        input.outBufSize = "1000000";
        input.byteSizeIndex = 2;
        input.parityIndex = 4;
        input.stopBitsIndex = 1;
        input.flowIndex = 2;
        CommDeviceSettings settings;
        ASSERT_EQ(CheckSettingsInput(input, &settings).field, SettingsField::None) << r.baud;
        EXPECT_EQ(settings.baud, r.rate) << r.baud;
        EXPECT_EQ(settings.portName, "COM70");
        EXPECT_EQ(settings.byteSize, 7);
        EXPECT_EQ(settings.parity, ptSpaceParity);
        EXPECT_EQ(settings.stopBits, sbOne_5_StopBits);
        EXPECT_EQ(settings.flowControl, fcXonXoff);
        EXPECT_EQ(settings.autoAnswer, 255);
        EXPECT_EQ(settings.inBufSize, 4096);
        EXPECT_EQ(settings.outBufSize, 1000000);
    }
}

// A device on COM70, a pseudo-terminal named in the device map, and a second port COM71.
class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        EXPECT_TRUE(ini.WriteString("Ports", "COM70", pty.SlavePath()));
        EXPECT_TRUE(ini.WriteString("Ports", "COM71", other.SlavePath()));
        device.SetDeviceMap(&ini);
        device.SetPortName("COM70");
        device.SetBaud(br9600);
    }

    std::unique_ptr<TForm_NxCommDevice_Settings> Open(bool reopen = false) {
        auto dialog =
            std::make_unique<TForm_NxCommDevice_Settings>(nullptr, reopen, &device, prompt);
        dialog->show();
        return dialog;
    }

    static void Enter(QWidget* widget) {
        widget->setFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
    }

    LocaleScope locale{"C"};
    PtyPair pty;
    PtyPair other;
    QTemporaryDir dir;
    IniFile ini{dir.filePath("VYK-10.ini")};
    ScriptedPrompt prompt;
    TNxCommDevice device;
};

TEST_F(SettingsDialogTest, OpensWithTheDeviceSettings) {
    device.SetParity(ptEvenParity);
    device.SetFlowControl(fcTranXonXoff);
    device.SetAutoAnswer(3);
    device.SetOutBufSize(10000);
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), "COM port Setup");
    EXPECT_EQ(dialog->size(), QSize(393, 228));
    EXPECT_TRUE(dialog->CbPort->findText("COM70") >= 0);
    EXPECT_EQ(dialog->CbPort->currentText(), "COM70");
    EXPECT_EQ(dialog->CbSelBaud->currentText(), "9600");
    EXPECT_EQ(dialog->CbParity->currentIndex(), 2);
    EXPECT_EQ(dialog->CbByteSize->currentText(), "8");
    EXPECT_EQ(dialog->CbStopBits->currentText(), "1");
    EXPECT_EQ(dialog->CbFlow->currentIndex(), 2);
    EXPECT_EQ(dialog->EditAutoAns->text(), "3");
    EXPECT_EQ(dialog->EditInBufSize->text(), "8192");
    EXPECT_EQ(dialog->EditOutBufSize->text(), "10000");
    EXPECT_FALSE(dialog->BnAbout->isVisible());
    EXPECT_FALSE(dialog->BnDefault->isVisible());
    EXPECT_EQ(dialog->BnOK->x(), (393 - dialog->BnOK->width()) / 2 - 60);
    EXPECT_EQ(dialog->BnCancel->x(), (393 - dialog->BnCancel->width()) / 2 + 60);
    EXPECT_TRUE(dialog->BnOK->isDefault());

    device.SetPortName("COM3");
    EXPECT_EQ(Open()->CbPort->currentIndex(), -1);
}

TEST_F(SettingsDialogTest, EnterMovesAlongTheChainAndAppliesAtTheEnd) {
    auto dialog = Open();
    Enter(dialog->CbPort);
    EXPECT_EQ(dialog->focusWidget(), dialog->CbSelBaud);
    dialog->CbSelBaud->setEditText("250000");
    Enter(dialog->EditAutoAns);
    EXPECT_EQ(dialog->focusWidget(), dialog->EditInBufSize);
    EXPECT_EQ(device.Comm()->fGetBaud(), 9600);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);

    Enter(dialog->EditOutBufSize);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(device.Comm()->fGetBaud(), 250000);
    EXPECT_EQ(device.Baud(), br115200);
    EXPECT_FALSE(device.fGetActive());
}

TEST_F(SettingsDialogTest, InputErrorsNameTheirEntryAndFocusTheControl) {
    auto dialog = Open();
    const struct {
        QLineEdit* edit;
        const char* text;
        const char* message;
    } cases[] = {
        {dialog->EditAutoAns, "256", "Auto Answer: 0 - 255"},
        {dialog->EditAutoAns, "-1", "Auto Answer: 0 - 255"},
        {dialog->EditAutoAns, "abc", "Auto Answer: 0 - 255"},
        {dialog->EditInBufSize, "4095", "Input Buffer size error"},
        {dialog->EditOutBufSize, "4095", "Output Buffer size error"},
    };
    for (const auto& c : cases) {
        const QString kept = c.edit->text();
        c.edit->setText(c.text);
        prompt.messages.clear();
        dialog->BnOK->click();
        ASSERT_EQ(prompt.messages.size(), 1u) << c.text;
        EXPECT_EQ(prompt.messages[0].text, c.message);
        EXPECT_EQ(prompt.messages[0].caption, "COM port Setup");
        EXPECT_EQ(prompt.messages[0].icon, Prompt::Icon::Error);
        EXPECT_EQ(dialog->focusWidget(), c.edit) << c.text;
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        c.edit->setText(kept);
    }
    dialog->EditAutoAns->setText("255");
    dialog->EditInBufSize->setText("4096");
    prompt.messages.clear();
    dialog->BnOK->click();
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(device.AutoAnswer(), 255);
    EXPECT_EQ(device.InBufSize(), 4096);
}

TEST_F(SettingsDialogTest, NoPortOrNoBaudIsRefused) {
    auto dialog = Open();
    dialog->CbPort->setCurrentIndex(-1);
    dialog->BnOK->click();
    dialog->CbPort->setCurrentIndex(0);
    dialog->CbSelBaud->setEditText("");
    dialog->BnOK->click();
    EXPECT_EQ(prompt.MessageTexts(),
              QStringList({"Must select COM Port", "Must select baud rate"}));
    EXPECT_EQ(dialog->focusWidget(), dialog->CbSelBaud);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(SettingsDialogTest, ReopenOpensAClosedPort) {
    auto dialog = Open(true);
    dialog->BnOK->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(device.fGetActive());
    EXPECT_EQ(device.PortName(), "COM70");
}

TEST_F(SettingsDialogTest, APortThatCannotBeOpenedBringsTheOldSettingsBack) {
    device.fSetActive(true);
    SerialDevice holder;
    ASSERT_TRUE(holder.Open(other.SlavePath()));
    auto dialog = Open();
    dialog->CbPort->setCurrentIndex(dialog->CbPort->findText("COM71"));
    dialog->CbSelBaud->setEditText("57600");
    dialog->EditInBufSize->setText("5000");
    dialog->BnOK->click();
    EXPECT_EQ(prompt.MessageTexts(),
              QStringList({"Serial port: \"COM71\" - Cannot open COM port"}));
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(dialog->focusWidget(), dialog->CbPort);
    EXPECT_EQ(device.PortName(), "COM70");
    EXPECT_EQ(device.Comm()->fGetBaud(), 9600);
    EXPECT_EQ(device.InBufSize(), 8192);
    EXPECT_TRUE(device.fGetActive());
    // The port that came back works.
    ASSERT_TRUE(pty.Send("ok"));
    QByteArray got;
    EXPECT_TRUE(WaitFor([&] {
        char buffer[8];
        got.append(buffer, device.Read(buffer, sizeof buffer));
        return got == "ok";
    }));
}

TEST_F(SettingsDialogTest, CancelChangesNothing) {
    auto dialog = Open();
    dialog->CbSelBaud->setEditText("1200");
    dialog->BnCancel->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(device.Comm()->fGetBaud(), 9600);
}

TEST_F(SettingsDialogTest, DefaultsFillTheControlsOnly) {
    auto dialog = Open();
    dialog->EditAutoAns->setText("9");
    dialog->BnDefaultClick();
    EXPECT_EQ(dialog->CbSelBaud->currentText(), "115200");
    EXPECT_EQ(dialog->EditAutoAns->text(), "0");
    EXPECT_EQ(dialog->CbPort->currentText(), "COM70");
    EXPECT_EQ(device.Comm()->fGetBaud(), 9600);
}

TEST(SettingsDialogLocaleTest, ParityListUnderSimplifiedChinese) {
    LocaleScope locale("zh_CN.UTF-8");
    ScriptedPrompt prompt;
    TNxCommDevice device;
    TForm_NxCommDevice_Settings dialog(nullptr, false, &device, prompt);
    QStringList items;
    for (int i = 0; i < dialog.CbParity->count(); ++i) items << dialog.CbParity->itemText(i);
    EXPECT_EQ(items,
              QStringList({QString::fromUtf8("No parity (无)"), QString::fromUtf8("Odd (奇)"),
                           QString::fromUtf8("Even (偶)"), QString::fromUtf8("Mark (标记)"),
                           QString::fromUtf8("Space (空格)")}));
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("串行口设置"));
    EXPECT_EQ(dialog.BnOK->text(), QString::fromUtf8("确定"));
}

}  // namespace
