#include "OpenFailure.h"

#include <cerrno>
#include <cstring>

namespace {

enum class Cause { Missing, Permission, Busy, Other };

Cause CauseOf(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
            return Cause::Missing;
        case EACCES:
        case EPERM:
            return Cause::Permission;
        case EBUSY:
            return Cause::Busy;
        default:
            return Cause::Other;
    }
}

std::string SystemReason(int error) {
    char buffer[256];
    // The GNU strerror_r returns the text, which need not be in buffer.
    return strerror_r(error, buffer, sizeof buffer);
}

std::string DialogText(const std::string& device, int error) {
    std::string text = std::string(kOpenFailed) + "\n" + device + ": " + SystemReason(error);
    switch (CauseOf(error)) {
        case Cause::Permission:
            return text +
                   "\n需要该设备的读写权限: 把当前用户加入 dialout 组 "
                   "(sudo usermod -aG dialout $USER), 注销后重新登录。";
        case Cause::Busy:
            return text + "\n该串口已被其他程序占用。";
        default:
            return text;
    }
}

std::string LineText(const std::string& device, int error) {
    switch (CauseOf(error)) {
        case Cause::Missing:
            return device + ": no such serial device";
        case Cause::Permission:
            return device +
                   ": permission denied (add yourself to the group dialout and log in again)";
        case Cause::Busy:
            return device + ": in use by another program";
        case Cause::Other:
            break;
    }
    return device + ": " + SystemReason(error);
}

}  // namespace

std::string OpenFailedText(const std::string& device, int error, OpenFailureStyle style) {
    return style == OpenFailureStyle::Dialog ? DialogText(device, error) : LineText(device, error);
}
