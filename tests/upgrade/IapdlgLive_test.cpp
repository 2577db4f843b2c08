// The upgrade window with its real comm device against the simulator's boot loader.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

#include "BootProtocol.h"
#include "BootTexts.h"
#include "Iapdlg.h"
#include "IniFile.h"
#include "NxIapPort.h"
#include "ScriptedPrompt.h"
#include "SimProcess.h"
#include "WidgetTestMain.h"

namespace {

using namespace boottexts;

QByteArray Firmware(int size) {
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i) image[i] = static_cast<char>(i * 29 + i / 300);
    return image;
}

class LiveUpgrade : public testing::Test {
protected:
    void SetUp() override {
        QFile file(dir_.filePath(QStringLiteral("vyk10.bin")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(image_);
        EXPECT_TRUE(ini_.WriteString(QStringLiteral("Ports"), QStringLiteral("COM70"), link_));
        EXPECT_TRUE(ini_.WriteInteger(QStringLiteral("IAP"), QStringLiteral("COM"), 70));
        EXPECT_TRUE(
            ini_.WriteString(QStringLiteral("IAP"), QStringLiteral("filename"), file.fileName()));
    }

    std::unique_ptr<SimProcess> Scanner(bool noisy, std::vector<std::string> fault = {}) {
        std::vector<std::string> args = {"--boot", written_.toStdString(), "--baud", "115200",
                                         "--link", link_.toStdString()};
        if (noisy)
            args.insert(args.end(), {"--corrupt", "0.001"});
        args.insert(args.end(), fault.begin(), fault.end());
        return std::make_unique<SimProcess>(args);
    }
    std::unique_ptr<TfrmIAP> Window() {
        auto window =
            std::make_unique<TfrmIAP>(std::make_unique<NxIapPort>(&ini_, &prompt_), ini_, prompt_);
        window->show();
        return window;
    }
    // Runs the window until done holds; false when it does not within 30 s.
    template <typename Done>
    static bool RunUntil(Done done) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 30000) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            if (done())
                return true;
        }
        return false;
    }
    // Runs the window until its list shows text (or a line that starts with it).
    static bool RunUntil(TfrmIAP& window, const QString& text,
                         Qt::MatchFlags match = Qt::MatchExactly) {
        return RunUntil([&] { return !window.ListBox1->findItems(text, match).isEmpty(); });
    }
    static QStringList Messages(const TfrmIAP& window) {
        QStringList texts;
        for (int i = 0; i < window.ListBox1->count(); ++i) {
            const QString text = window.ListBox1->item(i)->text();
            if (!text.startsWith('#'))  // the boot loader's own lines
                texts << text;
        }
        return texts;
    }
    QByteArray Written() const {
        QFile file(written_);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
    QString link_ = dir_.filePath(QStringLiteral("scanner"));
    QString written_ = dir_.filePath(QStringLiteral("programmed.bin"));
    IniFile ini_{dir_.filePath(QStringLiteral("VYK-10.ini"))};
    ScriptedPrompt prompt_;
    QByteArray image_ = Firmware(65536);
};

// As the window's instructions say: the port is opened, then the scanner switched on. (A port
// opened a second late finds the boot loader's first request stale, answers it and the next one,
// and the boot loader takes the second answer as the start of the image.)
TEST_F(LiveUpgrade, ImageGoesThroughByteForByte) {
    const auto window = Window();
    const auto scanner = Scanner(false);
    ASSERT_FALSE(scanner->Path().empty());
    window->btnComport->click();
    ASSERT_EQ(window->panels[0]->text(), QStringLiteral("串口:70, 115200"));
    ASSERT_TRUE(RunUntil(*window, kDone)) << Messages(*window).join('|').toStdString();
    EXPECT_EQ(Messages(*window),
              QStringList({kRequest, kAnswered, kStart, kTransferred, kProgramming, kDone}));
    EXPECT_EQ(Written(), image_);
    EXPECT_FALSE(window->Port().Active());
    EXPECT_EQ(window->btnComport->text(), QStringLiteral("打开串口"));
    const uint32_t crc = scanner::FirmwareCrc(reinterpret_cast<const uint8_t*>(image_.data()),
                                              static_cast<uint32_t>(image_.size()));
    EXPECT_EQ(window->lblCrc->text(), QStringLiteral("CRC32 :%1    ").arg(crc));
}

// A damaged transfer ends with the check error; after the scanner is switched off and on and
// the port opened again, the upgrade goes through.
TEST_F(LiveUpgrade, CheckErrorThenASecondAttemptSucceeds) {
    const auto window = Window();
    {
        const auto noisy = Scanner(true);
        ASSERT_FALSE(noisy->Path().empty());
        window->btnComport->click();
        ASSERT_TRUE(RunUntil(*window, kCheckError)) << Messages(*window).join('|').toStdString();
        EXPECT_TRUE(window->Port().Active()) << "the port stays open after a check error";
        EXPECT_FALSE(QFile::exists(written_));
    }
    // The boot loader asks again right after the check error, so the window may be sending
    // the next attempt when the scanner goes off; idle or cut, it closes the lost port.
    ASSERT_TRUE(RunUntil([&] { return !window->Port().Active(); }))
        << Messages(*window).join('|').toStdString();
    const auto clean = Scanner(false);
    ASSERT_FALSE(clean->Path().empty());
    window->btnComport->click();
    ASSERT_TRUE(window->Port().Active());
    ASSERT_TRUE(RunUntil(*window, kDone)) << Messages(*window).join('|').toStdString();
    EXPECT_EQ(Written(), image_);
}

// The window sat at 43450/65536 with "关闭串口" still shown after the line went away.
TEST_F(LiveUpgrade, ALostLineIsShownAtOnceWithAClosedPort) {
    const auto window = Window();
    const auto scanner = Scanner(false, {"--hangup-after-image", "2000"});
    ASSERT_FALSE(scanner->Path().empty());
    window->btnComport->click();
    ASSERT_TRUE(RunUntil(*window, kStart)) << Messages(*window).join('|').toStdString();
    QElapsedTimer clock;
    clock.start();
    const QString interrupted = QStringLiteral("串口断开，传输中断(");
    ASSERT_TRUE(RunUntil(*window, interrupted, Qt::MatchStartsWith))
        << Messages(*window).join('|').toStdString();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(Messages(*window).contains(kTransferred));
    EXPECT_FALSE(window->Port().Active());
    EXPECT_EQ(window->btnComport->text(), QStringLiteral("打开串口"));
    EXPECT_TRUE(window->btnComport->isEnabled());
    EXPECT_EQ(window->panels[0]->text(), QStringLiteral("串口关闭:70, 115200"));
    EXPECT_EQ(window->pbMain->maximum(), 65536);
    EXPECT_GE(window->pbMain->value(), 2000);
    EXPECT_LT(window->pbMain->value(), 65536);
    EXPECT_TRUE(Messages(*window).back().startsWith(interrupted));
}

}  // namespace
