// vyk-upgrade as a production script runs it: the real program against the simulator's boot
// loader on a pseudo-terminal.

#include "UpgradeCli.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
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

    // Starts vyk-upgrade with its configuration folder in the test's folder; stderr goes to the
    // terminal errTerminal when one is given.
    void Start(QProcess& process, const QString& program, const QStringList& args,
               const QString& errTerminal = QString()) {
        if (!errTerminal.isEmpty())
            process.setStandardErrorFile(errTerminal);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path());
        process.setProcessEnvironment(env);
        process.start(program, args);
    }
    static Result Finish(QProcess& process) {
        Result result;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        result.out = out.split('\n', Qt::SkipEmptyParts);
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }
    Result Run(const QStringList& args, const QString& errTerminal = QString()) {
        QProcess process;
        Start(process, QStringLiteral(VYK_UPGRADE_PATH), args, errTerminal);
        return Finish(process);
    }
    // The simulator's boot loader on the link "scanner", writing what it programs to Written().
    std::unique_ptr<SimProcess> Scanner(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--boot", Written().toStdString(), "--baud", "115200",
                                         "--link", Link().toStdString()};
        args.insert(args.end(), extra.begin(), extra.end());
        auto sim = std::make_unique<SimProcess>(args);
        EXPECT_FALSE(sim->Path().empty());
        return sim;
    }
    QString Link() const { return Path(QStringLiteral("scanner")); }
    QString Written() const { return Path(QStringLiteral("programmed.bin")); }

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
    for (const char* part :
         {"usage: vyk-upgrade", "--baud", "--timeout", "--retries", "--expect-crc", "--expect-size",
          "--json", "\"event\":\"done\"", "[Ports]", "dialout", "Exit status",
          "switch the scanner off and on", "  6  "}) {
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
        {QStringLiteral("--retries"), QStringLiteral("-1"), QStringLiteral("COM3"), file},
        {QStringLiteral("--expect-crc"), QStringLiteral("0x"), QStringLiteral("COM3"), file},
        {QStringLiteral("--expect-crc"), QStringLiteral("4294967296"), QStringLiteral("COM3"),
         file},
        {QStringLiteral("--expect-crc"), QStringLiteral("12ab"), QStringLiteral("COM3"), file},
        {QStringLiteral("--expect-size"), QStringLiteral("-5"), QStringLiteral("COM3"), file},
        {QStringLiteral("COM3"), file, QStringLiteral("--expect-size")},
    };
    for (const QStringList& args : cases) {
        const Result result = Run(args);
        EXPECT_EQ(result.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(result.err.startsWith(QStringLiteral("usage: vyk-upgrade")));
        EXPECT_TRUE(result.out.isEmpty());
    }
}

// The file is loaded before the port is touched: a boot loader asking on the line hears nothing.
// (An empty file was flashed as size 0.)
TEST_F(VykUpgrade, AFileThatDoesNotLoadSendsNothing) {
    const QString link = Path(QStringLiteral("scanner"));
    const QString log = Path(QStringLiteral("line.log"));
    const QByteArray image = Firmware(100);
    const QString good = WriteFile(QStringLiteral("fw.bin"), image);
    const uint32_t crc = scanner::FirmwareCrc(reinterpret_cast<const uint8_t*>(image.data()), 100);
    const struct {
        QString file;
        QString message;
        QStringList options;
    } cases[] = {
        {Path(QStringLiteral("missing.bin")), QStringLiteral("文件不存在!"), {}},
        {WriteFile(QStringLiteral("big.bin"), Firmware(65537)), QStringLiteral("文件太大!"), {}},
        {QStringLiteral("ab"), QStringLiteral("请先选择文件!"), {}},
        {WriteFile(QStringLiteral("empty.bin"), {}), QStringLiteral("文件为空!"), {}},
        {good,
         QStringLiteral("CRC %1 differs from the expected %2").arg(crc).arg(crc + 1),
         {QStringLiteral("--expect-crc"), QString::number(crc + 1)}},
        {good,
         QStringLiteral("size 100 differs from the expected 101"),
         {QStringLiteral("--expect-size"), QStringLiteral("101"), QStringLiteral("--expect-crc"),
          QStringLiteral("0x%1").arg(crc, 0, 16)}},
    };
    {
        SimProcess sim({"--boot", Std(Path(QStringLiteral("programmed.bin"))), "--baud", "115200",
                        "--link", Std(link), "--log", Std(log)});
        ASSERT_FALSE(sim.Path().empty());
        for (const auto& c : cases) {
            const Result result = Run(c.options + QStringList{QStringLiteral("--timeout"),
                                                              QStringLiteral("2"), link, c.file});
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

// A port that vanished mid-transfer went unnoticed: the stalled transfer counted as running, so
// the timeout never came, and a cut transfer could even print "传输文件完成".
TEST_F(VykUpgrade, ALostOrStalledLineEndsWithSixAndSaysWhere) {
    const QByteArray image = Firmware(65536);
    const QString file = WriteFile(QStringLiteral("vyk10.bin"), image);
    const struct {
        const char* name;
        std::string fault;
        bool json;
        QString list;  // the last list line; with json the done event's reason
        QString why;
        qint64 withinMs;
    } cases[] = {
        {"line closed", "--hangup-after-image", false, QStringLiteral("串口断开，传输中断("),
         QStringLiteral("the port was lost at byte "), 5000},
        {"line closed, json", "--hangup-after-image", true, QStringLiteral("lost"),
         QStringLiteral("the port was lost at byte "), 5000},
        {"boot loader stops reading", "--deaf-after-image", false,
         QStringLiteral("串口无响应，传输中断("), QStringLiteral("the line stalled"), 15000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto scanner = Scanner({c.fault, "2000"});
        QElapsedTimer clock;
        clock.start();
        const Result result = Run((c.json ? QStringList(QStringLiteral("--json")) : QStringList()) +
                                  QStringList{Link(), file});
        EXPECT_EQ(result.exitCode, 6) << result.err.toStdString();
        EXPECT_LT(clock.elapsed(), c.withinMs);
        ASSERT_FALSE(result.out.isEmpty());
        if (c.json) {
            const QJsonObject done = QJsonDocument::fromJson(result.out.back().toUtf8()).object();
            EXPECT_EQ(done.value("event").toString(), QStringLiteral("done"));
            EXPECT_EQ(done.value("result").toString(), QStringLiteral("lost"));
            EXPECT_EQ(done.value("reason").toString(), c.list);
            EXPECT_GE(done.value("sent").toInt(), 2000);
            EXPECT_EQ(done.value("total").toInt(), 65536);
        } else {
            EXPECT_TRUE(result.out.back().startsWith(c.list)) << result.out.back().toStdString();
            EXPECT_FALSE(result.out.contains(kTransferred));
        }
        EXPECT_TRUE(result.err.contains(c.why)) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(QStringLiteral(" of 65536")));
        EXPECT_TRUE(result.err.contains(QStringLiteral("flash it again")));
        EXPECT_FALSE(QFile::exists(Written()));
    }
}

// "vyk-upgrade ... | head -n 4" died of SIGPIPE with the last block unsent.
TEST_F(VykUpgrade, AReaderThatGoesAwayDoesNotCutTheFlashShort) {
    const QByteArray image = Firmware(16384);
    const QString file = WriteFile(QStringLiteral("vyk10.bin"), image);
    const auto scanner = Scanner();
    QProcess shell;
    Start(shell, QStringLiteral("/bin/bash"),
          {QStringLiteral("-c"), QStringLiteral("\"$@\" | head -n 1; exit \"${PIPESTATUS[0]}\""),
           QStringLiteral("bash"), QStringLiteral(VYK_UPGRADE_PATH), Link(), file});
    const Result result = Finish(shell);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringList(CrcLine(image)));
    EXPECT_EQ(ReadFile(Written()), image);
}

// The pseudo-terminal in raw mode, as a serial line: no echo, no line editing.
void MakeRaw(const QString& path) {
    const int fd = open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    close(fd);
}

// The boot loader's request, repeated until it is answered as the boot loader repeats it; the
// answer.
QByteArray Request(const PtyPair& pty) {
    for (int i = 0; i < 20; ++i) {
        pty.Send("#BOOTIN\r\n");
        const QByteArray reply = pty.Receive(scanner::kFileInfoReplySize, 500);
        if (!reply.isEmpty())
            return reply;
    }
    return {};
}

// Each request reloads the file, but the CRC line named only the image loaded at the start.
TEST_F(VykUpgrade, EachNewImageGetsItsCrcLine) {
    PtyPair pty;
    MakeRaw(pty.SlavePath());
    const QByteArray first = Firmware(100);
    const QByteArray second = Firmware(200);
    const QString file = WriteFile(QStringLiteral("fw.bin"), first);
    QProcess upgrade;
    Start(upgrade, QStringLiteral(VYK_UPGRADE_PATH),
          {QStringLiteral("--timeout"), QStringLiteral("1"), pty.SlavePath(), file});
    EXPECT_EQ(Request(pty).size(), 14);
    EXPECT_EQ(Request(pty).size(), 14);
    WriteFile(QStringLiteral("fw.bin"), second);
    const QByteArray reply = Request(pty);
    ASSERT_EQ(reply.size(), 14);
    EXPECT_EQ(uint8_t(reply[6]), 200);
    const Result result = Finish(upgrade);
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_EQ(result.out, QStringList({CrcLine(first), kRequest, kAnswered, kRequest, kAnswered,
                                       CrcLine(second), kRequest, kAnswered}));

    // With the expected CRC given, the replaced file is refused instead: nothing describes it.
    WriteFile(QStringLiteral("fw.bin"), first);
    const uint32_t crc = scanner::FirmwareCrc(reinterpret_cast<const uint8_t*>(first.data()), 100);
    QProcess checked;
    Start(checked, QStringLiteral(VYK_UPGRADE_PATH),
          {QStringLiteral("--expect-crc"), QString::number(crc), pty.SlavePath(), file});
    EXPECT_EQ(Request(pty).size(), 14);
    WriteFile(QStringLiteral("fw.bin"), second);
    pty.Send("#BOOTIN\r\n");
    const Result refused = Finish(checked);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("differs from the expected")))
        << refused.err.toStdString();
    EXPECT_TRUE(pty.Receive(1, 300).isEmpty());
}

// A request that waited in the driver was answered besides the fresh one, and the boot loader
// took the second answer for the start of the image.
TEST_F(VykUpgrade, ARequestFromBeforeTheOpenIsNotAnswered) {
    PtyPair pty;
    MakeRaw(pty.SlavePath());
    const QString file = WriteFile(QStringLiteral("fw.bin"), Firmware(10));
    ASSERT_TRUE(pty.Send("#BOOTIN\r\n"));
    const Result result =
        Run({QStringLiteral("--timeout"), QStringLiteral("1"), pty.SlavePath(), file});
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_EQ(result.out, QStringList(CrcLine(Firmware(10))));
    EXPECT_TRUE(pty.Receive(1, 200).isEmpty());
}

TEST_F(VykUpgrade, RetriesAnswerTheBootLoaderAgainAfterACheckError) {
    const QByteArray image = Firmware(8192);
    const QString file = WriteFile(QStringLiteral("vyk10.bin"), image);
    // This seed damages the first round's image and leaves the second whole.
    const auto scanner = Scanner({"--corrupt", "0.0001", "--seed", "5"});
    const Result result = Run({QStringLiteral("--retries"), QStringLiteral("1"), Link(), file});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out.count(kCheckError), 1);
    EXPECT_EQ(result.out.count(kTransferred), 2);
    ASSERT_FALSE(result.out.isEmpty());
    EXPECT_EQ(result.out.back(), kDone);
    EXPECT_EQ(ReadFile(Written()), image);
}

TEST_F(VykUpgrade, JsonLinesTellEachEventToATestStation) {
    const QByteArray image = Firmware(65536);
    const uint32_t crc = scanner::FirmwareCrc(reinterpret_cast<const uint8_t*>(image.data()),
                                              static_cast<uint32_t>(image.size()));
    const QString file = WriteFile(QStringLiteral("vyk10.bin"), image);
    const auto scanner = Scanner();
    QElapsedTimer clock;
    clock.start();
    const Result result =
        Run({QStringLiteral("--json"), QStringLiteral("--expect-crc"),
             QStringLiteral("0x%1").arg(crc, 0, 16), QStringLiteral("--expect-size"),
             QStringLiteral("65536"), Link(), file});
    const qint64 elapsedMs = clock.elapsed();
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    QStringList names;
    std::vector<QJsonObject> progress;
    for (const QString& line : result.out) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        ASSERT_TRUE(document.isObject()) << line.toStdString();
        const QJsonObject event = document.object();
        if (event.value("event").toString() == QStringLiteral("progress"))
            progress.push_back(event);
        else
            names << event.value("event").toString();
    }
    EXPECT_EQ(names, QStringList({"image", "request", "start", "programming", "done"}));
    const QJsonObject first = QJsonDocument::fromJson(result.out.front().toUtf8()).object();
    EXPECT_EQ(first.value("size").toInt(), 65536);
    EXPECT_EQ(first.value("crc").toInteger(), crc);
    const QJsonObject done = QJsonDocument::fromJson(result.out.back().toUtf8()).object();
    EXPECT_EQ(done.value("result").toString(), QStringLiteral("ok"));
    EXPECT_EQ(done.value("crc").toInteger(), crc);
    ASSERT_GE(progress.size(), 2u);
    EXPECT_LE(qint64(progress.size()), elapsedMs / 100 + 1) << "at most ten a second";
    for (size_t i = 0; i < progress.size(); ++i) {
        EXPECT_EQ(progress[i].value("total").toInt(), 65536);
        if (i > 0) {
            EXPECT_GT(progress[i].value("sent").toInt(), progress[i - 1].value("sent").toInt());
        }
    }
    EXPECT_EQ(ReadFile(Written()), image);
}

}  // namespace
