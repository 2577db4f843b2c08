// vyk-record as a test rig runs it: the real program against the simulator on a
// pseudo-terminal, its archives read back with minizip and unzip.

#include "RecordCli.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "PtyPair.h"
#include "RecordTestSupport.h"
#include "SimProcess.h"
#include "SpawnedProgram.h"

namespace {

struct Result {
    int code = -1;
    std::string err;
};

class VykRecord : public ::testing::Test {
protected:
    void SetUp() override {
        // The [Ports] keys come from the test's folder.
        oldConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", oldConfig_); }

    QString Path(const QString& name) const { return dir.filePath(name); }
    std::string Std(const QString& name) const { return Path(name).toStdString(); }

    static std::vector<std::string> Argv(const std::vector<std::string>& args) {
        std::vector<std::string> argv{VYK_RECORD_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
    static Result Run(const std::vector<std::string>& args) {
        SpawnedProgram program(Argv(args), true);
        Result result;
        result.err = program.ReadAll(30);
        result.code = program.WaitExit(10);
        return result;
    }
    // Runs vyk-record for about seconds, then sends it signal.
    static Result RunUntil(const std::vector<std::string>& args, double seconds, int signal) {
        SpawnedProgram program(Argv(args), true);
        std::string err = program.ReadAll(seconds);
        kill(program.Pid(), signal);
        Result result;
        result.err = err + program.ReadAll(30);
        result.code = program.WaitExit(10);
        return result;
    }

    static QByteArray Joined(const QString& archive) {
        QByteArray all;
        for (const auto& entry : Entries(archive)) all += entry.second;
        return all;
    }
    static bool UnzipAccepts(const QString& archive) {
        SpawnedProgram unzip({"/usr/bin/unzip", "-tq", archive.toStdString()}, true);
        unzip.ReadAll(30);
        return unzip.WaitExit(30) == 0;
    }

    QTemporaryDir dir;

private:
    QByteArray oldConfig_;
};

TEST_F(VykRecord, OptionsAreParsedAndBadOnesGiveTheUsage) {
    recordcli::Options options;
    ASSERT_TRUE(recordcli::ParseArguments(
        {"--baud", "921600", "--duration", "2.5", "--segment-bytes", "4096", "COM3", "run"},
        options));
    EXPECT_EQ(options.baud, 921600);
    EXPECT_EQ(options.duration, 2.5);
    EXPECT_EQ(options.segmentBytes, 4096);
    EXPECT_EQ(options.port, "COM3");
    EXPECT_EQ(options.name, "run");
    recordcli::Options defaults;
    ASSERT_TRUE(recordcli::ParseArguments({"COM3", "run"}, defaults));
    EXPECT_EQ(defaults.baud, 230400);
    EXPECT_EQ(defaults.duration, 0);
    EXPECT_EQ(defaults.segmentBytes, 33554432);

    const std::vector<std::vector<std::string>> bad = {
        {},
        {"COM3"},
        {"COM3", "run", "extra"},
        {"--baud", "fast", "COM3", "run"},
        {"--baud", "0", "COM3", "run"},
        {"--duration", "0", "COM3", "run"},
        {"--duration", "-1", "COM3", "run"},
        {"--duration", "1s", "COM3", "run"},
        {"--segment-bytes", "0", "COM3", "run"},
        {"--segment-bytes", "4294967296", "COM3", "run"},
        {"COM3", "run", "--duration"},
        {"--verbose", "COM3", "run"},
    };
    for (const auto& args : bad) {
        const Result result = Run(args);
        EXPECT_EQ(result.code, recordcli::kUsageError) << testing::PrintToString(args);
        EXPECT_EQ(result.err.rfind("usage: vyk-record", 0), 0u) << result.err;
    }
    const Result help = Run({"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char* part :
         {"usage: vyk-record", "--segment-bytes", "[Ports]", "SIGTERM", "Exit status"}) {
        EXPECT_NE(help.err.find(part), std::string::npos) << part;
    }
}

TEST_F(VykRecord, AnyFileOfTheFirstPassThatExistsRefusesTheStartAndNothingIsTouched) {
    PtyPair pty;
    for (const char* existing : {"run.Zip", "run.000", "run.099"}) {
        QTemporaryDir folder;
        WriteAll(folder.filePath(existing), "earlier work");
        const Result result =
            Run({pty.SlavePath().toStdString(), folder.filePath("run.bin").toStdString()});
        EXPECT_EQ(result.code, recordcli::kNameExists) << existing;
        EXPECT_NE(result.err.find(folder.filePath(existing).toStdString() + " 已经存在！"),
                  std::string::npos)
            << result.err;
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{existing});
        EXPECT_EQ(ReadAll(folder.filePath(existing)), "earlier work");
    }
}

TEST_F(VykRecord, APortThatCannotBeOpenedOrAMissingFolderSaysWhy) {
    const struct {
        std::string port;
        const char* why;
    } cases[] = {
        {Std("no-such-tty"), "No such file or directory"},
        {"COM99", "COM99 is not a serial port"},
    };
    for (const auto& c : cases) {
        const Result result = Run({c.port, Std("run")});
        EXPECT_EQ(result.code, recordcli::kPortError) << c.port;
        EXPECT_NE(result.err.find(c.why), std::string::npos) << result.err;
        EXPECT_TRUE(QDir(dir.path()).entryList({"run*"}).isEmpty());
    }
    PtyPair pty;
    const Result missing = Run({pty.SlavePath().toStdString(), Std("gone/run")});
    EXPECT_EQ(missing.code, recordcli::kWriteError);
    EXPECT_NE(missing.err.find("cannot record into " + Std("gone")), std::string::npos)
        << missing.err;
}

// A COM name mapped in [Ports] of vyk-record.ini; the recording ends with SIGTERM.
TEST_F(VykRecord, TheArchiveHoldsWhatTheSimulatorSentByteForByte) {
    const QString link = Path("scanner");
    WriteAll(Path("vyk-record.ini"), QStringLiteral("[Ports]\nCOM70=%1\n").arg(link).toUtf8());
    SimProcess sim({"--baud", "921600", "--link", link.toStdString(), "--tee", Std("sent")});
    ASSERT_FALSE(sim.Path().empty());
    const int segmentBytes = 16384;
    const Result result = RunUntil(
        {"--baud", "921600", "--segment-bytes", std::to_string(segmentBytes), "COM70", Std("run")},
        2.5, SIGTERM);
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(QDir(dir.path()).entryList({"run*"}), QStringList{"run.Zip"}) << "all packed";
    const auto entries = Entries(Path("run.Zip"));
    ASSERT_GE(entries.size(), 3u);
    QByteArray recorded;
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].first, QString::asprintf("run.%03d", int(i)).toStdString());
        if (i + 1 < entries.size()) {
            EXPECT_GE(entries[i].second.size(), segmentBytes) << entries[i].first;
        }
        recorded += entries[i].second;
    }
    EXPECT_TRUE(UnzipAccepts(Path("run.Zip")));
    EXPECT_GT(ReadAll(Path("sent")).indexOf(recorded), -1)
        << "the recording is one unbroken piece of the stream";
}

TEST_F(VykRecord, EachStopPacksTheLastSegment) {
    const struct {
        const char* how;
        int signal;  // 0: --duration
    } cases[] = {{"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}, {"--duration", 0}};
    for (const auto& c : cases) {
        QTemporaryDir folder;
        SimProcess sim({"--baud", "921600", "--tee", folder.filePath("sent").toStdString()});
        ASSERT_FALSE(sim.Path().empty());
        std::vector<std::string> args{sim.Path(), folder.filePath("run").toStdString()};
        Result result;
        if (c.signal == 0) {
            args.insert(args.begin(), {"--duration", "1"});
            result = Run(args);
        } else {
            result = RunUntil(args, 1, c.signal);
        }
        EXPECT_EQ(result.code, 0) << c.how << ": " << result.err;
        EXPECT_EQ(QDir(folder.path()).entryList({"run*"}), QStringList{"run.Zip"}) << c.how;
        const QByteArray recorded = Joined(folder.filePath("run.Zip"));
        EXPECT_GT(recorded.size(), 10000) << c.how;
        EXPECT_GT(ReadAll(folder.filePath("sent")).indexOf(recorded), -1) << c.how;
    }
}

TEST_F(VykRecord, OnATerminalOneStatusLineShowsTheProgress) {
    SimProcess sim({"--baud", "921600"});
    ASSERT_FALSE(sim.Path().empty());
    PtyPair terminal;
    QProcess recorder;
    recorder.setStandardErrorFile(terminal.SlavePath());
    recorder.start(QStringLiteral(VYK_RECORD_PATH),
                   {"--duration", "2.5", QString::fromStdString(sim.Path()), Path("run")});
    ASSERT_TRUE(recorder.waitForFinished(30000));
    EXPECT_EQ(recorder.exitCode(), 0);
    const QByteArray line = terminal.Receive(1 << 20, 200);
    for (const char* part : {"bytes", "kB/s", "run.000", "free"})
        EXPECT_TRUE(line.contains(part)) << part << " in " << line.toStdString();
    EXPECT_FALSE(line.contains('\n')) << "redrawn in place";

    QTemporaryDir piped;
    const Result result =
        Run({"--duration", "1.5", sim.Path(), piped.filePath("run").toStdString()});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.err, "") << "nothing on a pipe";
}

// The scanner's adapter unplugged and back: the same link comes back with another simulator.
TEST_F(VykRecord, APortThatGoesAwayIsOpenedAgainAndWhatCameBeforeIsKept) {
    const std::string link = Std("scanner");
    auto first = std::make_unique<SimProcess>(std::vector<std::string>{
        "--baud", "921600", "--link", link, "--tee", Std("first"), "--hangup-after", "1.5"});
    ASSERT_FALSE(first->Path().empty());
    SpawnedProgram recorder(Argv({"--baud", "921600", link, Std("run")}), true);
    EXPECT_EQ(first->WaitExit(10), 0);
    first.reset();
    std::string err;
    SimProcess second({"--baud", "921600", "--link", link, "--tee", Std("second")});
    ASSERT_FALSE(second.Path().empty());
    err += recorder.ReadAll(2.5);
    kill(recorder.Pid(), SIGTERM);
    err += recorder.ReadAll(30);
    EXPECT_EQ(recorder.WaitExit(10), 0) << err;
    EXPECT_NE(err.find(link + " went away"), std::string::npos) << err;
    EXPECT_NE(err.find(link + " is back"), std::string::npos) << err;
    const QByteArray recorded = Joined(Path("run.Zip"));
    ASSERT_GT(recorded.size(), 2000);
    EXPECT_GT(ReadAll(Path("first")).indexOf(recorded.left(1000)), -1) << "the first line's bytes";
    EXPECT_GT(ReadAll(Path("second")).indexOf(recorded.right(1000)), -1) << "the second line's";
}

// A full disk: exit 3, and the archive with the segment it could not pack hold the stream
// from its beginning without a gap.
TEST_F(VykRecord, ADiskThatFillsEndsTheRunAndKeepsTheStreamsBeginning) {
    const QString disk = Path("disk");
    ASSERT_TRUE(QDir(dir.path()).mkdir("disk"));
    if (mount("tmpfs", disk.toUtf8().constData(), "tmpfs", 0, "size=512k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    SimProcess sim({"--fast", "--tee", Std("sent")});
    ASSERT_FALSE(sim.Path().empty());
    const Result result = RunUntil(
        {"--segment-bytes", "65536", sim.Path(), (disk + "/run").toStdString()}, 20, SIGTERM);
    EXPECT_EQ(result.code, recordcli::kWriteError) << result.err;
    EXPECT_NE(result.err.find(std::strerror(ENOSPC)), std::string::npos) << result.err;
    const QString archive = disk + "/run.Zip";
    ASSERT_TRUE(QFile::exists(archive));
    EXPECT_TRUE(UnzipAccepts(archive));
    // Packed or not, the segments in their order hold the stream.
    std::map<QString, QByteArray> segments;
    for (const auto& entry : Entries(archive))
        segments[QString::fromStdString(entry.first)] = entry.second;
    EXPECT_GE(segments.size(), 1u);
    for (const QString& name : QDir(disk).entryList({"run.0??"}, QDir::Files)) {
        EXPECT_EQ(segments.count(name), 0u) << "a packed segment is deleted";
        segments[name] = ReadAll(disk + "/" + name);
    }
    QByteArray kept;
    for (const auto& segment : segments) kept += segment.second;
    umount2(disk.toUtf8().constData(), MNT_DETACH);
    EXPECT_GT(kept.size(), 65536);
    EXPECT_GT(ReadAll(Path("sent")).indexOf(kept), -1) << "no gap in what was kept";
}

}  // namespace
