#pragma once

// A recording of the simulated zone scanner made by the real vyk-record, for the tests that try
// zones on it.

#include <string>
#include <vector>

#include "SimProcess.h"
#include "SpawnedProgram.h"

// Six seconds at 115200 Bd into base.Zip: the moving object walks in from the left at 0.5 m/s
// and is across by the end. options go to vyk-record before the port. Empty, or what failed.
inline std::string RecordZoneScanner(const std::string& recorder, const std::string& base,
                                     const std::vector<std::string>& options = {}) {
    SimProcess sim({"--model", "vyk05"});
    if (sim.Path().empty())
        return "vyk-sim did not start";
    std::vector<std::string> argv{recorder, "--baud", "115200", "--duration", "6"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(sim.Path());
    argv.push_back(base);
    SpawnedProgram record(argv, true);
    const std::string said = record.ReadAll(30);
    if (record.WaitExit(10) != 0)
        return "vyk-record: " + said;
    return {};
}
