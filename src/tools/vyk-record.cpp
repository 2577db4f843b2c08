#include <iostream>
#include <string>
#include <vector>

#include "RecordCli.h"

int main(int argc, char** argv) {
    return recordcli::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
