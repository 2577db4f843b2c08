#pragma once

// Loading a recording into the point buffer: a raw stream file, or an entry of a ZIP
// recording read into memory (nothing is extracted to disk). Sizes are checked against the
// machine's memory before anything large is allocated.

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "Acquisition.h"
#include "Lasernode.h"

class Prompt;

namespace console {

enum class LoadResult { Loaded, NoData, Failed };

class HistoryReplay {
public:
    HistoryReplay(scanwindow::PointStore& store, const TLaserDecode& decoder, Prompt& prompt,
                  QString& historyFile);

    // Bytes the machine can still give; tests put a small figure here.
    std::function<uint64_t()> availableMemory;
    // Status panel 7.
    std::function<void(const QString&)> showPath;
    int32_t distanceLimit = 6000;
    int archiveEntryCount = 0;

    // Makes the point buffer hold records, in one allocation, when the memory left allows;
    // a buffer already as large is kept with its points.
    bool MakeRoom(int records);
    // The file the user chose: an archive's first entry, or the file as a raw stream, which
    // panel 7 names whether it loads or not.
    LoadResult LoadChosen(const QString& path);
    LoadResult LoadHistoryFile(const QString& path);
    LoadResult LoadArchiveEntry(int index);
    // True while a load runs; the decoder's progress report lets other handlers run meanwhile.
    bool Busy() const { return busy_; }

    static bool IsArchivePath(const QString& path);

private:
    LoadResult Decode(std::vector<uint8_t>& bytes);
    uint64_t FileBudget() const;
    // Bytes a larger point buffer for n file bytes takes beyond the one it replaces.
    uint64_t GrowthNeeded(uint64_t n) const;
    // Whether n file bytes and the point buffer they need fit in the memory left.
    bool Fits(uint64_t n) const;

    scanwindow::PointStore& store_;
    const TLaserDecode& decoder_;
    Prompt& prompt_;
    QString& historyFile_;
    bool busy_ = false;
};

}  // namespace console
