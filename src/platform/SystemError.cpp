#include "SystemError.h"

#include <cstring>

QString SystemErrorText(int errorCode) {
    char buffer[256];
    // The GNU strerror_r returns the text, which need not be in buffer.
    const char* text = strerror_r(errorCode, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}
