#pragma once

#include <QString>

// The system's text for an errno value, as FormatMessage gives it for a Windows error code.
QString SystemErrorText(int errorCode);
