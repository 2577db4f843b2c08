#include "EntryAccess.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "ZipArchive.h"

namespace record {
namespace {

constexpr size_t kWindow = 32768;  // what Deflate may refer back to
constexpr size_t kInputBlock = 1 << 16;
constexpr size_t kOutputBlock = 1 << 18;

class File {
public:
    explicit File(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~File() {
        if (fd_ >= 0)
            close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool IsOpen() const { return fd_ >= 0; }
    // Reads up to count bytes at offset; -1 on an error.
    ssize_t Read(uint8_t* bytes, size_t count, uint64_t offset) const {
        size_t got = 0;
        while (got < count) {
            const ssize_t n =
                pread(fd_, bytes + got, count - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return -1;
            if (n == 0)
                break;
            got += static_cast<size_t>(n);
        }
        return static_cast<ssize_t>(got);
    }

private:
    int fd_;
};

std::vector<uint8_t> Deflated(const std::vector<uint8_t>& bytes) {
    uLongf length = compressBound(bytes.size());
    std::vector<uint8_t> packed(length);
    if (compress2(packed.data(), &length, bytes.data(), bytes.size(), 1) != Z_OK)
        return bytes;
    // A copy of its own size: resizing would keep the whole bound allocated for every point.
    return std::vector<uint8_t>(packed.begin(),
                                packed.begin() + static_cast<std::ptrdiff_t>(length));
}

bool Inflated(const std::vector<uint8_t>& packed, std::vector<uint8_t>& bytes) {
    bytes.resize(kWindow);
    uLongf length = kWindow;
    if (uncompress(bytes.data(), &length, packed.data(), packed.size()) != Z_OK)
        return false;
    bytes.resize(length);
    return true;
}

std::string Reason() {
    return std::strerror(errno);
}

}  // namespace

bool EntryAccess::Locate(ZipReader& reader, const std::string& archive, int index,
                         std::string& error) {
    points_.clear();
    location_ = EntryLocation();
    location_.archive = archive;
    if (!reader.Locate(index, location_.dataOffset)) {
        error = reader.Error();
        return false;
    }
    location_.packedSize = reader.PackedSize(index);
    location_.size = reader.DeclaredSize(index);
    location_.crc = reader.Crc(index);
    location_.deflated = reader.IsDeflated(index);
    return true;
}

void EntryAccess::SetFile(const std::string& path, uint64_t size) {
    points_.clear();
    location_ = EntryLocation();
    location_.archive = path;
    location_.packedSize = size;
    location_.size = size;
    location_.deflated = false;
    location_.checked = false;
}

bool EntryAccess::Inflate(const AccessPoint* point,
                          const std::function<bool(const uint8_t*, size_t)>& sink,
                          std::vector<AccessPoint>* noted, uint32_t* crc,
                          std::string& error) const {
    const File file(location_.archive);
    if (!file.IsOpen()) {
        error = Reason();
        return false;
    }
    uint64_t in = point ? point->in : 0;
    uint64_t out = point ? point->out : 0;
    std::vector<uint8_t> input(kInputBlock);
    std::vector<uint8_t> output(kOutputBlock);
    if (!location_.deflated) {
        while (out < location_.size) {
            const size_t want =
                static_cast<size_t>(std::min<uint64_t>(output.size(), location_.size - out));
            const ssize_t n = file.Read(output.data(), want, location_.dataOffset + out);
            if (n <= 0) {
                error = n < 0 ? Reason() : "shorter than it was";
                return false;
            }
            if (crc)
                *crc = crc32(*crc, output.data(), static_cast<uInt>(n));
            out += static_cast<uint64_t>(n);
            if (!sink(output.data(), static_cast<size_t>(n)))
                return true;
        }
        return true;
    }
    z_stream stream = {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        error = "no memory to inflate";
        return false;
    }
    struct End {
        z_stream& stream;
        ~End() { inflateEnd(&stream); }
    } end{stream};
    if (point) {
        std::vector<uint8_t> window;
        uint8_t last = 0;
        if (!Inflated(point->window, window) ||
            (point->bits > 0 && file.Read(&last, 1, location_.dataOffset + in - 1) != 1)) {
            error = "cannot read back to an access point";
            return false;
        }
        if (point->bits > 0)
            inflatePrime(&stream, point->bits, last >> (8 - point->bits));
        inflateSetDictionary(&stream, window.data(), static_cast<uInt>(window.size()));
    }
    std::vector<uint8_t> recent;  // the last kWindow bytes given out, for the next access point
    uint64_t nextPoint = out + kSpan;
    for (;;) {
        if (stream.avail_in == 0 && in < location_.packedSize) {
            const size_t want =
                static_cast<size_t>(std::min<uint64_t>(input.size(), location_.packedSize - in));
            const ssize_t n = file.Read(input.data(), want, location_.dataOffset + in);
            if (n <= 0) {
                error = n < 0 ? Reason() : "damaged data (the archive is shorter than it was)";
                return false;
            }
            in += static_cast<uint64_t>(n);
            stream.next_in = input.data();
            stream.avail_in = static_cast<uInt>(n);
        }
        stream.next_out = output.data();
        stream.avail_out = static_cast<uInt>(output.size());
        const int result = inflate(&stream, Z_BLOCK);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
            error = "damaged data";
            return false;
        }
        const size_t n = output.size() - stream.avail_out;
        if (n == 0 && result == Z_BUF_ERROR) {
            error = "damaged data (the packed data ends early)";
            return false;
        }
        if (n > 0) {
            if (out + n > location_.size) {
                error = "holds more data than its declared size";
                return false;
            }
            if (crc)
                *crc = crc32(*crc, output.data(), static_cast<uInt>(n));
            out += n;
            if (noted) {
                const size_t keep = std::min(n, kWindow);
                recent.insert(recent.end(), output.data() + n - keep, output.data() + n);
                if (recent.size() > kWindow)
                    recent.erase(recent.begin(), recent.end() - kWindow);
            }
            if (!sink(output.data(), n))
                return true;
        }
        if (result == Z_STREAM_END)
            break;
        // Between two blocks, and not after the last: the state is the window and the bits.
        if (noted && (stream.data_type & 128) && !(stream.data_type & 64) && out >= nextPoint) {
            noted->push_back({out, in - stream.avail_in, stream.data_type & 7, Deflated(recent)});
            nextPoint = out + kSpan;
        }
    }
    if (out != location_.size) {
        error = "holds less data than its declared size";
        return false;
    }
    return true;
}

bool EntryAccess::ReadAll(const Sink& sink, const std::atomic<bool>* stop, std::string& error) {
    std::vector<AccessPoint> noted;
    uint32_t crc = crc32(0, nullptr, 0);
    bool stopped = false;
    const bool read = Inflate(
        nullptr,
        [&](const uint8_t* bytes, size_t count) {
            sink(bytes, count);
            stopped = stop && stop->load();
            return !stopped;
        },
        &noted, &crc, error);
    if (!read)
        return false;
    if (stopped) {
        error = "reading stopped";
        return false;
    }
    if (location_.checked && crc != location_.crc) {
        error = "checksum mismatch";
        return false;
    }
    points_ = std::move(noted);
    return true;
}

bool EntryAccess::ReadRange(uint64_t from, uint64_t to, std::vector<uint8_t>& bytes,
                            uint64_t& begin, std::string& error) const {
    to = std::min(to, location_.size);
    bytes.clear();
    const AccessPoint* point = nullptr;
    if (location_.deflated) {
        const auto after =
            std::upper_bound(points_.begin(), points_.end(), from,
                             [](uint64_t at, const AccessPoint& p) { return at < p.out; });
        if (after != points_.begin())
            point = &*(after - 1);
        begin = point ? point->out : 0;
    } else {
        begin = from;
    }
    if (to <= begin)
        return true;
    bytes.reserve(static_cast<size_t>(to - begin));
    const uint64_t want = to - begin;
    if (!location_.deflated) {
        const File file(location_.archive);
        bytes.resize(static_cast<size_t>(want));
        const ssize_t n = file.IsOpen()
                              ? file.Read(bytes.data(), bytes.size(), location_.dataOffset + begin)
                              : -1;
        if (n < 0 || static_cast<uint64_t>(n) != want) {
            error = n < 0 ? Reason() : "shorter than it was";
            bytes.clear();
            return false;
        }
        return true;
    }
    return Inflate(
        point,
        [&](const uint8_t* piece, size_t count) {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(count, want - bytes.size()));
            bytes.insert(bytes.end(), piece, piece + take);
            return bytes.size() < want;
        },
        nullptr, nullptr, error);
}

}  // namespace record
