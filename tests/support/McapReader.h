#pragma once

// Reads an MCAP file back with the reference reader and ROS 2 decoder from npm (read-mcap.js):
// what they found, as JSON. 64-bit numbers come as strings, infinities as "Infinity".

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <string>
#include <vector>

#include "SpawnedProgram.h"

// The whole file, or only the messages logged from start to end (nanoseconds). An empty object
// when the reader refused the file; its complaint is on the test's error output.
inline QJsonObject ReadMcap(const std::string& path, int64_t start = -1, int64_t end = -1) {
    std::vector<std::string> args = {VYK_NODE_PATH, VYK_MCAP_READER, path};
    if (start >= 0) {
        args.push_back(std::to_string(start));
        args.push_back(std::to_string(end));
    }
    SpawnedProgram reader(args);
    const std::string json = reader.ReadAll(120);
    if (reader.WaitExit(10) != 0)
        return {};
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
}

// A 64-bit number or an infinity as the reader prints them.
inline double JsonNumber(const QJsonValue& value) {
    return value.isString() ? std::stod(value.toString().toStdString()) : value.toDouble();
}
inline uint64_t JsonUint64(const QJsonValue& value) {
    return value.isString() ? std::stoull(value.toString().toStdString())
                            : static_cast<uint64_t>(value.toDouble());
}

// header.stamp of a decoded ROS 2 message in nanoseconds; the decoder names the second field
// nsec or nanosec by its version.
inline uint64_t JsonStamp(const QJsonValue& message) {
    const QJsonValue stamp = message["header"]["stamp"];
    const QJsonValue ns = stamp["nanosec"].isUndefined() ? stamp["nsec"] : stamp["nanosec"];
    return JsonUint64(stamp["sec"]) * 1'000'000'000 + JsonUint64(ns);
}
