#include "IniFile.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>

#include "SmallTmpfs.h"
#include "SystemError.h"
#include "TextCodec.h"

namespace {
std::atomic<int> classTestsOutsideTheTable{0};
}

// The character classes are defined for unsigned char values and EOF only; glibc reads any
// other argument from outside its table. Calls from the code under test come here first.
extern "C" int isxdigit(int c) noexcept {
    if (c != EOF && (c < 0 || c > UCHAR_MAX))
        ++classTestsOutsideTheTable;
    using Real = int (*)(int);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "isxdigit"));
    return real(c);
}

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class IniFileTest : public ::testing::Test {
protected:
    QString Write(const QByteArray& bytes) {
        WriteFile(path, bytes);
        return path;
    }
    QByteArray Contents() const { return ReadFile(path); }

    QTemporaryDir dir;
    QString path = dir.filePath("VYK-10.ini");
};

TEST_F(IniFileTest, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
    IniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("Port", "Baud", 115200), 115200);
    EXPECT_EQ(ini.ReadString("Port", "Name", "COM1"), "COM1");
    EXPECT_TRUE(ini.ReadBool("Port", "Auto", true));
    EXPECT_FALSE(QFile::exists(path));

    EXPECT_TRUE(ini.WriteInteger("Port", "Baud", 921600));
    EXPECT_EQ(Contents(), "[Port]\nBaud=921600\n");
    EXPECT_EQ(IniFile(path).ReadInteger("port", "BAUD", 0), 921600);
}

TEST_F(IniFileTest, SectionsAndKeysIgnoreCaseAndValuesAreTrimmedAndUnquoted) {
    Write(
        "; settings\r\n[Setting]\r\n  Mode =  3  \r\nname= \"a b \" \r\nq='x'\r\nEmpty=\r\n"
        "[Other]\r\nMode=9\r\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("SETTING", "mode", -1), 3);
    EXPECT_EQ(ini.ReadInteger("other", "MODE", -1), 9);
    EXPECT_EQ(ini.ReadString("setting", "Name", ""), "a b ");
    EXPECT_EQ(ini.ReadString("setting", "q", ""), "x");
    // Present but empty is not missing.
    EXPECT_EQ(ini.ReadString("setting", "empty", "dflt"), "");
    EXPECT_EQ(ini.ReadString("setting", "absent", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("absent", "mode", "dflt"), "dflt");
}

TEST_F(IniFileTest, LookupFollowsTheProfileRules) {
    Write(
        "[A]\n;k=commented\nk=first\nk=second\nurl=a=b==c\nnote=x ; not a comment\n"
        "one=\"\nbare=\"\"\nmixed='x\"\nflag\n[B]\nb=1\n[a]\nk=third\nlate=9\n");
    const struct {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"A", "k", "first"},                 // of duplicate keys the first counts
        {"A", ";k", "commented"},            // a comment line is a key nobody asks for
        {"A", "url", "a=b==c"},              // the value is all after the first '='
        {"A", "note", "x ; not a comment"},  // ';' comments only whole lines
        {"A", "one", "\""},                  // a lone quote is kept
        {"A", "bare", ""},                   // a pair of quotes is an empty value
        {"A", "mixed", "'x\""},              // quotes must match to be removed
        {"A", "flag", "dflt"},               // a line without '=' is no key
        {"a", "late", "dflt"},               // only the first of duplicate sections is searched
        {" A ", "  k\t", "first"},           // names are trimmed
        {"B", "b", "1"},
    };
    const IniFile ini(path);
    for (const auto& c : cases) {
        EXPECT_EQ(ini.ReadString(c.section, c.key, "dflt"), c.expected) << c.section << c.key;
    }
    EXPECT_EQ(ini.ReadString("A", "absent", "dflt  "), "dflt");
    EXPECT_EQ(ini.ReadString("A", "absent", " d "), " d");
}

TEST_F(IniFileTest, WritesReplaceTheFirstOfDuplicatesAndTrimNames) {
    Write("[A]\nk=1\nK=2\n[A]\nk=3\n");
    IniFile ini(path);
    EXPECT_TRUE(ini.WriteString(" a ", " K ", "9"));
    EXPECT_TRUE(ini.WriteString("  New ", " key ", "v"));
    EXPECT_EQ(Contents(), "[A]\nk=9\nK=2\n[A]\nk=3\n[New]\nkey=v\n");
}

TEST_F(IniFileTest, IntegersAcceptDelphiSyntaxAndFallBackOnAnythingElse) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"12", 12},
        {" -7 ", -7},
        {"+5", 5},
        {"$1F", 31},
        {"0x1F", 31},
        {"0X1f", 31},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", 77},
        {"$100000000", 77},
        {"12abc", 77},
        {"1.5", 77},
        {"", 77},
        {"abc", 77},
        {"$", 77},
        {"0x", 77},
        {"-", 77},
        {"１２", 77},
        {"$中", 77},
        {"0x1é", 77},
        {"$ｆ", 77},
    };
    IniFile ini(path);
    classTestsOutsideTheTable = 0;
    for (const auto& c : cases) {
        EXPECT_TRUE(ini.WriteString("N", "v", QString::fromUtf8(c.text)));
        EXPECT_EQ(ini.ReadInteger("N", "v", 77), c.expected) << c.text;
    }
    EXPECT_EQ(classTestsOutsideTheTable, 0) << "a character class was asked about a non-byte";
}

TEST_F(IniFileTest, BooleansAreIntegersNotZero) {
    IniFile ini(path);
    EXPECT_TRUE(ini.WriteBool("B", "on", true));
    EXPECT_TRUE(ini.WriteBool("B", "off", false));
    EXPECT_EQ(Contents(), "[B]\non=1\noff=0\n");
    const struct {
        const char* text;
        bool fallback;
        bool expected;
    } cases[] = {{"1", false, true},  {"0", true, false},  {"2", false, true},
                 {"$0", true, false}, {"yes", true, true}, {"yes", false, false}};
    for (const auto& c : cases) {
        EXPECT_TRUE(ini.WriteString("B", "v", c.text));
        EXPECT_EQ(ini.ReadBool("B", "v", c.fallback), c.expected) << c.text;
    }
}

TEST_F(IniFileTest, WritesKeepTheRestOfTheFile) {
    Write("; top comment\r\n[A]\r\nx=1\r\n; inside\r\ny=2\r\n\r\n[B]\r\nz=3\r\n");
    IniFile ini(path);
    EXPECT_TRUE(ini.WriteInteger("a", "Y", 20));
    EXPECT_TRUE(ini.WriteString("A", "new", "n"));
    EXPECT_TRUE(ini.WriteString("C", "w", "c"));
    EXPECT_EQ(Contents(),
              "; top comment\r\n[A]\r\nx=1\r\n; inside\r\ny=20\r\nnew=n\r\n\r\n[B]\r\nz=3\r\n"
              "[C]\r\nw=c\r\n");
}

// The same writes as above in one batch: the file stays as it was until the batch ends, reads
// see the writes at once, and the end leaves the same text as writing key by key.
TEST_F(IniFileTest, BatchWritesTheFileOnceWhenItEnds) {
    const QByteArray before =
        "; top comment\r\n[A]\r\nx=1\r\n; inside\r\ny=2\r\n\r\n[B]\r\nz=3\r\n";
    Write(before);
    IniFile ini(path);
    {
        IniFile::Batch batch(ini);
        EXPECT_TRUE(ini.WriteInteger("a", "Y", 20));
        {
            IniFile::Batch inner(ini);
            EXPECT_TRUE(ini.WriteString("A", "new", "n"));
            EXPECT_TRUE(inner.Commit());
        }
        EXPECT_TRUE(ini.WriteString("C", "w", "c"));
        EXPECT_EQ(ini.ReadInteger("A", "y", 0), 20);
        EXPECT_EQ(ini.ReadString("a", "NEW", ""), "n");
        EXPECT_EQ(ini.ReadString("C", "w", ""), "c");
        EXPECT_EQ(ini.ReadInteger("B", "z", 0), 3);
        // A program that dies here leaves the file whole, as it was.
        EXPECT_EQ(Contents(), before);
        EXPECT_TRUE(batch.Commit());
    }
    EXPECT_EQ(Contents(),
              "; top comment\r\n[A]\r\nx=1\r\n; inside\r\ny=20\r\nnew=n\r\n\r\n[B]\r\nz=3\r\n"
              "[C]\r\nw=c\r\n");
}

// Lines added by the batch move the keys after them; a path read in the batch still finds its
// own value, and keys another writer adds meanwhile are kept at the end.
TEST_F(IniFileTest, BatchReadsPathsAfterAddedLinesAndKeepsOtherWriters) {
    Write("[Ports]\nCOM1=/dev/ttyS0\n[Main]\nVykMax=6000\n");
    IniFile ini(path);
    {
        IniFile::Batch batch(ini);
        EXPECT_TRUE(ini.WriteString("Ports", "COM0", "/dev/ttyUSB0"));
        EXPECT_TRUE(ini.WriteString("New", "k", "v"));
        EXPECT_EQ(ini.ReadPath("Ports", "COM1"), "/dev/ttyS0");
        EXPECT_EQ(ini.ReadPath("Ports", "COM0"), "/dev/ttyUSB0");
        EXPECT_TRUE(IniFile(path).WriteInteger("Main", "BandRate", 921600));
        EXPECT_TRUE(batch.Commit());
    }
    EXPECT_EQ(Contents(),
              "[Ports]\nCOM1=/dev/ttyS0\nCOM0=/dev/ttyUSB0\n[Main]\nVykMax=6000\nBandRate=921600\n"
              "[New]\nk=v\n");
}

// A batch without writes leaves a missing file missing; one left without Commit, as when an
// exception passes, writes nothing.
TEST_F(IniFileTest, BatchWithoutWritesOrWithoutCommitWritesNoFile) {
    IniFile ini(path);
    {
        IniFile::Batch batch(ini);
        EXPECT_TRUE(batch.Commit());
    }
    {
        const IniFile::Batch batch(ini);
        EXPECT_TRUE(ini.WriteString("A", "k", "v"));
    }
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(ini.ReadString("A", "k", "none"), "none");
}

TEST_F(IniFileTest, ReadsUtf8OrElseGbkAndWritesUtf8) {
    const QString text = QString::fromUtf8("[中文]\r\n名称=串口设置\r\n");
    for (const QByteArray& bytes : {text.toUtf8(), ToGbk(text)}) {
        Write(bytes);
        IniFile ini(path);
        EXPECT_EQ(ini.ReadString("中文", "名称", ""), "串口设置") << bytes.toHex().toStdString();
        // A file brought from the Windows programs is written back whole in UTF-8.
        EXPECT_TRUE(ini.WriteString("中文", "x", "新"));
        EXPECT_EQ(Contents(), QString::fromUtf8("[中文]\r\n名称=串口设置\r\nx=新\r\n").toUtf8());
    }
}

TEST_F(IniFileTest, GbkNamesWhoseTrailBytesAreBracketsStillMatch) {
    const QString text = QString::fromUtf8("[乚癩]\n癩=[x]\n[中文]\n名称=串口设置\n");
    ASSERT_EQ(ToGbk(QString::fromUtf8("乚癩")).count(']'), 2);
    Write(ToGbk(text));
    EXPECT_EQ(IniFile(path).ReadString("乚癩", "癩", ""), "[x]");
    EXPECT_EQ(IniFile(path).ReadString("中文", "名称", ""), "串口设置");
}

// A device path is the file system's bytes whatever the rest of the file is written in.
TEST_F(IniFileTest, PathsAreTakenAsTheFileSystemsBytes) {
    const QByteArray device = QString::fromUtf8("/dev/serial/by-id/usb-扫描仪-if00").toUtf8();
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"utf-8 file", "[Ports]\nCOM70=" + device + "\n"},
        {"gbk caption", ToGbk(QString::fromUtf8("[Main]\ncaption=激光雷达\n")) +
                            "[Ports]\nCOM70 = \"" + device + "\"\n"},
    };
    for (const auto& c : cases) {
        Write(c.bytes);
        EXPECT_EQ(IniFile(path).ReadPath("Ports", "com70"), QFile::decodeName(device)) << c.what;
        EXPECT_EQ(IniFile(path).ReadPath("Ports", "COM71"), "") << c.what;
    }
}

// A write on a full disk left a 0-byte VYK-05.ini behind and reported nothing.
TEST(IniFileFullDisk, AFailedWriteKeepsTheOldFileWholeAndSaysWhy) {
    SmallTmpfs disk;
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Refusal();
    const QString path = disk.FilePath("VYK-05.ini");
    // The comment line makes the new text larger than the room left in the second case.
    const QByteArray before = "[Main]\nBandRate=115200\n;" + QByteArray(9000, '-') + "\n";
    const struct {
        const char* what;
        long freeBytes;
    } cases[] = {
        {"no room at all", 0},
        {"room for part of the text", 4096},
    };
    for (const auto& c : cases) {
        WriteFile(path, before);
        disk.Fill(c.freeBytes);
        IniFile ini(path);
        const WriteResult single = ini.WriteInteger("Main", "BandRate", 921600);
        IniFile::Batch batch(ini);
        EXPECT_TRUE(ini.WriteInteger("Main", "viewtype", 161));
        const WriteResult batched = batch.Commit();
        for (const WriteResult& result : {single, batched}) {
            EXPECT_FALSE(result.ok) << c.what;
            EXPECT_EQ(result.reason.toStdString(), SystemErrorText(ENOSPC).toStdString()) << c.what;
        }
        EXPECT_EQ(ReadFile(path), before) << c.what;
        EXPECT_EQ(QDir(disk.Path()).entryList(QDir::Files), QStringList{"VYK-05.ini"})
            << c.what << ": nothing is left beside the file";
        disk.Free();
    }
    EXPECT_TRUE(IniFile(path).WriteInteger("Main", "BandRate", 921600));
    EXPECT_EQ(IniFile(path).ReadInteger("Main", "BandRate", 0), 921600);
}

// A file that is there but cannot be read read as empty, and the write replaced it by its one
// key. Run as another user where the test is root, who reads everything.
TEST(IniFileUnreadable, AWriteNeverReplacesAFileItCouldNotRead) {
    QTemporaryDir dir;
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    const QString path = dir.filePath("VYK-10.ini");
    const QByteArray before = "[Main]\ncaption=line 3\n";
    WriteFile(path, before);
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0222), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0)
            _exit(3);
        const WriteResult result = IniFile(path).WriteInteger("Main", "VykMax", 3000);
        _exit(result.ok ? 1 : result.reason == SystemErrorText(EACCES) ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the write claimed success, 2: another reason";
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0644), 0);
    EXPECT_EQ(ReadFile(path), before);
}

}  // namespace
