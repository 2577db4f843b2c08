#pragma once

// Recording sets for the replay tests and benchmarks: the simulator's scanner stream, recorded
// by the console's own recorder in chunks as the acquisition loop hands them over.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <algorithm>
#include <string>
#include <vector>

#include "Lasernode.h"
#include "Logfile.h"
#include "ScanStream.h"
#include "ScannerInterface.h"
#include "ZipArchive.h"

// At least bytes of the stream of a scanner sending packets of packetBytes bytes.
inline QByteArray SimulatedStream(size_t bytes, int packetBytes = 4, uint32_t seed = 7) {
    TScanStream stream(ScannerModel::Vyk10, packetBytes, seed);
    std::string out;
    stream.Produce(out, bytes, ScannerState(), 0);
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

// Chunks of changing sizes, so that segments are cut anywhere, packets too.
inline void Record(const QString& fileName, const QByteArray& stream, int segmentLimit,
                   int bufferSize = 1024) {
    record::TLogFile log(fileName, bufferSize, segmentLimit, record::kArchiveCount);
    const auto* bytes = reinterpret_cast<const uint8_t*>(stream.constData());
    for (qsizetype at = 0, i = 0; at < stream.size(); ++i) {
        const int chunk =
            static_cast<int>(std::min<qsizetype>(1 + (i * 397) % 700, stream.size() - at));
        log.WriteStream(bytes + at, chunk);
        at += chunk;
    }
}

// The records of one decode of the whole stream.
inline std::vector<ScanPoint> DecodeWhole(const QByteArray& stream, int32_t distanceLimit = 6000) {
    std::vector<ScanPoint> points(static_cast<size_t>(stream.size() / 3 + 1), ScanPoint{});
    const int count =
        TLaserDecode().DecodeStream(points.data(), static_cast<int>(points.size()),
                                    reinterpret_cast<const uint8_t*>(stream.constData()),
                                    static_cast<int>(stream.size()), distanceLimit);
    points.resize(static_cast<size_t>(count));
    return points;
}

// Where each revolution begins among the records: the indices of the 0-degree markers.
inline std::vector<size_t> MarkerIndices(const std::vector<ScanPoint>& points) {
    std::vector<size_t> markers;
    for (size_t i = 0; i < points.size(); ++i) {
        if (points[i].angle == scanner::kInfoZeroDegree)
            markers.push_back(i);
    }
    return markers;
}

#include "RecordingSet.h"

// Every segment of the set, read and joined in the set's order.
inline QByteArray Joined(const record::RecordingSet& set) {
    QByteArray joined;
    for (int k = 0; k < set.SegmentCount(); ++k) {
        std::vector<uint8_t> bytes;
        QString error;
        if (set.ReadSegment(k, set.At(k).size, bytes, error))
            joined.append(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    }
    return joined;
}

// All but the last tail bytes of the stream recorded into base.Zip, and the tail left beside it
// as the segment file a crash leaves: the last segment of the set is a plain file.
inline void RecordWithLeftover(const QString& base, const QByteArray& stream, int segmentLimit,
                               qsizetype tail) {
    Record(base, stream.left(stream.size() - tail), segmentLimit);
    record::ZipReader reader(QFile::encodeName(base + ".Zip").toStdString());
    QFile leftover(record::SegmentName(base, reader.EntryCount()));
    if (leftover.open(QIODevice::WriteOnly))
        leftover.write(stream.right(tail));
}
