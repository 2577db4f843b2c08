#pragma once

// What a user is told when a port does not open, from the errno of the open that failed. One
// wording for the windows' message box, one for a line on a command-line tool's stderr; both
// give the same advice for a refused permission and a port that another program holds.

#include <string>

constexpr char kOpenFailed[] = "Open Serial Port Failed!";

enum class OpenFailureStyle {
    // kOpenFailed, then "DEVICE: " and the system's reason, what to do on a line of its own
    // (in Chinese, as the windows speak).
    Dialog,
    // "DEVICE: reason", what to do in parentheses.
    Line,
};

std::string OpenFailedText(const std::string& device, int error, OpenFailureStyle style);
