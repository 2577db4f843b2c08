#pragma once

// The line the command-line tools open to a scanner: its rate, 8N1 without flow control.

#include "SerialDevice.h"

namespace cli {

// Sets up the opened device with baud, 8N1 and timeouts, then drops what the line held before
// (it is no answer to us, and no part of a recording). 0, or the errno of the step that failed,
// with the device closed.
int SetUpScannerLine(SerialDevice& device, int baud, const CommTimeouts& timeouts);

}  // namespace cli
