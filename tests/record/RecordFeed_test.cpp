#include "RecordFeed.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "HostileStream.h"

namespace {

using hostile::Bytes;

// The feed given each buffer in pieces of random sizes.
std::vector<ScanPoint> Fed(const std::vector<Bytes>& buffers, int chunk, std::mt19937& random,
                           size_t maxPiece) {
    std::vector<ScanPoint> records;
    RecordFeed feed(6000, chunk,
                    [&](const ScanPoint* p, size_t n) { records.insert(records.end(), p, p + n); });
    for (const Bytes& bytes : buffers) {
        size_t at = 0;
        while (at < bytes.size()) {
            const size_t piece = std::min(bytes.size() - at, 1 + random() % maxPiece);
            feed.Append(bytes.data() + at, piece);
            at += piece;
        }
        feed.EndBuffer();
    }
    return records;
}

TEST(RecordFeed, ChunksAndBuffersDecodeAsConsecutiveCalls) {
    std::mt19937 random(8);
    for (int round = 0; round < 200; ++round) {
        std::vector<Bytes> buffers(1 + random() % 3);
        for (Bytes& b : buffers) b = hostile::Stream(random() % 3000, random);
        const int chunk = round % 4 == 0 ? 0 : 1 + static_cast<int>(random() % 1200);
        const std::vector<ScanPoint> want = hostile::OneArray(buffers, 6000, chunk);
        for (size_t piece : {7, 30, 100, 1000}) {
            hostile::ExpectSame(Fed(buffers, chunk, random, piece), want,
                                "round " + std::to_string(round) + " chunk " +
                                    std::to_string(chunk) + " pieces " + std::to_string(piece));
        }
    }
}

}  // namespace
