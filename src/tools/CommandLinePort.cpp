#include "CommandLinePort.h"

#include <cerrno>
#include <cstdio>

namespace cli {

int SetUpScannerLine(SerialDevice& device, int baud, const CommTimeouts& timeouts) {
    char definition[64];
    std::snprintf(definition, sizeof definition, "baud=%d parity=N data=8 stop=1", baud);
    LineSettings settings;
    if (!device.GetState(&settings) || !BuildLineSettings(definition, &settings) ||
        !device.SetState(settings) || !device.SetTimeouts(timeouts)) {
        const int error = errno;  // before the close changes it
        device.Close();
        return error;
    }
    device.Purge();
    return 0;
}

}  // namespace cli
