#include "Setportdlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ScriptedPrompt.h"
#include "SystemMenu.h"
#include "WidgetTestMain.h"

using namespace setport;

namespace {

TEST(PortName, OnlyComOneToNinetyNine) {
    const struct {
        const char* text;
        int port;
    } cases[] = {
        {"com7", 7},  {"COM07", 7}, {"COM1", 1},  {"cOm12", 12}, {"COM99", 99}, {"COM100", 0},
        {"COM0", 0},  {"COM00", 0}, {"COMX", 0},  {"COM", 0},    {"", 0},       {"CON7", 0},
        {"COM 7", 0}, {"COM7 ", 0}, {"COM-1", 0}, {"COM1X", 0},  {"7", 0},      {"COM٣", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParsePortName(QString::fromUtf8(c.text)), c.port) << c.text;
    }
}

TEST(Baud, OnlyTheAcceptedList) {
    const struct {
        const char* text;
        int rate;
    } cases[] = {
        {"43000", 43000},
        {"43200", 0},
        {"1382400", 1382400},
        {"230400", 230400},
        {"115201", 0},
        {"abc", 0},
        {"", 0},
        {"-1200", 0},
        {"1200", 1200},
        {"921600x", 0},
        {"0", 0},
        {"460800", 460800},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseBaud(QString::fromUtf8(c.text)), c.rate) << c.text;
    for (int rate : kAcceptedBauds) EXPECT_TRUE(IsAcceptedBaud(rate)) << rate;
    EXPECT_EQ(std::size(kAcceptedBauds), 18u);
}

TEST(PortChoice, ChecksBaudFirstAndStaysInvalidAfterARefusal) {
    const struct {
        const char* port;
        const char* baud;
        const char* message;  // nullptr: accepted
        int portNumber;
        int baudRate;
    } cases[] = {
        {"com7", "230400", nullptr, 7, 230400},    {"COM100", "43200", kBaudError, 0, 230400},
        {"COM100", "43000", kPortError, 0, 43000}, {"COMX", "1382400", kPortError, 0, 1382400},
        {"COM07", "921600", nullptr, 7, 921600},
    };
    for (const auto& c : cases) {
        PortChoice choice(Program::Console);
        ScriptedPrompt prompt;
        const bool accepted = choice.Confirm(c.port, c.baud, prompt);
        EXPECT_EQ(accepted, c.message == nullptr) << c.port << " " << c.baud;
        EXPECT_EQ(choice.InputValid, accepted);
        EXPECT_EQ(choice.PortNumber, c.portNumber);
        EXPECT_EQ(choice.BaudRate, c.baudRate);
        if (c.message) {
            EXPECT_EQ(prompt.MessageTexts(), QStringList{QString::fromUtf8(c.message)});
        } else {
            EXPECT_TRUE(prompt.messages.empty());
        }
    }
}

TEST(PortList, ProbesGiveTheListAndTheResult) {
    const QStringList defaults = DefaultPorts();
    const struct {
        Program program;
        std::vector<ProbedPort> ports;
        QStringList names;
        ListResult result;
        QStringList held = {};
    } cases[] = {
        {Program::Console, {}, defaults, ListResult::NoPort},
        {Program::Console, {{"COM1", ComDeviceState::Missing}}, defaults, ListResult::NoPort},
        {Program::Console,
         {{"COM1", ComDeviceState::NoPermission}, {"COM33", ComDeviceState::NoPermission}},
         defaults,
         ListResult::NoAccess},
        {Program::Console,
         {{"COM1", ComDeviceState::NoPermission},
          {"COM33", ComDeviceState::Available},
          {"COM34", ComDeviceState::Busy}},
         {"COM33", "COM34"},
         ListResult::Found,
         {"COM34"}},
        {Program::ZoneTool, {}, defaults, ListResult::NoPort},
        {Program::ZoneTool, {{"COM1", ComDeviceState::NoPermission}}, {"COM1"}, ListResult::Found},
        {Program::ZoneTool,
         {{"COM2", ComDeviceState::Busy},
          {"COM3", ComDeviceState::Missing},
          {"COM49", ComDeviceState::Available}},
         {"COM2", "COM49"},
         ListResult::Found,
         {"COM2"}},
    };
    for (const auto& c : cases) {
        const PortList list = BuildPortList(c.program, c.ports);
        EXPECT_EQ(list.names, c.names);
        EXPECT_EQ(list.result, c.result);
        EXPECT_EQ(list.held, c.held);
    }
    EXPECT_EQ(defaults.front(), "COM1");
    EXPECT_EQ(defaults.back(), "COM9");
    EXPECT_EQ(defaults.size(), 9);
}

class Dialog : public ::testing::Test {
protected:
    std::unique_ptr<TSetPortForm> Make(Program program, std::vector<ProbedPort> ports = {}) {
        PortSource source{[this] { return ports_; },
                          [](int port) { return QStringLiteral("/dev/test%1").arg(port); }};
        ports_ = std::move(ports);
        return std::make_unique<TSetPortForm>(program, source, prompt, nullptr);
    }

    static void Press(QWidget* widget, int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
    }

    ScriptedPrompt prompt;
    std::vector<ProbedPort> ports_;
};

TEST_F(Dialog, RefusedConfirmationKeepsItOpenAndEveryWayOutCancels) {
    enum class Leave { CancelButton, Escape, CloseBox };
    for (Leave leave : {Leave::CancelButton, Leave::Escape, Leave::CloseBox}) {
        prompt.messages.clear();
        auto dialog = Make(Program::Console, {{"COM3", ComDeviceState::Available}});
        dialog->show();
        dialog->ComboBoxComList->setEditText("COM100");
        dialog->Button1->click();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_FALSE(dialog->InputValid());
        EXPECT_EQ(prompt.MessageTexts(), QStringList{QString::fromUtf8(kPortError)});
        switch (leave) {
            case Leave::CancelButton:
                dialog->Button2->click();
                break;
            case Leave::Escape:
                Press(dialog.get(), Qt::Key_Escape);
                break;
            case Leave::CloseBox:
                dialog->close();
                break;
        }
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
    }
}

TEST_F(Dialog, ReturnInABoxConfirmsWithoutAddingTheTypedText) {
    auto dialog = Make(Program::ZoneTool, {{"COM3", ComDeviceState::Available}});
    dialog->show();
    const struct {
        QComboBox* box;
        const char* typed;
        const char* message;
    } cases[] = {
        {dialog->ComboBoxComList, "COM100", kPortError},
        {dialog->ComboBox2, "43200", kBaudError},
    };
    for (const auto& c : cases) {
        prompt.messages.clear();
        const int items = c.box->count();
        c.box->setEditText(c.typed);
        Press(c.box->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(prompt.MessageTexts(), QStringList{QString::fromUtf8(c.message)}) << c.typed;
        EXPECT_EQ(c.box->count(), items) << c.typed;
        EXPECT_EQ(c.box->findText(c.typed), -1) << c.typed;
        c.box->setCurrentIndex(0);
    }
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(Dialog, ConsoleShowsTheBaudBoxOnlyThroughItsSystemMenu) {
    auto dialog = Make(Program::Console, {{"COM3", ComDeviceState::Available}});
    EXPECT_EQ(dialog->BaudRate(), 230400);
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(kCaption));
    dialog->SetBaudVisible(false);
    // A hand-edited INI rate that is not accepted refuses every confirmation.
    dialog->SetBaudRate(115201);
    dialog->SetPortNumber(7);
    dialog->show();
    EXPECT_EQ(dialog->ComboBoxComList->currentText(), "COM7");
    EXPECT_EQ(dialog->lblDevicePath->text(), "/dev/test7");
    EXPECT_FALSE(dialog->ComboBox2->isVisible());
    dialog->Button1->click();
    dialog->Button1->click();
    EXPECT_EQ(prompt.MessageTexts(),
              QStringList({QString::fromUtf8(kBaudError), QString::fromUtf8(kBaudError)}));
    EXPECT_TRUE(dialog->isVisible());

    QAction* item = dialog->systemMenu->Item(kShowBaudCommand);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "显示波特率(&S)");
    item->trigger();
    EXPECT_TRUE(dialog->ComboBox2->isVisible());
    EXPECT_TRUE(dialog->Label1->isVisible());
    EXPECT_TRUE(dialog->ComboBox2->isEnabled());
    dialog->ComboBox2->setEditText("1382400");
    dialog->Button1->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->PortNumber(), 7);
    EXPECT_EQ(dialog->BaudRate(), 1382400);
}

TEST_F(Dialog, ZoneToolOffersItsRatesAndEnablesTheBoxFromItsMenu) {
    auto dialog = Make(Program::ZoneTool, {{"COM2", ComDeviceState::Busy}});
    EXPECT_EQ(dialog->BaudRate(), 115200);
    QStringList rates;
    for (int i = 0; i < dialog->ComboBox2->count(); ++i) rates << dialog->ComboBox2->itemText(i);
    EXPECT_EQ(rates, QStringList({"115200", "230400", "460800", "921600"}));
    EXPECT_EQ(dialog->ComboBoxComList->currentText(), "COM2" + QString::fromUtf8(kHeldMark));
    dialog->SetBaudEnabled(false);
    dialog->show();
    EXPECT_TRUE(dialog->ComboBox2->isVisible());
    EXPECT_FALSE(dialog->ComboBox2->isEnabled());
    EXPECT_EQ(dialog->systemMenu->Item(kShowBaudCommand)->text(), "修改波特率(&S)");
    dialog->systemMenu->Item(kShowBaudCommand)->trigger();
    EXPECT_TRUE(dialog->ComboBox2->isEnabled());
}

// A port held by another program was listed as if it were free.
TEST_F(Dialog, HeldPortsAreMarkedAndStillChosenByTheirName) {
    auto dialog = Make(Program::Console,
                       {{"COM33", ComDeviceState::Busy}, {"COM34", ComDeviceState::Available}});
    QStringList items;
    for (int i = 0; i < dialog->ComboBoxComList->count(); ++i)
        items << dialog->ComboBoxComList->itemText(i);
    EXPECT_EQ(items, QStringList({"COM33" + QString::fromUtf8(kHeldMark), "COM34"}));
    dialog->show();
    EXPECT_EQ(dialog->lblDevicePath->text(), "/dev/test33");
    dialog->Button1->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->PortNumber(), 33);
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(Dialog, EnteringThePortBoxRefreshesTheListAndExplainsAnEmptyOne) {
    const struct {
        Program program;
        std::vector<ProbedPort> ports;
        const char* message;  // nullptr: none
        const char* first;
    } cases[] = {
        {Program::Console, {}, kNoPortMessage, "COM1"},
        {Program::Console, {{"COM5", ComDeviceState::NoPermission}}, kNoAccessMessage, "COM1"},
        {Program::ZoneTool, {{"COM5", ComDeviceState::NoPermission}}, nullptr, "COM5"},
        {Program::Console, {{"COM40", ComDeviceState::Available}}, nullptr, "COM40"},
    };
    for (const auto& c : cases) {
        prompt.messages.clear();
        auto dialog = Make(c.program);
        EXPECT_TRUE(prompt.messages.empty()) << "creation fills the list silently";
        ports_ = c.ports;
        // Focus returning from a message box is not an entry.
        QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(dialog->ComboBoxComList, &back);
        EXPECT_TRUE(prompt.messages.empty());
        QFocusEvent enter(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(dialog->ComboBoxComList, &enter);
        if (c.message) {
            EXPECT_EQ(prompt.MessageTexts(), QStringList{QString::fromUtf8(c.message)});
            EXPECT_EQ(dialog->ComboBoxComList->count(), 9);
        } else {
            EXPECT_TRUE(prompt.messages.empty());
        }
        EXPECT_EQ(dialog->ComboBoxComList->currentText(), c.first);
    }
}

}  // namespace
