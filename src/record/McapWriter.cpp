#include "McapWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace record {
namespace {

constexpr uint8_t kMagic[] = {0x89, 'M', 'C', 'A', 'P', '0', '\r', '\n'};
constexpr char kCompression[] = "zstd";
constexpr size_t kWriteBlock = size_t{1} << 20;
constexpr uint64_t kFooterLength = 8 + 8 + 4;

enum Opcode : uint8_t {
    kHeader = 0x01,
    kFooter = 0x02,
    kSchema = 0x03,
    kChannel = 0x04,
    kMessage = 0x05,
    kChunk = 0x06,
    kMessageIndex = 0x07,
    kChunkIndex = 0x08,
    kStatistics = 0x0B,
    kSummaryOffset = 0x0E,
    kDataEnd = 0x0F,
};

// Little-endian fields as the format lays them out.
class Record {
public:
    explicit Record(std::vector<uint8_t>& out) : out_(out) {}

    template <typename T>
    Record& Int(T value) {
        for (size_t i = 0; i < sizeof(T); ++i)
            out_.push_back(static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i)));
        return *this;
    }
    Record& Bytes(const void* data, size_t size) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), bytes, bytes + size);
        return *this;
    }
    Record& String(const std::string& text) {
        return Int(static_cast<uint32_t>(text.size())).Bytes(text.data(), text.size());
    }
    // Opens a record: its opcode and a length that Close fills in.
    Record& Begin(uint8_t opcode) {
        Int(opcode);
        start_ = out_.size();
        return Int(uint64_t{0});
    }
    void Close() { Patch(start_, static_cast<uint64_t>(out_.size() - start_ - 8)); }
    // A length-prefixed array or map: Mark before its entries, CloseLength after them.
    size_t Mark() {
        Int(uint32_t{0});
        return out_.size();
    }
    void CloseLength(size_t mark) { Patch(mark - 4, static_cast<uint32_t>(out_.size() - mark)); }

private:
    template <typename T>
    void Patch(size_t at, T value) {
        for (size_t i = 0; i < sizeof(T); ++i)
            out_[at + i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
    }

    std::vector<uint8_t>& out_;
    size_t start_ = 0;
};

uint32_t Crc32(const uint8_t* bytes, size_t size, uint32_t crc = 0) {
    while (size > 0) {
        const auto piece = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
        crc = static_cast<uint32_t>(::crc32(crc, bytes, piece));
        bytes += piece;
        size -= piece;
    }
    return crc;
}

std::string WithReason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

McapWriter::McapWriter() = default;

McapWriter::~McapWriter() {
    Discard();
}

bool McapWriter::Open(const std::string& path, const Options& options) {
    Discard();
    options_ = options;
    path_ = path;
    error_.clear();
    std::string pattern = path + ".XXXXXX";
    fd_ = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0)
        return Fail(WithReason("cannot create a file beside " + path));
    tempPath_ = pattern;
    // mkstemp makes the file private; the result gets the mode any new file would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
    zstd_ = ZSTD_createCCtx();
    if (zstd_ == nullptr)
        return Fail("cannot start the zstd compressor");
    std::vector<uint8_t> head(std::begin(kMagic), std::end(kMagic));
    Record header(head);
    header.Begin(kHeader).String(options_.profile).String(options_.library).Close();
    return Put(head);
}

uint16_t McapWriter::AddSchema(const std::string& name, const std::string& encoding,
                               const std::string& data) {
    const uint16_t id = ++schemaCount_;
    Record schema(schemaRecords_);
    schema.Begin(kSchema).Int(id).String(name).String(encoding).String(data).Close();
    return id;
}

uint16_t McapWriter::AddChannel(uint16_t schemaId, const std::string& topic,
                                const std::string& messageEncoding) {
    const uint16_t id = ++channelCount_;
    Record channel(channelRecords_);
    channel.Begin(kChannel).Int(id).Int(schemaId).String(topic).String(messageEncoding);
    channel.CloseLength(channel.Mark());  // no metadata
    channel.Close();
    sequences_.push_back(0);
    channelMessages_[id] = 0;
    return id;
}

bool McapWriter::WriteMessage(uint16_t channelId, uint64_t logTime, uint64_t publishTime,
                              const uint8_t* data, size_t size) {
    if (fd_ < 0 || channelId == 0 || channelId > channelCount_)
        return false;
    // Schemas and channels go to the data section ahead of the first message, where a
    // reader that streams the file finds them.
    if (messageCount_ == 0 && chunk_.empty()) {
        pending_.insert(pending_.end(), schemaRecords_.begin(), schemaRecords_.end());
        pending_.insert(pending_.end(), channelRecords_.begin(), channelRecords_.end());
    }
    if (chunk_.empty()) {
        chunkStart_ = logTime;
        chunkEnd_ = logTime;
    }
    chunkMessages_[channelId].emplace_back(logTime, chunk_.size());
    Record message(chunk_);
    message.Begin(kMessage)
        .Int(channelId)
        .Int(sequences_[channelId - 1]++)
        .Int(logTime)
        .Int(publishTime)
        .Bytes(data, size)
        .Close();
    chunkStart_ = std::min(chunkStart_, logTime);
    chunkEnd_ = std::max(chunkEnd_, logTime);
    firstTime_ = messageCount_ == 0 ? logTime : std::min(firstTime_, logTime);
    lastTime_ = std::max(lastTime_, logTime);
    ++messageCount_;
    ++channelMessages_[channelId];
    return chunk_.size() < options_.chunkSize || FlushChunk();
}

bool McapWriter::FlushChunk() {
    if (chunk_.empty())
        return true;
    compressed_.resize(ZSTD_compressBound(chunk_.size()));
    const size_t packed = ZSTD_compressCCtx(zstd_, compressed_.data(), compressed_.size(),
                                            chunk_.data(), chunk_.size(), options_.zstdLevel);
    if (ZSTD_isError(packed))
        return Fail(std::string("cannot compress a chunk: ") + ZSTD_getErrorName(packed));

    ChunkIndex index{};
    index.startTime = chunkStart_;
    index.endTime = chunkEnd_;
    index.offset = fileOffset_ + pending_.size();
    index.compressedSize = packed;
    index.uncompressedSize = chunk_.size();
    Record chunk(pending_);
    chunk.Begin(kChunk)
        .Int(chunkStart_)
        .Int(chunkEnd_)
        .Int(static_cast<uint64_t>(chunk_.size()))
        .Int(Crc32(chunk_.data(), chunk_.size()))
        .String(kCompression)
        .Int(static_cast<uint64_t>(packed))
        .Bytes(compressed_.data(), packed)
        .Close();
    index.length = fileOffset_ + pending_.size() - index.offset;

    const uint64_t indexesStart = fileOffset_ + pending_.size();
    for (const auto& [channel, entries] : chunkMessages_) {
        index.messageIndexOffsets[channel] = fileOffset_ + pending_.size();
        Record messageIndex(pending_);
        messageIndex.Begin(kMessageIndex).Int(channel);
        const size_t mark = messageIndex.Mark();
        for (const auto& [time, offset] : entries) messageIndex.Int(time).Int(offset);
        messageIndex.CloseLength(mark);
        messageIndex.Close();
    }
    index.messageIndexLength = fileOffset_ + pending_.size() - indexesStart;
    chunks_.push_back(std::move(index));
    chunk_.clear();
    chunkMessages_.clear();
    return Flush();
}

bool McapWriter::Close() {
    if (fd_ < 0)
        return false;
    if (messageCount_ == 0) {
        pending_.insert(pending_.end(), schemaRecords_.begin(), schemaRecords_.end());
        pending_.insert(pending_.end(), channelRecords_.begin(), channelRecords_.end());
    }
    if (!FlushChunk())
        return false;
    Record(pending_).Begin(kDataEnd).Int(uint32_t{0}).Close();  // no data section CRC

    const uint64_t summaryStart = fileOffset_ + pending_.size();
    std::vector<uint8_t> summary;
    struct Group {
        uint8_t opcode;
        uint64_t start, length;
    };
    std::vector<Group> groups;
    const auto group = [&](uint8_t opcode, size_t from) {
        if (summary.size() > from)
            groups.push_back({opcode, summaryStart + from, summary.size() - from});
    };
    summary.insert(summary.end(), schemaRecords_.begin(), schemaRecords_.end());
    group(kSchema, 0);
    size_t from = summary.size();
    summary.insert(summary.end(), channelRecords_.begin(), channelRecords_.end());
    group(kChannel, from);

    from = summary.size();
    Record statistics(summary);
    statistics.Begin(kStatistics)
        .Int(messageCount_)
        .Int(schemaCount_)
        .Int(static_cast<uint32_t>(channelCount_))
        .Int(uint32_t{0})  // attachments
        .Int(uint32_t{0})  // metadata
        .Int(static_cast<uint32_t>(chunks_.size()))
        .Int(firstTime_)
        .Int(lastTime_);
    const size_t counts = statistics.Mark();
    for (const auto& [channel, count] : channelMessages_) statistics.Int(channel).Int(count);
    statistics.CloseLength(counts);
    statistics.Close();
    group(kStatistics, from);

    from = summary.size();
    for (const ChunkIndex& index : chunks_) {
        Record chunkIndex(summary);
        chunkIndex.Begin(kChunkIndex)
            .Int(index.startTime)
            .Int(index.endTime)
            .Int(index.offset)
            .Int(index.length);
        const size_t offsets = chunkIndex.Mark();
        for (const auto& [channel, offset] : index.messageIndexOffsets)
            chunkIndex.Int(channel).Int(offset);
        chunkIndex.CloseLength(offsets);
        chunkIndex.Int(index.messageIndexLength)
            .String(kCompression)
            .Int(index.compressedSize)
            .Int(index.uncompressedSize)
            .Close();
    }
    group(kChunkIndex, from);

    const uint64_t summaryOffsetStart = summaryStart + summary.size();
    for (const Group& g : groups)
        Record(summary).Begin(kSummaryOffset).Int(g.opcode).Int(g.start).Int(g.length).Close();
    // The summary's CRC covers it up to the footer's field before the CRC, so the footer's
    // length is written out first.
    Record footer(summary);
    footer.Int(kFooter).Int(kFooterLength).Int(summaryStart).Int(summaryOffsetStart);
    footer.Int(Crc32(summary.data(), summary.size()));
    summary.insert(summary.end(), std::begin(kMagic), std::end(kMagic));
    if (!Put(summary) || !Flush())
        return false;

    if (fsync(fd_) != 0)
        return Fail(WithReason("cannot write " + path_));
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return Fail(WithReason("cannot write " + path_));
    if (std::rename(tempPath_.c_str(), path_.c_str()) != 0)
        return Fail(WithReason("cannot rename " + tempPath_ + " to " + path_));
    tempPath_.clear();
    // The rename itself reaches the disk with the folder.
    const size_t slash = path_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path_.substr(0, slash + 1);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        ::close(dir);
    }
    ZSTD_freeCCtx(zstd_);
    zstd_ = nullptr;
    return true;
}

void McapWriter::Discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty())
        unlink(tempPath_.c_str());
    tempPath_.clear();
    ZSTD_freeCCtx(zstd_);
    zstd_ = nullptr;
    pending_.clear();
    schemaRecords_.clear();
    channelRecords_.clear();
    schemaCount_ = channelCount_ = 0;
    sequences_.clear();
    channelMessages_.clear();
    messageCount_ = firstTime_ = lastTime_ = 0;
    chunk_.clear();
    chunkMessages_.clear();
    chunks_.clear();
    fileOffset_ = 0;
}

bool McapWriter::Put(const std::vector<uint8_t>& bytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    return pending_.size() < kWriteBlock || Flush();
}

bool McapWriter::Flush() {
    const uint8_t* at = pending_.data();
    size_t left = pending_.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_, at, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return Fail(WithReason("cannot write " + path_));
        }
        at += written;
        left -= static_cast<size_t>(written);
    }
    fileOffset_ += pending_.size();
    pending_.clear();
    return true;
}

bool McapWriter::Fail(const std::string& reason) {
    Discard();
    error_ = reason;
    return false;
}

}  // namespace record
