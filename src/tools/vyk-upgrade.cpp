#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "UpgradeCli.h"

int main(int argc, char** argv) {
    // A reader that goes away must not cut a flash short; the failed writes are ignored.
    std::signal(SIGPIPE, SIG_IGN);
    return upgradecli::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
