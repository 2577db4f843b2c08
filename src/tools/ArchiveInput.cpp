#include "ArchiveInput.h"

#include <climits>
#include <cstdio>
#include <memory>

#include <sys/stat.h>

#include "ZipArchive.h"

namespace decodecli {
namespace {

// One DecodeStream call takes at most INT_MAX bytes, so a larger entry is no buffer of ours.
constexpr uint64_t kMaxEntryBytes = INT_MAX;

}  // namespace

bool IsArchive(const std::string& path) {
    // Only a plain file is probed: a pipe would lose what was read.
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    uint8_t head[4] = {};
    return file && std::fread(head, 1, sizeof head, file.get()) == sizeof head &&
           record::LooksLikeZip(head, sizeof head);
}

bool FeedArchive(const std::string& path, record::StreamSink& sink, ProgressBar& progress,
                 std::string& error) {
    record::ZipReader reader(path);
    if (!reader.IsOpen()) {
        error = reader.Error();
        return false;
    }
    uint64_t total = 0;
    for (int i = 0; i < reader.EntryCount(); ++i) total += reader.DeclaredSize(i);
    progress.Start(total);
    uint64_t done = 0;
    for (int i = 0; i < reader.EntryCount() && !sink.Failed(); ++i) {
        const auto result =
            reader.StreamEntry(i, kMaxEntryBytes, [&](const uint8_t* bytes, size_t count) {
                sink.Append(bytes, count);
                done += count;
                progress.Update(done);
            });
        sink.EndEntry();
        if (result != record::ZipReader::Result::Ok) {
            error = reader.Error();
            return false;
        }
    }
    return true;
}

}  // namespace decodecli
