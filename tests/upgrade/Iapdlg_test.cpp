#include "Iapdlg.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cerrno>
#include <deque>
#include <stdexcept>

#include "BootTexts.h"
#include "IniFile.h"
#include "PlayedPort.h"
#include "ScriptedPrompt.h"
#include "TextCodec.h"
#include "WidgetTestMain.h"
#include "Xvfb.h"

namespace {

using Bytes = std::vector<uint8_t>;

class UpgradeWindow : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    std::unique_ptr<TfrmIAP> Open() {
        return std::make_unique<TfrmIAP>(std::make_unique<PlayedPort>(line_), ini_, prompt_);
    }
    void WriteIni(const QString& text) {
        QFile file(ini_.Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(ToGbk(text));
    }
    QString File(const QString& name, const QByteArray& bytes) {
        QFile file(dir_.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    static QStringList Items(const QListWidget* list) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
        return items;
    }
    static QStringList MenuTexts(const QMenu* menu) {
        QStringList texts;
        for (const QAction* action : menu->actions()) texts << action->text();
        return texts;
    }
    void Receive(const std::string& package) {
        line_.received.emplace_back(package.begin(), package.end());
    }
    // A shown window with its port open, streaming an image that takes seconds of line.
    std::unique_ptr<TfrmIAP> Transferring() {
        auto window = Open();
        window->edtFileName->setText(File(QStringLiteral("fw.bin"), QByteArray(65536, 'x')));
        window->show();
        window->btnComport->click();
        Receive("#BOOTIN\r\n");
        window->tmr1Timer();
        Receive("#BOOTST\r\n");
        window->tmr1Timer();
        window->tmr1Timer();
        EXPECT_TRUE(window->Conversation().Sending());
        return window;
    }

    QTemporaryDir dir_;
    IniFile ini_{dir_.filePath(QStringLiteral("VYK-10.ini"))};
    ScriptedPrompt prompt_;
    PlayedPort::Line line_;
};

TEST_F(UpgradeWindow, StartsWithItsInstructionsAndAClosedPort) {
    const auto window = Open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("IAP（串口）升级工具  （Halvex）"));
    EXPECT_EQ(window->ListBox1->count(), 11);
    EXPECT_EQ(window->ListBox1->item(0)->text(), QStringLiteral("升级步骤："));
    EXPECT_EQ(window->ListBox1->item(7)->text(), QString());
    EXPECT_EQ(window->ListBox1->item(10)->text(),
              QStringLiteral("      请 检查连接线，并确认机器是否烧录引导程序。"));
    EXPECT_EQ(window->lblCrc->text(), QStringLiteral("CRC32:0000000        "));
    EXPECT_EQ(window->btnComport->text(), QStringLiteral("打开串口"));
    EXPECT_FALSE(window->chkDisPowerData->isEnabled());
    EXPECT_EQ(window->nbMain->tabText(0), QStringLiteral("串口"));
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(window->panels[i]->text(), QStringLiteral("0"));
    EXPECT_FALSE(line_.active);
    EXPECT_EQ(line_.portNo, 1) << "the default COM";
}

TEST_F(UpgradeWindow, PortButtonOpensClosesAndShowsTheRate) {
    const struct {
        long baud;
        bool refuse;
        QString open, closed;
    } cases[] = {
        {115200, false, QStringLiteral("串口:3, 115200"), QStringLiteral("串口关闭:3, 115200")},
        {110, false, QStringLiteral("串口:3, 110"), QStringLiteral("串口关闭:3, 110")},
        {115200, true, QString(), QStringLiteral("串口关闭:3, 115200")},
    };
    WriteIni(QStringLiteral("[IAP]\nCOM=3\n"));
    for (const auto& c : cases) {
        line_.baud = c.baud;
        line_.refuseOpen = c.refuse;
        const auto window = Open();
        window->btnComport->click();
        if (c.refuse) {
            EXPECT_EQ(window->btnComport->text(), QStringLiteral("打开串口"));
            EXPECT_EQ(window->panels[0]->text(), c.closed);
            EXPECT_EQ(window->ListBox1->count(), 11) << "nothing is said";
            continue;
        }
        EXPECT_TRUE(line_.active);
        EXPECT_EQ(window->btnComport->text(), QStringLiteral("关闭串口"));
        EXPECT_EQ(window->panels[0]->text(), c.open);
        EXPECT_EQ(window->ListBox1->count(), 0) << "the list is emptied";
        window->btnComport->click();
        EXPECT_FALSE(line_.active);
        EXPECT_EQ(window->btnComport->text(), QStringLiteral("打开串口"));
        EXPECT_EQ(window->panels[0]->text(), c.closed);
    }
}

TEST_F(UpgradeWindow, SettingsButtonReopensAndShowsTheNewRate) {
    const auto window = Open();
    window->btnSet->click();
    EXPECT_EQ(line_.dialogs, 1);
    EXPECT_TRUE(line_.active);
    EXPECT_EQ(window->panels[0]->text(), QStringLiteral("串口:1, 9600"));
}

TEST_F(UpgradeWindow, FollowsTheBootLoader) {
    const QString file = File(QStringLiteral("fw.bin"), QByteArray("\x01\x02\x03\x04", 4));
    const auto window = Open();
    window->edtFileName->setText(file);
    window->btnComport->click();
    Receive("O");  // a single character: lines never continue into the next package
    Receive("OK\r\nX\r\nYZ");
    Receive("#BOOTIN\r\n");
    window->tmr1Timer();
    EXPECT_EQ(Items(window->ListBox1),
              QStringList({"OK", "XYZ", boottexts::kRequest, boottexts::kAnswered, "#BOOTIN"}));
    EXPECT_EQ(window->lblCrc->text(), QStringLiteral("CRC32 :497805135    "));
    EXPECT_EQ(window->panels[1]->text(), QStringLiteral("19"));
    EXPECT_EQ(window->panels[2]->text(), QStringLiteral("14"));

    Receive("#BOOTST\r\n");
    window->tmr1Timer();
    window->tmr1Timer();
    EXPECT_EQ(line_.written.back(), Bytes({1, 2, 3, 4}));
    EXPECT_EQ(window->pbMain->value(), 0) << "the bar falls back once the image is sent";
    EXPECT_EQ(window->panels[2]->text(), QStringLiteral("18"));

    Receive("#BOOTOK\r\n");
    window->tmr1Timer();
    EXPECT_FALSE(line_.active);
    EXPECT_EQ(window->btnComport->text(), QStringLiteral("打开串口"));
    EXPECT_EQ(window->panels[0]->text(), QStringLiteral("串口关闭"));
    EXPECT_EQ(window->ListBox1->item(window->ListBox1->count() - 2)->text(), boottexts::kDone);

    window->btnClearMsg->click();
    EXPECT_EQ(window->ListBox1->count(), 0);
    EXPECT_EQ(window->panels[1]->text(), QStringLiteral("0"));
    EXPECT_EQ(window->panels[2]->text(), QStringLiteral("0"));
}

// Esc closed the window mid-transfer, and with it the program, leaving a partial image.
TEST_F(UpgradeWindow, NothingInTheWindowCutsATransferShortByAccident) {
    const auto window = Transferring();
    EXPECT_FALSE(window->btnComport->isEnabled());
    EXPECT_FALSE(window->btnSet->isEnabled());
    const QString question = QStringLiteral("正在传输文件，确定要退出吗？");

    prompt_.answers = {Prompt::Answer::No, Prompt::Answer::No};
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &escape);
    EXPECT_FALSE(window->close()) << "the close box";
    ASSERT_EQ(prompt_.messages.size(), 2u);
    for (const auto& shown : prompt_.messages) EXPECT_EQ(shown.text, question);
    EXPECT_TRUE(window->isVisible());

    window->btnComportClick();
    window->btnSetClick();
    EXPECT_EQ(line_.dialogs, 0) << "the settings dialog is refused";
    EXPECT_EQ(window->ListBox1->item(window->ListBox1->count() - 1)->text(),
              QStringLiteral("正在传输文件，请等待传输完成"));
    window->btnSelectFileClick();
    window->tmr1Timer();
    EXPECT_TRUE(line_.active);
    EXPECT_TRUE(window->Conversation().Sending());

    // Confirmed, the window goes; after the transfer it goes without a question.
    prompt_.answers = {Prompt::Answer::Yes};
    QApplication::sendEvent(window.get(), &escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(prompt_.messages.size(), 3u);
    const auto idle = Open();
    idle->show();
    EXPECT_TRUE(idle->close());
    EXPECT_EQ(prompt_.messages.size(), 3u);
}

// The window sat at 43450/65536 with "关闭串口" still shown after its adapter was unplugged.
TEST_F(UpgradeWindow, ALostLineShowsTheInterruptionAndAClosedPort) {
    WriteIni(QStringLiteral("[IAP]\nCOM=3\n"));
    const auto window = Transferring();
    const int stoppedAt = window->pbMain->value();
    ASSERT_GT(stoppedAt, 0);
    line_.taken -= 50;  // the last block still on its way
    line_.failure = EIO;
    window->tmr1Timer();
    EXPECT_FALSE(window->Conversation().Sending());
    EXPECT_FALSE(line_.active);
    EXPECT_EQ(window->ListBox1->item(window->ListBox1->count() - 1)->text(),
              QStringLiteral("串口断开，传输中断(%1/65536)，请重新断电升级").arg(stoppedAt - 50));
    EXPECT_EQ(window->btnComport->text(), QStringLiteral("打开串口"));
    EXPECT_TRUE(window->btnComport->isEnabled());
    EXPECT_TRUE(window->btnSet->isEnabled());
    EXPECT_EQ(window->panels[0]->text(), QStringLiteral("串口关闭:3, 115200"));
    EXPECT_EQ(window->pbMain->maximum(), 65536);
    EXPECT_EQ(window->pbMain->value(), stoppedAt - 50);
}

TEST_F(UpgradeWindow, SettingsComeFromAndGoToTheIniFile) {
    QString text = QStringLiteral(
        "[IAP]\nPageIndex=4\nfilename=/fw/now.bin\nCOM=6\nbAuto=1\n"
        "bDisPowerData=1\n[HisFile]\n");
    for (int i = 0; i < 12; ++i) text += QStringLiteral("%1=/fw/image%1.bin\n").arg(i);
    WriteIni(text);
    {
        const auto window = Open();
        EXPECT_EQ(window->nbMain->currentIndex(), 0) << "a page that does not exist";
        EXPECT_EQ(window->edtFileName->text(), QStringLiteral("/fw/now.bin"));
        EXPECT_EQ(line_.portNo, 6);
        EXPECT_TRUE(window->chkAuto->isChecked());
        EXPECT_TRUE(window->chkDisPowerData->isChecked());
        EXPECT_TRUE(window->chkDisPowerData->isEnabled());
        const QStringList menu = MenuTexts(window->pmHisFile);
        ASSERT_EQ(menu.size(), 12);
        EXPECT_EQ(menu[0], QStringLiteral("&0   /fw/image0.bin"));
        EXPECT_EQ(menu[9], QStringLiteral("&9   /fw/image9.bin"));
        EXPECT_EQ(menu[10], QStringLiteral("&A   /fw/image10.bin"));
        EXPECT_EQ(menu[11], QStringLiteral("&B   /fw/image11.bin"));

        window->chkAuto->click();
        EXPECT_FALSE(window->chkDisPowerData->isEnabled());
        line_.portNo = 8;
        window->pmHisFile->actions()[11]->trigger();
        EXPECT_EQ(window->edtFileName->text(), QStringLiteral("/fw/image11.bin"));
        EXPECT_EQ(MenuTexts(window->pmHisFile)[0], QStringLiteral("&0   /fw/image11.bin"));
    }
    const IniFile& ini = ini_;
    EXPECT_EQ(ini.ReadInteger("IAP", "PageIndex", -1), 0);
    EXPECT_EQ(ini.ReadString("IAP", "filename", ""), QStringLiteral("/fw/image11.bin"));
    EXPECT_EQ(ini.ReadInteger("IAP", "COM", 0), 8);
    EXPECT_FALSE(ini.ReadBool("IAP", "bAuto", true));
    EXPECT_TRUE(ini.ReadBool("IAP", "bDisPowerData", false));
    EXPECT_EQ(ini.ReadString("HisFile", "0", ""), QStringLiteral("/fw/image11.bin"));
    EXPECT_EQ(ini.ReadString("HisFile", "1", ""), QStringLiteral("/fw/image0.bin"));
    EXPECT_EQ(ini.ReadString("HisFile", "12", "x"), QString());
}

TEST_F(UpgradeWindow, ChosenFilesGoIntoTheHistory) {
    const QString first = File(QStringLiteral("a.bin"), "a");
    const QString second = File(QStringLiteral("b.bin"), "b");
    const auto window = Open();
    EXPECT_TRUE(MenuTexts(window->pmHisFile).isEmpty());
    prompt_.fileNames = {first, second, second};
    window->btnSelectFile->click();
    window->btnSelectFile->click();
    EXPECT_EQ(window->edtFileName->text(), second);
    const QList<QAction*> before = window->pmHisFile->actions();
    ASSERT_EQ(before.size(), 2);
    window->btnSelectFile->click();
    EXPECT_EQ(window->pmHisFile->actions(), before) << "the same file twice: menu untouched";
    EXPECT_EQ(window->History().Entries(), QStringList({second, first}));

    window->btnSelectFile->click();  // cancelled
    EXPECT_EQ(window->edtFileName->text(), second);
    EXPECT_EQ(window->History().Entries().size(), 2);
}

// While the outside programming tool runs, switching to another program gives the port up and
// coming back takes it again; without the tool, switching changes nothing.
TEST_F(UpgradeWindow, OutsideToolSharesThePort) {
    const Xvfb server;
    ASSERT_TRUE(server.Running());
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const auto window = Open();
    window->btnComport->click();

    window->aplctnvnts1Deactivate();
    EXPECT_TRUE(line_.active) << "no outside tool";
    MakeWindow(c, root, Atom(c, "_NET_WM_NAME"), Atom(c, "UTF8_STRING"),
               QByteArray(OutsideToolTitle));
    xcb_flush(c);

    window->aplctnvnts1Deactivate();
    EXPECT_FALSE(line_.active);
    EXPECT_EQ(window->btnComport->text(), QStringLiteral("打开串口"));
    EXPECT_EQ(window->panels[0]->text(), QStringLiteral("串口关闭"));
    window->ListBox1->addItem(QStringLiteral("old"));
    window->aplctnvnts1Activate();
    EXPECT_TRUE(line_.active);
    EXPECT_EQ(window->btnComport->text(), QStringLiteral("关闭串口"));
    EXPECT_EQ(window->panels[0]->text(), QStringLiteral("串口:1"));
    EXPECT_EQ(window->ListBox1->count(), 0);

    line_.refuseOpen = true;
    window->aplctnvnts1Deactivate();
    window->ListBox1->addItem(QStringLiteral("kept"));
    window->aplctnvnts1Activate();
    EXPECT_FALSE(line_.active);
    EXPECT_EQ(window->ListBox1->count(), 1);

    // Mid-transfer the port stays with the image.
    line_.refuseOpen = false;
    const auto sending = Transferring();
    sending->aplctnvnts1Deactivate();
    EXPECT_TRUE(line_.active);
    EXPECT_TRUE(sending->Conversation().Sending());
    xcb_disconnect(c);
}

}  // namespace
