#pragma once

// The link's health as the windows show it: the decoder's figures since the port opened (or the
// user's reset) and over the last 10 seconds, the received byte rate against the line's nominal
// rate, and the short text of the status bar.

#include <QString>
#include <cstdint>
#include <deque>
#include <vector>

#include "LinkCounts.h"

namespace scanwindow {

class LinkMonitor {
public:
    static constexpr int kRecentMs = 10000;

    struct Row {
        QString name;
        QString sinceOpen;
        QString recent;
    };

    // 8N1: ten bits on the line per byte.
    void SetNominalBaud(int baud) { nominalBytesPerSecond_ = baud / 10.0; }
    // The port opened: nothing counted yet.
    void Restart();
    // Once a tick, with the loop's figures since the port opened.
    void Update(const LinkCounts& counts, uint32_t nowMs);
    // Counts from now on, in both columns.
    void Reset();

    LinkCounts SinceOpen() const { return latest_ - baseline_; }
    LinkCounts Recent() const;
    // Something was lost in the last 10 seconds: revolutions, bytes skipped, packets refused.
    bool Alarm() const;
    // "链路正常", "无数据" while nothing arrives, or the losses of the last 10 seconds.
    QString StatusText() const;
    // Every figure with its two columns, for the link status window.
    std::vector<Row> Rows() const;

private:
    struct Sample {
        uint32_t ms;
        LinkCounts counts;
    };
    QString RateText(int64_t bytes, uint32_t ms) const;

    double nominalBytesPerSecond_ = 0;
    LinkCounts baseline_;
    LinkCounts latest_;
    uint32_t baselineMs_ = 0;
    uint32_t latestMs_ = 0;
    bool started_ = false;
    std::deque<Sample> samples_;  // about one a second; the first is the recent column's start
};

}  // namespace scanwindow
