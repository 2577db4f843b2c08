#include "OpenFailure.h"

#include <cerrno>

#include "SystemError.h"

QString OpenFailedText(const QString& device, int error) {
    QString text = QString::fromLatin1(kOpenFailed) + "\n" + device + ": " + SystemErrorText(error);
    if (error == EACCES || error == EPERM) {
        text += QString::fromUtf8(
            "\n需要该设备的读写权限: 把当前用户加入 dialout 组 "
            "(sudo usermod -aG dialout $USER), 注销后重新登录。");
    } else if (error == EBUSY) {
        text += QString::fromUtf8("\n该串口已被其他程序占用。");
    }
    return text;
}
