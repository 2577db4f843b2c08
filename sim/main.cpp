// vyk-sim: a VYK-10 / VYK-05 scanner on a pseudo-terminal, for development and tests.

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "CommandLine.h"
#include "SimOptions.h"
#include "Simulator.h"

namespace {

void OnSignal(int) {
    TSimulator::RequestStop();
}

void InstallSignals() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        const std::string help = HelpText();
        return cli::UsageError({"vyk-sim", help.substr(0, help.find('\n')), {}}, error, std::cerr);
    }
    if (options.help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts(cli::VersionText("vyk-sim").c_str());
        return 0;
    }
    InstallSignals();
    TSimulator simulator(options);
    if (!simulator.Open(error)) {
        std::fprintf(stderr, "vyk-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", simulator.Path().c_str());
    std::fflush(stdout);
    return simulator.Run();
}
