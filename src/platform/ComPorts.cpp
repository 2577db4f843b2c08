#include "ComPorts.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "IniFile.h"

namespace {

struct Range {
    int first;
    int last;
    const char* prefix;
};

constexpr Range kRanges[] = {
    {1, 32, "/dev/ttyS"},
    {33, 48, "/dev/ttyUSB"},
    {49, 64, "/dev/ttyACM"},
};

// The kernel makes every /dev/ttyS node; only a known UART type means hardware behind it.
bool HasUartBehind(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    QFile type("/sys/class/tty/" + name + "/type");
    if (type.open(QIODevice::ReadOnly))
        return type.readAll().trimmed().toInt() != 0;
    const int fd = open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    serial_struct info{};
    const bool known = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    close(fd);
    return known;
}

bool IsPresent(const QString& path) {
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.startsWith("/dev/ttyS"))
        return HasUartBehind(target);
    return true;
}

}  // namespace

QString ComDevicePath(int comNumber, const IniFile* ini) {
    if (comNumber < 1 || comNumber > kMaxComNumber)
        return {};
    if (ini) {
        const QString named = ini->ReadPath("Ports", QString("COM%1").arg(comNumber));
        if (!named.isEmpty())
            return named;
    }
    for (const Range& range : kRanges) {
        if (comNumber >= range.first && comNumber <= range.last) {
            return range.prefix + QString::number(comNumber - range.first);
        }
    }
    return {};
}

QStringList PresentComNames(const IniFile* ini) {
    QStringList names;
    for (int n = 1; n <= kMaxComNumber; ++n) {
        if (IsPresent(ComDevicePath(n, ini)))
            names << QString("COM%1").arg(n);
    }
    return names;
}

int ComNumber(const QString& comName) {
    if (!comName.startsWith("COM", Qt::CaseInsensitive))
        return 0;
    bool ok = false;
    const int n = comName.mid(3).toInt(&ok);
    const bool plain = ok && comName.size() > 3 && comName[3].isDigit();
    return plain && n >= 1 && n <= kMaxComNumber ? n : 0;
}

ComDeviceState ProbeComDevice(const QString& path) {
    if (!IsPresent(path))
        return ComDeviceState::Missing;
    const int fd = open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM)
            return ComDeviceState::NoPermission;
        return errno == EBUSY ? ComDeviceState::Busy : ComDeviceState::Missing;
    }
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return held ? ComDeviceState::Busy : ComDeviceState::Available;
}
