#include "Device.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

// Raw 8N1 without flow control: cfmakeraw alone keeps the device's stop bits, RTS/CTS and
// IXOFF.
bool MakeRaw(int fd, speed_t speed) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_iflag &= ~(IXOFF | IXANY);
    tio.c_cflag &= ~(CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

speed_t SpeedOf(int baud) {
    switch (baud) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 921600:
            return B921600;
        default:
            return B0;
    }
}

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

TDevice::~TDevice() {
    Close();
}

bool TDevice::OpenPty(const std::string& link, std::string& error) {
    char name[256];
    if (openpty(&fd_, &slave_, name, nullptr, nullptr) != 0) {
        error = SystemError("openpty");
        return false;
    }
    path_ = name;
    if (!MakeRaw(slave_, SpeedOf(230400)) ||
        fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK) != 0) {
        error = SystemError("setting up " + path_);
        Close();
        return false;
    }
    if (!link.empty()) {
        struct stat info {};
        // An old link of an earlier run is replaced; anything else at that path is not ours.
        if (lstat(link.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
            unlink(link.c_str());
        if (symlink(path_.c_str(), link.c_str()) != 0) {
            error = SystemError("linking " + link);
            Close();
            return false;
        }
        link_ = link;
    }
    return true;
}

bool TDevice::KnownRate(int baud) {
    return SpeedOf(baud) != B0;
}

bool TDevice::OpenDevice(const std::string& path, int baud, std::string& error) {
    if (!KnownRate(baud)) {
        error = "no serial device rate: " + std::to_string(baud);
        return false;
    }
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) {
        error = SystemError("opening " + path);
        return false;
    }
    path_ = path;
    if (!MakeRaw(fd_, SpeedOf(baud))) {
        error = SystemError("setting up " + path);
        Close();
        return false;
    }
    return true;
}

long TDevice::Read(char* buffer, size_t size) {
    if (fd_ < 0)
        return -1;
    const ssize_t n = read(fd_, buffer, size);
    if (n > 0)
        return n;
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    // A pty master reads EIO while no slave is open: that is a closed port, not a lost line.
    if (n < 0 && errno == EIO && slave_ >= 0)
        return 0;
    return -1;
}

long TDevice::Write(const char* bytes, size_t count) {
    if (fd_ < 0)
        return -1;
    const ssize_t n = write(fd_, bytes, count);
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    return -1;
}

void TDevice::Close() {
    if (!link_.empty()) {
        unlink(link_.c_str());
        link_.clear();
    }
    if (slave_ >= 0)
        close(slave_);
    if (fd_ >= 0)
        close(fd_);
    slave_ = fd_ = -1;
}
