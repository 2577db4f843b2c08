#include <iostream>
#include <string>
#include <vector>

#include "UpgradeCli.h"

int main(int argc, char** argv) {
    return upgradecli::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
