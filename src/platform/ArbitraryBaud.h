#pragma once

// Rates without a B constant go through termios2 (BOTHER), which cannot share a translation
// unit with <termios.h>.

// Sets both directions to baud on the open terminal fd; false with errno set when refused.
bool SetArbitraryBaud(int fd, int baud);
// The output rate the driver keeps, or -1 with errno set.
int GetActualBaud(int fd);
