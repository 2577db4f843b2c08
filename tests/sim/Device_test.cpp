#include "Device.h"

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// A pseudo-terminal stands in for the serial device handed to the simulator.
class GivenDevice : public testing::Test {
protected:
    void SetUp() override {
        char name[256] = {};
        ASSERT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        path_ = name;
    }
    void TearDown() override {
        close(slave_);
        close(master_);
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// Whatever the device was left with, the scanner's line is 8N1 without flow control.
TEST_F(GivenDevice, IsSetTo8N1WithoutFlowControlAtTheRate) {
    termios tio{};
    ASSERT_EQ(tcgetattr(slave_, &tio), 0);
    tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS7 | PARENB | PARODD | CSTOPB | CRTSCTS;
    tio.c_iflag |= IXON | IXOFF | IXANY;
    ASSERT_EQ(tcsetattr(slave_, TCSANOW, &tio), 0);

    TDevice device;
    std::string error;
    ASSERT_TRUE(device.OpenDevice(path_, 115200, error)) << error;
    ASSERT_EQ(tcgetattr(device.Fd(), &tio), 0);
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), 0u);
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B115200));
}

TEST_F(GivenDevice, AnUnknownRateIsRefused) {
    TDevice device;
    std::string error;
    EXPECT_FALSE(device.OpenDevice(path_, 250000, error));
    EXPECT_NE(error.find("250000"), std::string::npos) << error;
}

}  // namespace
