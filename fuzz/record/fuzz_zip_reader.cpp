// The archive reader on any file: listing and reading every entry must stay inside its
// buffers (the sanitizers watch), never hand out more than an entry declares, and never
// allocate beyond the limit it is given.

#include <sys/mman.h>
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ZipArchive.h"

namespace {

constexpr uint64_t kMaxBytes = 1u << 20;

// The input as a file without touching the disk: the reader opens archives by path.
int MemoryFile() {
    static const int fd = memfd_create("fuzz_zip_reader", 0);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = MemoryFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    record::ZipReader reader("/proc/self/fd/" + std::to_string(fd));
    if (!reader.IsOpen())
        return 0;
    for (int i = 0; i < reader.EntryCount(); ++i) {
        std::vector<uint8_t> bytes;
        const auto result = reader.ReadEntry(i, kMaxBytes, bytes);
        if (result == record::ZipReader::Result::Ok && bytes.size() != reader.DeclaredSize(i))
            std::abort();
        if (result != record::ZipReader::Result::Ok && !bytes.empty())
            std::abort();
        uint64_t streamed = 0;
        reader.StreamEntry(i, kMaxBytes, [&](const uint8_t*, size_t count) { streamed += count; });
        if (streamed > reader.DeclaredSize(i))
            std::abort();
    }
    return 0;
}
