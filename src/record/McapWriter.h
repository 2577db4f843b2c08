#pragma once

// A small MCAP writer: messages in zstd chunks with message indexes, then a summary with
// schemas, channels, statistics and chunk indexes, so that indexed readers can seek. The file
// is written under a temporary name beside its path and takes that path only when complete.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

typedef struct ZSTD_CCtx_s ZSTD_CCtx;

namespace record {

class McapWriter {
public:
    struct Options {
        std::string profile;
        std::string library;
        size_t chunkSize = size_t{1} << 20;  // uncompressed bytes that close a chunk
        int zstdLevel = 1;
    };

    McapWriter();
    // Removes the temporary file of a writer that was not closed.
    ~McapWriter();
    McapWriter(const McapWriter&) = delete;
    McapWriter& operator=(const McapWriter&) = delete;

    // Creates the temporary file beside path and writes the header.
    bool Open(const std::string& path, const Options& options);
    // Ids start at 1; schemas and channels go before any message.
    uint16_t AddSchema(const std::string& name, const std::string& encoding,
                       const std::string& data);
    uint16_t AddChannel(uint16_t schemaId, const std::string& topic,
                        const std::string& messageEncoding);
    bool WriteMessage(uint16_t channelId, uint64_t logTime, uint64_t publishTime,
                      const uint8_t* data, size_t size);
    // Writes the last chunk and the summary, syncs the file and renames it to its path.
    bool Close();
    // Stops at once and removes the temporary file; the path is left as it was.
    void Discard();

    uint64_t MessageCount() const { return messageCount_; }
    // The system's reason after a failure.
    const std::string& Error() const { return error_; }
    // The name the file has until Close renames it; empty when no file is open.
    const std::string& TemporaryPath() const { return tempPath_; }

private:
    // Per channel: log time and offset in the chunk of each message.
    using MessageIndex = std::map<uint16_t, std::vector<std::pair<uint64_t, uint64_t>>>;
    struct ChunkIndex {
        uint64_t startTime, endTime, offset, length;
        std::map<uint16_t, uint64_t> messageIndexOffsets;
        uint64_t messageIndexLength, compressedSize, uncompressedSize;
    };

    bool FlushChunk();
    bool Put(const std::vector<uint8_t>& bytes);
    bool Flush();
    bool Fail(const std::string& what);

    Options options_;
    std::string path_;
    std::string tempPath_;
    int fd_ = -1;
    uint64_t fileOffset_ = 0;  // bytes handed to Put so far
    std::vector<uint8_t> pending_;
    std::vector<uint8_t> schemaRecords_;
    std::vector<uint8_t> channelRecords_;
    uint16_t schemaCount_ = 0;
    uint16_t channelCount_ = 0;
    std::vector<uint32_t> sequences_;  // per channel, index id - 1
    std::map<uint16_t, uint64_t> channelMessages_;
    uint64_t messageCount_ = 0;
    uint64_t firstTime_ = 0;
    uint64_t lastTime_ = 0;

    std::vector<uint8_t> chunk_;
    std::vector<uint8_t> compressed_;
    MessageIndex chunkMessages_;
    uint64_t chunkStart_ = 0;
    uint64_t chunkEnd_ = 0;
    std::vector<ChunkIndex> chunks_;
    ZSTD_CCtx* zstd_ = nullptr;
    std::string error_;
};

}  // namespace record
