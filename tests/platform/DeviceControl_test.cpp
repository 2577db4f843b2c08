#include "DeviceControl.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

constexpr tcflag_t kFrame = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

TEST(DeviceControlTest, FrameSettingsBecomeTermiosFlags) {
    const struct {
        uint8_t size, parity, stop;
        tcflag_t frame;
    } cases[] = {
        {8, NOPARITY, ONESTOPBIT, CS8},
        {7, EVENPARITY, ONESTOPBIT, CS7 | PARENB},
        {7, ODDPARITY, TWOSTOPBITS, CS7 | PARENB | PARODD | CSTOPB},
        {8, MARKPARITY, ONESTOPBIT, CS8 | PARENB | CMSPAR | PARODD},
        {6, SPACEPARITY, ONESTOPBIT, CS6 | PARENB | CMSPAR},
        {5, NOPARITY, ONE5STOPBITS, CS5 | CSTOPB},
    };
    for (const auto& c : cases) {
        DeviceControl dcb;
        dcb.ByteSize = c.size;
        dcb.Parity = c.parity;
        dcb.StopBits = c.stop;
        LineSettings settings;
        settings.tio.c_cflag = CS8 | CSTOPB | PARENB;
        ASSERT_TRUE(DeviceControlToLineSettings(dcb, &settings));
        EXPECT_EQ(settings.tio.c_cflag & kFrame, c.frame) << int(c.size) << int(c.parity);
        DeviceControl back;
        LineSettingsToDeviceControl(settings, &back);
        EXPECT_EQ(back.ByteSize, c.size);
        EXPECT_EQ(back.Parity, c.parity);
        EXPECT_EQ(back.StopBits, c.stop);
    }
}

TEST(DeviceControlTest, FlowControlAndRateRoundTrip) {
    DeviceControl dcb;
    dcb.BaudRate = 250000;
    dcb.fOutxCtsFlow = true;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.fOutX = dcb.fInX = true;
    dcb.fParity = true;
    dcb.EvtChar = 'q';
    LineSettings settings;
    ASSERT_TRUE(DeviceControlToLineSettings(dcb, &settings));
    EXPECT_TRUE(settings.tio.c_cflag & CRTSCTS);
    EXPECT_EQ(settings.tio.c_iflag & (IXON | IXOFF | INPCK), tcflag_t(IXON | IXOFF | INPCK));
    EXPECT_EQ(settings.tio.c_cc[VSTART], 0x11);
    EXPECT_EQ(settings.tio.c_cc[VSTOP], 0x13);
    EXPECT_EQ(settings.baud, 250000);
    EXPECT_EQ(settings.eventChar, 'q');
    EXPECT_TRUE(settings.rtsEnabled);
    DeviceControl back;
    LineSettingsToDeviceControl(settings, &back);
    EXPECT_EQ(back.BaudRate, 250000u);
    EXPECT_TRUE(back.fOutxCtsFlow && back.fOutX && back.fInX && back.fParity);
    EXPECT_EQ(back.fRtsControl, RTS_CONTROL_HANDSHAKE);

    dcb = {};
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    ASSERT_TRUE(DeviceControlToLineSettings(dcb, &settings));
    EXPECT_FALSE(settings.tio.c_cflag & CRTSCTS);
    EXPECT_FALSE(settings.tio.c_iflag & (IXON | IXOFF));
    EXPECT_FALSE(settings.rtsEnabled);
}

TEST(DeviceControlTest, ImpossibleValuesAreRefusedAndChangeNothing) {
    const struct {
        const char* name;
        void (*spoil)(DeviceControl*);
    } cases[] = {
        {"byte size 4", [](DeviceControl* d) { d->ByteSize = 4; }},
        {"byte size 9", [](DeviceControl* d) { d->ByteSize = 9; }},
        {"parity 5", [](DeviceControl* d) { d->Parity = 5; }},
        {"stop bits 3", [](DeviceControl* d) { d->StopBits = 3; }},
        {"rate 0", [](DeviceControl* d) { d->BaudRate = 0; }},
        {"rate above int", [](DeviceControl* d) { d->BaudRate = 0x80000000u; }},
    };
    for (const auto& c : cases) {
        DeviceControl dcb;
        c.spoil(&dcb);
        LineSettings settings;
        settings.tio.c_cflag = CS7;
        settings.baud = 1200;
        errno = 0;
        EXPECT_FALSE(DeviceControlToLineSettings(dcb, &settings)) << c.name;
        EXPECT_EQ(errno, EINVAL) << c.name;
        EXPECT_EQ(settings.tio.c_cflag, tcflag_t(CS7)) << c.name;
        EXPECT_EQ(settings.baud, 1200) << c.name;
    }
}

}  // namespace
