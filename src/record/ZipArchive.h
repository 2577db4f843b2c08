#pragma once

// Standard ZIP archives of recorded segments: a file appended as a Deflate entry without
// rewriting what the archive holds, and entries read back whole into memory with their names
// and sizes checked, so that a damaged or hostile archive cannot reach outside or exhaust memory.

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace record {

// Chosen with bench/record: level 1 packs a 32 MiB segment well inside the GUI thread's budget.
constexpr int kDeflateLevel = 1;

// Adds the file at filePath to the archive at archivePath (created when missing) under the
// file's name without its folder. Only the central directory of an existing archive is read and
// written again. The archive is synced before this returns true; on failure, and after a crash
// in the middle (see AppendJournal.h), it is as it was before. On failure returns false with
// the reason in error.
bool AppendFileToArchive(const std::string& archivePath, const std::string& filePath,
                         std::string& error, int level = kDeflateLevel);

// True when the bytes begin like a ZIP archive (a local header or an empty archive's end record).
bool LooksLikeZip(const uint8_t* bytes, size_t count);

class ZipReader {
public:
    enum class Result { Ok, TooLarge, Failed };

    // Takes back an interrupted append first, then opens and lists the archive; Error() tells
    // why when IsOpen() is false.
    explicit ZipReader(const std::string& path);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    bool IsOpen() const { return file_ != nullptr || empty_; }
    int EntryCount() const { return static_cast<int>(entries_.size()); }
    // The entry's name as stored: UTF-8 when NameIsUtf8, else the writer's 8-bit code page.
    const std::string& EntryName(int index) const { return entries_[index].name; }
    bool NameIsUtf8(int index) const { return (entries_[index].flag & kUtf8NameFlag) != 0; }
    uint64_t DeclaredSize(int index) const { return entries_[index].size; }
    // Seconds since the epoch, to the two seconds the format keeps.
    time_t ModifiedTime(int index) const { return entries_[index].modified; }

    // Reads entry index whole into bytes. TooLarge: its declared size is above maxBytes or
    // cannot be allocated; Failed: unsafe name, damaged data or sizes that disagree.
    Result ReadEntry(int index, uint64_t maxBytes, std::vector<uint8_t>& bytes);

    // Hands entry index to sink piece by piece, with the same checks; what a damaged entry
    // gave before its fault showed has reached the sink by then.
    using Sink = std::function<void(const uint8_t* bytes, size_t count)>;
    Result StreamEntry(int index, uint64_t maxBytes, const Sink& sink);

    // Where entry index's packed data begins in the archive, once it passed the checks of
    // ReadEntry (without a size limit); false with Error() otherwise.
    bool Locate(int index, uint64_t& dataOffset);
    uint64_t PackedSize(int index) const { return entries_[index].packedSize; }
    uint32_t Crc(int index) const { return entries_[index].crc; }
    bool IsDeflated(int index) const { return entries_[index].method != 0; }

    const std::string& Error() const { return error_; }

    static constexpr unsigned long kUtf8NameFlag = 1u << 11;

private:
    struct Entry {
        std::string name;
        uint64_t size = 0;
        uint64_t packedSize = 0;
        unsigned long method = 0;
        unsigned long flag = 0;
        uint32_t crc = 0;
        uint64_t directoryPos = 0;
        uint64_t entryNumber = 0;
        time_t modified = 0;
    };

    bool List();
    bool Fail(const std::string& text);
    Result Check(int index, uint64_t maxBytes);
    bool Inflate(int index, const Sink& sink);

    void* file_ = nullptr;
    bool empty_ = false;
    std::vector<Entry> entries_;
    std::string error_;
};

// False for a name that is absolute or climbs out with "..": such an entry reaches nothing.
bool IsSafeEntryName(const std::string& name);

}  // namespace record
