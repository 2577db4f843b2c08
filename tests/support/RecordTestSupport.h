#pragma once

// Helpers of the recording tests: files read and written whole, archives listed.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "ZipArchive.h"

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// Names and contents of every entry, in the archive's order; empty when it cannot be read.
inline std::vector<std::pair<std::string, QByteArray>> Entries(const QString& archive) {
    std::vector<std::pair<std::string, QByteArray>> entries;
    record::ZipReader reader(QFile::encodeName(archive).toStdString());
    for (int i = 0; i < reader.EntryCount(); ++i) {
        std::vector<uint8_t> bytes;
        reader.ReadEntry(i, 1u << 30, bytes);
        entries.emplace_back(reader.EntryName(i),
                             QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                        static_cast<qsizetype>(bytes.size())));
    }
    return entries;
}

// Bytes that differ from position to position, so a lost or moved piece shows.
inline QByteArray Pattern(int size, int seed = 0) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed * 13 + i / 251) & 0xFF);
    return bytes;
}
