#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "DecodeCli.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // On a terminal that also shows the records, the bar would break their lines.
    const bool progress = isatty(STDERR_FILENO) == 1 && isatty(STDOUT_FILENO) == 0;
    return decodecli::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                          progress);
}
