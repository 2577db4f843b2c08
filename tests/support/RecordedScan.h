#pragma once

// The mixed scan stream recorded by the console's recorder in segments of 1500 bytes, the last
// one a leftover segment file, so that revolutions and packets are split between segments; the
// set opened and indexed whole. For the tests of the exports from a recording.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "MixedScanStream.h"
#include "RecordingSet.h"
#include "RecordingSets.h"
#include "RevolutionIndex.h"

struct RecordedScan {
    explicit RecordedScan(int revolutions) : stream(mixedscan::MakeStream(revolutions)) {
        RecordWithLeftover(dir.filePath("run"),
                           QByteArray(reinterpret_cast<const char*>(stream.bytes.data()),
                                      static_cast<qsizetype>(stream.bytes.size())),
                           1500, 2500);
        opened = set.Open(dir.filePath("run.Zip"), error);
        while (index.Step()) {
        }
    }

    // The leftover segment file, the set's last segment.
    QString Leftover() const { return set.At(set.SegmentCount() - 1).path; }

    QTemporaryDir dir;
    mixedscan::Stream stream;
    record::RecordingSet set;
    record::RevolutionIndex index{set};
    bool opened = false;
    QString error;
};
