// vyk-upgrade as a production script runs it: the real program against the simulator's boot
// loader on a pseudo-terminal.

#include "UpgradeCli.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "BootProtocol.h"
#include "BootTexts.h"
#include "PtyPair.h"
#include "SimProcess.h"

namespace {

struct Result {
    int exitCode = -1;
    QStringList out;  // lines
    QString err;
};

QByteArray Firmware(int size) {
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i) image[i] = static_cast<char>(i * 31 + i / 256);
    return image;
}

class VykUpgrade : public testing::Test {
protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }

    QString WriteFile(const QString& name, const QByteArray& bytes) {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    static QByteArray ReadFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Runs vyk-upgrade with its configuration folder in the test's folder; stderr goes to the
    // terminal errTerminal when one is given.
    Result Run(const QStringList& args, const QString& errTerminal = QString()) {
        QProcess process;
        if (!errTerminal.isEmpty())
            process.setStandardErrorFile(errTerminal);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VYK_UPGRADE_PATH), args);
        Result result;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitCode();
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        result.out = out.split('\n', Qt::SkipEmptyParts);
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    static std::string Std(const QString& text) { return text.toStdString(); }

    QTemporaryDir dir_;
};

using namespace boottexts;

QString CrcLine(const QByteArray& image) {
    const uint32_t crc = scanner::FirmwareCrc(reinterpret_cast<const uint8_t*>(image.data()),
                                              static_cast<uint32_t>(image.size()));
    return QStringLiteral("CRC32 :%1    ").arg(crc);
}

TEST_F(VykUpgrade, HelpDescribesTheProgram) {
    const Result result = Run({QStringLiteral("--help")});
    EXPECT_EQ(result.exitCode, 0);
    const QString text = result.out.join('\n');
    for (const char* part : {"usage: vyk-upgrade", "--baud", "--timeout", "[Ports]", "dialout",
                             "Exit status", "switch the scanner off and on"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part;
    }
    EXPECT_TRUE(result.err.isEmpty());
}

TEST_F(VykUpgrade, BadOptionsGiveTheUsage) {
    const QString file = WriteFile(QStringLiteral("fw.bin"), Firmware(10));
    const std::vector<QStringList> cases = {
        {},
        {QStringLiteral("COM3")},
        {QStringLiteral("COM3"), file, QStringLiteral("extra")},
        {QStringLiteral("--baud"), QStringLiteral("fast"), QStringLiteral("COM3"), file},
        {QStringLiteral("--baud"), QStringLiteral("0"), QStringLiteral("COM3"), file},
        {QStringLiteral("--timeout"), QStringLiteral("-1"), QStringLiteral("COM3"), file},
        {QStringLiteral("COM3"), file, QStringLiteral("--timeout")},
        {QStringLiteral("--verbose"), QStringLiteral("COM3"), file},
    };
    for (const QStringList& args : cases) {
        const Result result = Run(args);
        EXPECT_EQ(result.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(result.err.startsWith(QStringLiteral("usage: vyk-upgrade")));
        EXPECT_TRUE(result.out.isEmpty());
    }
}

// The file is loaded before the port is touched: a boot loader asking on the line hears nothing.
TEST_F(VykUpgrade, AFileThatDoesNotLoadSendsNothing) {
    const QString link = Path(QStringLiteral("scanner"));
    const QString log = Path(QStringLiteral("line.log"));
    const struct {
        QString file;
        QString message;
    } cases[] = {
        {Path(QStringLiteral("missing.bin")), QStringLiteral("文件不存在!")},
        {WriteFile(QStringLiteral("big.bin"), Firmware(65537)), QStringLiteral("文件太大!")},
        {QStringLiteral("ab"), QStringLiteral("请先选择文件!")},
    };
    {
        SimProcess sim({"--boot", Std(Path(QStringLiteral("programmed.bin"))), "--baud", "115200",
                        "--link", Std(link), "--log", Std(log)});
        ASSERT_FALSE(sim.Path().empty());
        for (const auto& c : cases) {
            const Result result =
                Run({QStringLiteral("--timeout"), QStringLiteral("2"), link, c.file});
            EXPECT_EQ(result.exitCode, 1) << c.file.toStdString();
            EXPECT_TRUE(result.err.contains(c.message)) << result.err.toStdString();
            EXPECT_TRUE(result.out.isEmpty());
        }
    }
    const QString said = QString::fromUtf8(ReadFile(log));
    EXPECT_TRUE(said.contains(QStringLiteral(" > #BOOTIN"))) << "the boot loader asked";
    EXPECT_FALSE(said.contains(QStringLiteral(" < "))) << said.toStdString();
}

TEST_F(VykUpgrade, APortThatCannotBeOpenedSaysWhy) {
    const QString file = WriteFile(QStringLiteral("fw.bin"), Firmware(10));
    const struct {
        QString port;
        QString why;
    } cases[] = {
        {Path(QStringLiteral("no-such-tty")), QStringLiteral("no such serial device")},
        {QStringLiteral("COM99"), QStringLiteral("no device is mapped")},
    };
    for (const auto& c : cases) {
        const Result result = Run({c.port, file});
        EXPECT_EQ(result.exitCode, 4) << c.port.toStdString();
        EXPECT_TRUE(result.err.contains(c.why)) << result.err.toStdString();
        EXPECT_EQ(result.out, QStringList(CrcLine(Firmware(10))));
    }
}

TEST_F(VykUpgrade, GivesUpWhenTheBootLoaderStaysSilent) {
    PtyPair pty;
    const QString file = WriteFile(QStringLiteral("fw.bin"), Firmware(10));
    QElapsedTimer clock;
    clock.start();
    const Result result =
        Run({QStringLiteral("--timeout"), QStringLiteral("1"), pty.SlavePath(), file});
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_TRUE(result.err.contains(QStringLiteral("1 s"))) << result.err.toStdString();
}

// A COM name mapped in [Ports] of vyk-upgrade.ini, at the boot loader's 115200 baud.
TEST_F(VykUpgrade, UpgradesTheSimulatorByteForByte) {
    const QString link = Path(QStringLiteral("scanner"));
    const QString written = Path(QStringLiteral("programmed.bin"));
    const QByteArray image = Firmware(65536);
    const QString file = WriteFile(QStringLiteral("vyk10.bin"), image);
    WriteFile(QStringLiteral("vyk-upgrade.ini"),
              QStringLiteral("[Ports]\nCOM70=%1\n").arg(link).toUtf8());
    SimProcess sim(
        {"--boot", written.toStdString(), "--baud", "115200", "--link", link.toStdString()});
    ASSERT_FALSE(sim.Path().empty());
    PtyPair terminal;

    const Result result = Run({QStringLiteral("COM70"), file}, terminal.SlavePath());
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringList({CrcLine(image), kRequest, kAnswered, kStart, kTransferred,
                                       kProgramming, kDone}));
    EXPECT_EQ(ReadFile(written), image);
    // On a terminal the transfer shows its progress.
    const QByteArray bar = terminal.Receive(1 << 20, 200);
    EXPECT_TRUE(bar.contains("] 50%")) << bar.toStdString();
}

// A damaged transfer ends with the check error; after the scanner is switched off and on, the
// same command succeeds.
TEST_F(VykUpgrade, ACheckErrorEndsWithThreeAndASecondAttemptSucceeds) {
    const QString link = Path(QStringLiteral("scanner"));
    const QString written = Path(QStringLiteral("programmed.bin"));
    const QByteArray image = Firmware(65536);
    const QString file = WriteFile(QStringLiteral("vyk10.bin"), image);
    {
        SimProcess noisy({"--boot", written.toStdString(), "--baud", "115200", "--link",
                          link.toStdString(), "--corrupt", "0.001"});
        ASSERT_FALSE(noisy.Path().empty());
        const Result result = Run({link, file});
        EXPECT_EQ(result.exitCode, 3) << result.err.toStdString();
        ASSERT_FALSE(result.out.isEmpty());
        EXPECT_EQ(result.out.back(), kCheckError);
        EXPECT_TRUE(result.out.contains(kTransferred));
        EXPECT_FALSE(QFile::exists(written));
    }
    SimProcess clean(
        {"--boot", written.toStdString(), "--baud", "115200", "--link", link.toStdString()});
    ASSERT_FALSE(clean.Path().empty());
    const Result result = Run({link, file});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out.back(), kDone);
    EXPECT_EQ(ReadFile(written), image);
}

}  // namespace
