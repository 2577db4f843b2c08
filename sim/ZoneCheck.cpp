#include "ZoneCheck.h"

#include "ScannerInterface.h"
#include "Zonehit.h"

namespace {

ProtectZone AsProtectZone(const SimZone& zone) {
    ProtectZone record{};
    record.count = zone.count;
    record.IOTCount = zone.sensitivity;
    for (int k = 0; k < ProtectZone::kPairs; ++k) {
        record.x[k] = zone.x[k];
        record.y[k] = zone.y[k];
    }
    return record;
}

}  // namespace

bool ZoneHit(const SimZone& zone, const SimSample& sample) {
    return vykgraph::InZone(AsProtectZone(zone),
                            vykgraph::MakeZoneSample(sample.distance, sample.angle));
}

int OutputState(const ScannerState& state, int group, const std::vector<SimSample>& turn) {
    std::vector<vykgraph::ZoneSample> samples;
    samples.reserve(turn.size());
    for (const SimSample& sample : turn)
        samples.push_back(vykgraph::MakeZoneSample(sample.distance, sample.angle));
    int outputs = 0;
    for (int output = 0; output < 3; ++output) {
        const ProtectZone zone = AsProtectZone(state.zones[group * 3 + output]);
        int hits = 0;
        for (const vykgraph::ZoneSample& sample : samples) hits += vykgraph::InZone(zone, sample);
        if (vykgraph::ZoneTrips(zone, hits))
            outputs |= 1 << output;
    }
    return outputs | (group << scanner::kOutputStateGroupShift);
}
