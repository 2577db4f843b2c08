#include <iostream>
#include <string>
#include <vector>

#include <signal.h>
#include <unistd.h>

#include "DecodeCli.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // Past a file size limit a write fails and is reported like a full disk, instead of the
    // signal ending the tool before it removes its unfinished file.
    signal(SIGXFSZ, SIG_IGN);
    return decodecli::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                          isatty(STDERR_FILENO) == 1, isatty(STDOUT_FILENO) == 1);
}
