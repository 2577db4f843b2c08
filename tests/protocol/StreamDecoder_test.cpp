#include "StreamDecoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "HostileStream.h"
#include "Laserencode.h"
#include "ScannerInterface.h"

namespace {

using hostile::Add;
using hostile::Bytes;
using hostile::ExpectSame;
using hostile::OneArray;

// The decoder fed in pieces of random sizes, writing on into one zeroed array as the live loop
// does into its point buffer; the stream ends after the last piece.
std::vector<ScanPoint> Streamed(const Bytes& bytes, int32_t limit, std::mt19937& random,
                                size_t maxPiece, LinkCounts* counts = nullptr) {
    std::vector<ScanPoint> points(bytes.size() / 3 + 2, ScanPoint{});
    StreamDecoder decoder(limit);
    decoder.CountInto(counts);
    int used = 0;
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t piece = std::min(bytes.size() - at, 1 + random() % maxPiece);
        EXPECT_LE(decoder.RoomFor(piece), static_cast<int>(points.size()) - used + 1);
        used += decoder.Decode(bytes.data() + at, piece, points.data() + used,
                               static_cast<int>(points.size()) - used);
        at += piece;
    }
    used += decoder.EndBuffer(points.data() + used, static_cast<int>(points.size()) - used);
    points.resize(used);
    return points;
}

Bytes Packets(int n) {
    Bytes bytes;
    for (int i = 0; i < n; ++i) Add(bytes, laserencode::EncodePacket4(100 + i, i));
    return bytes;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes bytes;
    for (const Bytes& p : parts) bytes.insert(bytes.end(), p.begin(), p.end());
    return bytes;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

TEST(StreamDecoder, HostileStreamsInPiecesDecodeAsOneCall) {
    std::mt19937 random(7);
    const int32_t limits[] = {6000, 1000, 0, -1};
    const size_t pieces[] = {1, 5, 16, 25, 64, 700, 10000};
    for (int round = 0; round < 300; ++round) {
        const Bytes bytes = hostile::Stream(random() % 6000, random);
        const int32_t limit = limits[round % std::size(limits)];
        const std::vector<ScanPoint> want = OneArray({bytes}, limit);
        for (size_t piece : pieces) {
            ExpectSame(Streamed(bytes, limit, random, piece), want,
                       "round " + std::to_string(round) + " pieces up to " + std::to_string(piece));
        }
    }
}

// Each case cut in two at every offset, fed a byte at a time and whole.
TEST(StreamDecoder, CutsThatOneCallWouldNotMake) {
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"status line then a packet whose aux fields were never written",
         Join({Text("#CARTF4,12,0x1A,7,9\r\n"), Packets(20), Text("#CARTE5,1,2,3,4\r\n"),
               Packets(20)})},
        {"status line in a slot a 3-byte packet of laser 2 was offered",
         Join({Packets(5), Bytes{0x74, 0x01, 0x9F}, Text("#CARTE5,1,2,3,4\r\n"), Packets(5)})},
        {"long text, no end mark until the end",
         Join({Packets(3), Text(std::string(90, 'a') + "#CARTF4,5,6,7,8\n" + std::string(90, 'b') +
                                "#CARTE1,9,9,9,9")})},
        {"a long stretch without '#', then a short line",
         Join({Packets(2), Text(std::string(150, '0') + "#CARTF4,1"), Packets(2)})},
        {"a short line alone after a long stretch: searched only as part of it",
         Text(std::string(120, ' ') + "#CARTF4,1")},
        {"one long status line",
         Join({Packets(4), Text("#CARTF4," + std::string(300, ' ') + "1 2,0x10,3,4"), Packets(4)})},
        {"lines cut only by '#'",
         Join({Text("#CARTF4,1,2,3,4#CARTF5,5,6,7,8#CARTF6,9,9,9,9#CARTF7,1,1,1,1"), Packets(3)})},
        {"a 4-byte packet after text loses its head",
         Join({Text("#CARTF4,1,2,3,4\r\n"), Packets(6)})},
        {"a line ending in CR LF, then a short line before the next packet",
         Join({Packets(2), Text("#CARTF4,1,2,3,4\r\n#CARTE1,1"), Packets(2)})},
        {"end marks only", Bytes(100, 0x80)},
        {"no end mark at all, under eleven bytes", Text("#CARTF4,12")},
    };
    std::mt19937 random(9);
    for (const auto& [name, bytes] : cases) {
        const std::vector<ScanPoint> want = OneArray({bytes}, 6000);
        ExpectSame(Streamed(bytes, 6000, random, 1), want, name + ", byte by byte");
        ExpectSame(Streamed(bytes, 6000, random, bytes.size() + 1), want, name + ", whole");
        for (size_t cut = 1; cut < bytes.size(); ++cut) {
            std::vector<ScanPoint> got(bytes.size() / 3 + 2, ScanPoint{});
            StreamDecoder decoder;
            int used = decoder.Decode(bytes.data(), cut, got.data(), static_cast<int>(got.size()));
            used += decoder.Decode(bytes.data() + cut, bytes.size() - cut, got.data() + used,
                                   static_cast<int>(got.size()) - used);
            used += decoder.EndBuffer(got.data() + used, static_cast<int>(got.size()) - used);
            got.resize(used);
            ExpectSame(got, want, name + ", cut at " + std::to_string(cut));
        }
    }
}

// Only what may still change waits: a packet's head, or text whose line may go on.
TEST(StreamDecoder, HoldsBackOnlyTheUnfinishedTail) {
    const struct {
        const char* what;
        Bytes bytes;
        size_t held;
    } cases[] = {
        {"whole packets", Packets(3), 0},
        {"a packet's head", Join({Packets(3), Bytes{0x30, 0x09}}), 2},
        {"a line not yet ended", Join({Packets(1), Text("#CARTF4,12,0x1A")}), 15},
        {"an ended line, and the bytes after it that lines need",
         Join({Packets(1), Text("#CARTF4,12,0x1A,7,9\r\n0123456789abc")}), 13},
    };
    for (const auto& c : cases) {
        StreamDecoder decoder;
        std::vector<ScanPoint> points(100);
        decoder.Decode(c.bytes.data(), c.bytes.size(), points.data(), 100);
        EXPECT_EQ(decoder.Held(), c.held) << c.what;
    }
}

TEST(StreamDecoder, ResetDropsTheTailOfTheOldStream) {
    StreamDecoder decoder;
    std::vector<ScanPoint> points(10);
    const Bytes head{0x30, 0x09, 0x00};
    decoder.Decode(head.data(), head.size(), points.data(), 10);
    decoder.Reset();
    const Bytes next = Packets(2);
    EXPECT_EQ(decoder.Decode(next.data(), next.size(), points.data(), 10), 2)
        << "the old head would have swallowed the first packet";
    EXPECT_EQ(points[0].distance, 100);
}

// Garbage without end marks or line ends would otherwise be held without end.
TEST(StreamDecoder, HeldTextStaysWithinItsLimit) {
    StreamDecoder decoder(6000, 1000);
    std::vector<ScanPoint> points(4000);
    const Bytes line = Text("#CARTF4," + std::string(5000, ' '));
    for (size_t at = 0; at < line.size(); at += 100) {
        decoder.Decode(line.data() + at, std::min<size_t>(100, line.size() - at), points.data(),
                       4000);
        EXPECT_LT(decoder.Held(), 1000u);
    }
}

std::vector<ScanPoint> Plain(const Bytes& bytes) {
    std::vector<ScanPoint> points(bytes.size() / 3 + 1, ScanPoint{});
    points.resize(TLaserDecode().DecodeStream(points.data(), static_cast<int>(points.size()),
                                              bytes.data(), static_cast<int>(bytes.size()),
                                              scanner::kDefaultDistanceLimit));
    return points;
}

Bytes Turns(std::initializer_list<int> counters, int samples) {
    Bytes bytes;
    for (int counter : counters) {
        Add(bytes, laserencode::EncodePacket4(counter, scanner::kInfoZeroDegree));
        Bytes turn = Packets(samples);
        bytes.insert(bytes.end(), turn.begin(), turn.end());
    }
    return bytes;
}

// Each counter moves by exactly what was put into the stream.
TEST(StreamDecoderCounts, EachCounterMovesByWhatTheStreamHolds) {
    auto flipped = laserencode::EncodePacket4(1234, 100);
    flipped[2] ^= 0x04;
    const struct {
        const char* what;
        Bytes bytes;
        int64_t revolutions, missing, skipped, refused, statusLines, textLines;
    } cases[] = {
        {"clean turns", Turns({0, 1, 2}, 10), 3, 0, 0, 0, 0, 0},
        {"two turns missing", Turns({0, 1, 4}, 10), 3, 2, 0, 0, 0, 0},
        {"the counter wraps at 2048", Turns({2046, 2047, 0, 1}, 5), 4, 0, 0, 0, 0, 0},
        {"one lost across the wrap", Turns({2047, 1}, 5), 2, 1, 0, 0, 0, 0},
        {"a repeated marker loses nothing", Turns({5, 5, 6}, 5), 3, 0, 0, 0, 0, 0},
        {"stray end marks", Join({Packets(3), Bytes{0x80, 0x80, 0x80}, Packets(3)}), 0, 0, 3, 0, 0,
         0},
        {"a two-byte group", Join({Packets(3), Bytes{0x05, 0x9F}, Packets(3)}), 0, 0, 2, 0, 0, 0},
        {"a flipped bit", Join({Packets(3), Bytes(flipped.begin(), flipped.end()), Packets(3)}), 0,
         0, 0, 1, 0, 0},
        {"a status line and a reply",
         Join({Text("#CARTF4,12,0x1A,7,9\r\n"), Bytes{0x80}, Packets(2),
               Text("#RSDIS,100,3000\r\n"), Bytes{0x80}, Packets(2)}),
         0, 0, 0, 0, 1, 2},
    };
    for (const auto& c : cases) {
        LinkCounts counts;
        std::mt19937 random(3);
        const std::vector<ScanPoint> records = Streamed(c.bytes, 6000, random, 7, &counts);
        EXPECT_EQ(counts.bytes, static_cast<int64_t>(c.bytes.size())) << c.what;
        EXPECT_EQ(counts.records, static_cast<int64_t>(records.size())) << c.what;
        EXPECT_EQ(counts.revolutions, c.revolutions) << c.what;
        EXPECT_EQ(counts.missingRevolutions, c.missing) << c.what;
        EXPECT_EQ(counts.skippedBytes, c.skipped) << c.what;
        EXPECT_EQ(counts.refusedPackets, c.refused) << c.what;
        EXPECT_EQ(counts.statusLines, c.statusLines) << c.what;
        EXPECT_EQ(counts.textLines, c.textLines) << c.what;
    }
}

// Counting changes no record, and pieces count what one call over all the bytes counts.
TEST(StreamDecoderCounts, PiecesCountAsOneCallAndDecodeAlike) {
    std::mt19937 random(11);
    for (int round = 0; round < 100; ++round) {
        const Bytes bytes = hostile::Stream(random() % 6000, random);
        LinkCounts whole;
        std::vector<ScanPoint> counted(bytes.size() / 3 + 1, ScanPoint{});
        counted.resize(TLaserDecode().DecodeStream(counted.data(), static_cast<int>(counted.size()),
                                                   bytes.data(), static_cast<int>(bytes.size()),
                                                   scanner::kDefaultDistanceLimit, whole));
        ExpectSame(counted, Plain(bytes), "round " + std::to_string(round));
        for (size_t piece : {1, 9, 300}) {
            LinkCounts pieces;
            Streamed(bytes, 6000, random, piece, &pieces);
            const std::string what =
                "round " + std::to_string(round) + " pieces " + std::to_string(piece);
            EXPECT_EQ(pieces.records, whole.records) << what;
            EXPECT_EQ(pieces.revolutions, whole.revolutions) << what;
            EXPECT_EQ(pieces.missingRevolutions, whole.missingRevolutions) << what;
            EXPECT_EQ(pieces.skippedBytes, whole.skippedBytes) << what;
            EXPECT_EQ(pieces.refusedPackets, whole.refusedPackets) << what;
            EXPECT_EQ(pieces.statusLines, whole.statusLines) << what;
            EXPECT_EQ(pieces.textLines, whole.textLines) << what;
        }
    }
}

}  // namespace
