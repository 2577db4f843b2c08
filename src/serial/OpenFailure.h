#pragma once

// What the programs show when a port does not open: the fixed text, then why.

#include <QString>

constexpr char kOpenFailed[] = "Open Serial Port Failed!";

// kOpenFailed, the device and the system's reason for error, with what to do about a missing
// permission or a port that another program holds.
QString OpenFailedText(const QString& device, int error);
