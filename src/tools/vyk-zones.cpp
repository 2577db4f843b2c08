#include <iostream>
#include <string>
#include <vector>

#include "ZonesCli.h"

int main(int argc, char** argv) {
    return zonescli::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
