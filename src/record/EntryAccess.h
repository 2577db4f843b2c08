#pragma once

// Any range of an archive's Deflate entry without inflating it from its beginning: the first
// full read notes access points (the inflater's state at block boundaries every few MiB), from
// which a later read starts.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace record {

class ZipReader;

// Where an entry's data lies in its archive, and how it is stored.
struct EntryLocation {
    std::string archive;
    uint64_t dataOffset = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
    uint32_t crc = 0;
    bool deflated = true;
    bool checked = true;  // false for a plain file, which has no checksum
};

struct AccessPoint {
    uint64_t out = 0;  // bytes of the entry before it
    uint64_t in = 0;   // packed bytes before it; bits of the last are still unread
    int bits = 0;
    std::vector<uint8_t> window;  // the 32 KiB of the entry before it, deflated to save memory
};

// Failures are told in error without the file's name, which the caller knows.
class EntryAccess {
public:
    // Output between two access points; a range read inflates at most this much.
    static constexpr uint64_t kSpan = 4u << 20;

    // Checks entry index of the archive's reader as ReadEntry does and notes where its data
    // lies.
    bool Locate(ZipReader& reader, const std::string& archive, int index, std::string& error);
    // A plain file of size bytes.
    void SetFile(const std::string& path, uint64_t size);
    const EntryLocation& Location() const { return location_; }
    const std::vector<AccessPoint>& Points() const { return points_; }

    // The whole entry to sink in pieces, its checksum checked, the access points noted; stops
    // with false when stop becomes true.
    using Sink = std::function<void(const uint8_t* bytes, size_t count)>;
    bool ReadAll(const Sink& sink, const std::atomic<bool>* stop, std::string& error);

    // Bytes [from, to) of the entry (to cut at its size) from the nearest access point before
    // from; bytes then begins at *begin, at or before from.
    bool ReadRange(uint64_t from, uint64_t to, std::vector<uint8_t>& bytes, uint64_t& begin,
                   std::string& error) const;

private:
    // Inflates from point (nullptr: the entry's start); sink returns false to stop early.
    bool Inflate(const AccessPoint* point, const std::function<bool(const uint8_t*, size_t)>& sink,
                 std::vector<AccessPoint>* noted, uint32_t* crc, std::string& error) const;

    EntryLocation location_;
    std::vector<AccessPoint> points_;
};

}  // namespace record
