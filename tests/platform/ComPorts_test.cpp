#include "ComPorts.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

#include "IniFile.h"
#include "PtyPair.h"
#include "SerialDevice.h"
#include "TextCodec.h"

namespace {

TEST(ComPortsTest, NumbersMapOntoLinuxDevices) {
    const struct {
        int number;
        const char* path;
    } cases[] = {
        {1, "/dev/ttyS0"},
        {32, "/dev/ttyS31"},
        {33, "/dev/ttyUSB0"},
        {48, "/dev/ttyUSB15"},
        {49, "/dev/ttyACM0"},
        {64, "/dev/ttyACM15"},
        {65, ""},
        {99, ""},
        {0, ""},
        {100, ""},
        {-1, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ComDevicePath(c.number, nullptr), c.path) << c.number;
}

TEST(ComPortsTest, PortsSectionOfTheIniOverridesTheTable) {
    QTemporaryDir dir;
    IniFile ini(dir.filePath("VYK-05.ini"));
    EXPECT_TRUE(ini.WriteString("ports", "com3", " /dev/serial/by-id/usb-scanner "));
    EXPECT_TRUE(ini.WriteString("Ports", "COM70", "/dev/rfcomm0"));
    EXPECT_TRUE(ini.WriteString("Ports", "COM120", "/dev/ttyUSB9"));
    EXPECT_EQ(ComDevicePath(3, &ini), "/dev/serial/by-id/usb-scanner");
    EXPECT_EQ(ComDevicePath(70, &ini), "/dev/rfcomm0");
    EXPECT_EQ(ComDevicePath(4, &ini), "/dev/ttyS3");
    EXPECT_EQ(ComDevicePath(120, &ini), "");
}

TEST(ComPortsTest, NamesParse) {
    const struct {
        const char* name;
        int number;
    } cases[] = {{"COM5", 5}, {"com12", 12}, {"COM99", 99}, {"COM0", 0},  {"COM100", 0},
                 {"COM", 0},  {"COMx", 0},   {"COM-1", 0},  {"COM 5", 0}, {"LPT1", 0}};
    for (const auto& c : cases) EXPECT_EQ(ComNumber(c.name), c.number) << c.name;
}

class ComPortsPtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(pty.SlavePath().isEmpty());
        EXPECT_TRUE(ini.WriteString("Ports", "COM80", pty.SlavePath()));
        EXPECT_TRUE(ini.WriteString("Ports", "COM81", dir.filePath("gone")));
        EXPECT_TRUE(ini.WriteString("Ports", "COM75", pty.SlavePath()));
    }

    PtyPair pty;
    QTemporaryDir dir;
    IniFile ini{dir.filePath("VYK-10.ini")};
};

TEST_F(ComPortsPtyTest, PresentNamesComeInComOrderAndSkipMissingDevices) {
    const QStringList names = PresentComNames(&ini);
    const qsizetype at75 = names.indexOf("COM75");
    const qsizetype at80 = names.indexOf("COM80");
    ASSERT_GE(at75, 0);
    EXPECT_EQ(at80, at75 + 1);
    EXPECT_FALSE(names.contains("COM81"));
    for (qsizetype i = 1; i < names.size(); ++i) {
        EXPECT_LT(ComNumber(names[i - 1]), ComNumber(names[i]));
    }
}

TEST_F(ComPortsPtyTest, ProbeTellsMissingAvailableAndBusy) {
    EXPECT_EQ(ProbeComDevice(dir.filePath("gone")), ComDeviceState::Missing);
    EXPECT_EQ(ProbeComDevice(pty.SlavePath()), ComDeviceState::Available);
    SerialDevice holder;
    ASSERT_TRUE(holder.Open(pty.SlavePath()));
    EXPECT_EQ(ProbeComDevice(pty.SlavePath()), ComDeviceState::Busy);
    holder.Close();
    EXPECT_EQ(ProbeComDevice(pty.SlavePath()), ComDeviceState::Available);
}

// Another program that locks the device (as terminal programs do with flock) holds it; one that
// merely reads it cannot be seen.
TEST_F(ComPortsPtyTest, ProbeSeesAnotherProgramsLockButNotAPlainReader) {
    const QByteArray slave = QFile::encodeName(pty.SlavePath());
    const int reader = open(slave.constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(ProbeComDevice(pty.SlavePath()), ComDeviceState::Available);
    ASSERT_EQ(flock(reader, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(ProbeComDevice(pty.SlavePath()), ComDeviceState::Busy);
    SerialDevice device;
    EXPECT_FALSE(device.Open(pty.SlavePath()));
    EXPECT_EQ(errno, EBUSY);
    close(reader);
}

// A hand-written INI: a GBK caption from the Windows programs and a UTF-8 path with Chinese.
TEST_F(ComPortsPtyTest, AChinesePathInAHandWrittenIniOpens) {
    const QString link = dir.filePath(QString::fromUtf8("扫描仪.tty"));
    ASSERT_TRUE(QFile::link(pty.SlavePath(), link));
    for (const QByteArray& caption :
         {QByteArray("caption=VYK"), ToGbk(QString::fromUtf8("caption=激光雷达"))}) {
        QFile file(ini.Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Main]\r\n" + caption + "\r\n[Ports]\r\nCOM80=" + QFile::encodeName(link) +
                   "\r\n");
        file.close();
        EXPECT_EQ(ComDevicePath(80, &ini), link);
        SerialDevice device;
        EXPECT_TRUE(device.Open(ComDevicePath(80, &ini))) << caption.toHex().toStdString();
    }
}

TEST_F(ComPortsPtyTest, ProbeTellsNoPermissionToAnOrdinaryUser) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to become another user";
    ASSERT_EQ(chmod(pty.SlavePath().toLocal8Bit().constData(), 0600), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool dropped = setgid(65534) == 0 && setuid(65534) == 0;
        _exit(dropped && ProbeComDevice(pty.SlavePath()) == ComDeviceState::NoPermission ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
