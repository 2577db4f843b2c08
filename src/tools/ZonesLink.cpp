#include "ZonesLink.h"

#include <cerrno>

#include "ComPorts.h"
#include "CommandLinePort.h"
#include "IniFile.h"
#include "OpenFailure.h"
#include "SystemError.h"

namespace zonescli {
namespace {

constexpr uint32_t kWriteTimeoutMs = 1000;
constexpr int kReadSize = 4096;
// A pause this long after some bytes ends a read, so that an answer is taken at once.
constexpr uint32_t kReadGapMs = 2;

}  // namespace

QString PortDevice(const QString& port, const QString& iniPath) {
    if (port.startsWith('/'))
        return port;
    const IniFile ini(iniPath);
    return ComDevicePath(ComNumber(port), &ini);
}

bool ZonesLink::Open(const QString& device, int baud, QString& error) {
    if (!device_.Open(device)) {
        error = QStringLiteral("cannot open ") +
                QString::fromStdString(
                    OpenFailedText(device.toStdString(), errno, OpenFailureStyle::Line));
        return false;
    }
    CommTimeouts timeouts;
    timeouts.writeTotalConstant = kWriteTimeoutMs;
    // An old acknowledgement the line held is no answer to us: the set-up drops it.
    const int failed = cli::SetUpScannerLine(device_, baud, timeouts);
    if (failed != 0) {
        error = QStringLiteral("cannot set %1 to %2 baud: %3")
                    .arg(device)
                    .arg(baud)
                    .arg(SystemErrorText(failed));
        return false;
    }
    return true;
}

void ZonesLink::Send(const QByteArray& bytes) {
    const IoResult result =
        device_.Write(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size());
    if (result.failure != IoFailure::None)
        lastError_ = result.error;
}

bool ZonesLink::Receive(QByteArray& bytes, int sliceMs) {
    CommTimeouts timeouts;
    timeouts.readTotalConstant = static_cast<uint32_t>(sliceMs);
    timeouts.readInterval = kReadGapMs;
    timeouts.writeTotalConstant = kWriteTimeoutMs;
    device_.SetTimeouts(timeouts);
    uint8_t buffer[kReadSize];
    const IoResult result = device_.Read(buffer, kReadSize);
    bytes = QByteArray(reinterpret_cast<const char*>(buffer), result.count);
    if (result.failure != IoFailure::None) {
        lastError_ = result.error;
        return false;
    }
    return true;
}

}  // namespace zonescli
