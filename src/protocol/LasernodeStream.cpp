#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Lasernode.h"
#include "LinkCounts.h"
#include "PacketLayout.h"
#include "ScannerInterface.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// DecodeStream works a word at a time where the buffer allows it. The word paths give exactly
// the result of the byte-by-byte rules: a skipped run of end marks is a run of single skips,
// and a packet is checked, decoded and accepted as the per-kind decoders do.

// The helpers are inlined into each processor variant of DecodeStream.
#define VYK_INLINE inline __attribute__((always_inline))

namespace {

constexpr uint8_t kEndMark = 0x80;
constexpr uint64_t kWordEndMarks = 0x8080808080808080ull;
constexpr uint64_t kTwoPackets4 = 0x8000000080000000ull;
constexpr int kWindow = 64;
constexpr int kWindowUse = kWindow - 8;  // packets starting here still end inside the window

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "LoadWord puts the first byte lowest");
static_assert(offsetof(ScanPoint, laser) == 0 && offsetof(ScanPoint, angle) == 2 &&
                  offsetof(ScanPoint, distance) == 4,
              "StoreHead writes laser, angle and distance as one word");

VYK_INLINE uint64_t LoadWord(const uint8_t* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// laser, the padding byte, angle and distance in one store; aux1..aux3 stay untouched.
VYK_INLINE void StoreHead(ScanPoint& point, uint8_t laser, int16_t angle, int32_t distance) {
    const uint64_t head = laser | (uint64_t{static_cast<uint16_t>(angle)} << 16) |
                          (uint64_t{static_cast<uint32_t>(distance)} << 32);
    std::memcpy(&point, &head, sizeof head);
}

VYK_INLINE int SentCheck(uint64_t word) {
    return static_cast<int>((word >> 4) & 7);
}

// Whether a packet of 3..5 bytes (end index 2..4) at the word passes its check; a two-byte
// group (end 1) never does. Most packets of a damaged stream fail here, so it is branch-free.
VYK_INLINE bool PassesCheck(uint64_t word, int end) {
    const uint64_t checkedBytes = ((uint64_t{1} << (8 * end)) - 1) << 8;
    return ((__builtin_popcountll(word & checkedBytes) & 7) == SentCheck(word)) & (end >= 2);
}

// The link's figures are gathered on the way; the plain decode gets the same code with every
// count compiled away. What is common (packets) costs one add; skipped bytes are counted where
// the decoder skips them, a window's worth at a time from its masks.
struct NoCount {
    static constexpr bool kCounts = false;
    explicit NoCount(LinkCounts*) {}
    VYK_INLINE void Packet(int, bool, bool) {}
    VYK_INLINE void Four(const ScanPoint*, int) {}
    VYK_INLINE void Accepted(const ScanPoint&, bool) {}
    VYK_INLINE void Text(int, int) {}
    VYK_INLINE void Skipped(int) {}
    VYK_INLINE void SkippedInWindow(uint64_t, uint64_t, int) {}
};

// Counts in locals, added to the caller's figures once the call is done. Made inside the
// decode, so that its counters stay in registers.
struct Count {
    static constexpr bool kCounts = true;
    explicit Count(LinkCounts* counts) : counts_(*counts) {}
    ~Count() {
        counts_.skippedBytes += skipped_;
        counts_.refusedPackets += refused_;
        counts_.textLines += textLines_;
        counts_.statusLines += statusLines_;
    }
    // A packet by its end index; a two-byte group (end 1) is no packet. A line's CR LF with the
    // end mark the scanner sends after it is taken for a 3-byte packet, and is no damage.
    VYK_INLINE void Packet(int end, bool passes, bool afterText) {
        refused_ += !passes & (end >= 2) & !afterText;
    }
    // markers: whether any of the four is a 0-degree marker.
    VYK_INLINE void Four(const ScanPoint* points, int markers) {
        if (markers) {
            for (int i = 0; i < 4; ++i) Accepted(points[i], true);
        }
    }
    VYK_INLINE void Accepted(const ScanPoint& point, bool accepted) {
        if (accepted && point.angle == scanner::kInfoZeroDegree)
            counts_.NoteMarker(point.distance);
    }
    VYK_INLINE void Text(int lines, int statusLines) {
        textLines_ += lines;
        statusLines_ += statusLines;
    }
    VYK_INLINE void Skipped(int bytes) { skipped_ += bytes; }
    // The end marks skipped one by one and the two-byte groups among the window's first used
    // bytes.
    VYK_INLINE void SkippedInWindow(uint64_t singleMarks, uint64_t groups, int used) {
        const uint64_t below = used >= 64 ? ~uint64_t{0} : (uint64_t{1} << used) - 1;
        skipped_ +=
            __builtin_popcountll(singleMarks & below) + 2 * __builtin_popcountll(groups & below);
    }

private:
    LinkCounts& counts_;
    int64_t skipped_ = 0;
    int64_t refused_ = 0;
    int64_t textLines_ = 0;
    int64_t statusLines_ = 0;
};

template <class Counter>
VYK_INLINE int ScanText(Counter& counter, ScanPoint* points, int capacity, const uint8_t* bytes,
                        int count) {
    if (count < TLaserDecode::kMinTextSegment)
        return 0;
    int lines = 0;
    const int accepted = TLaserDecode::ScanTextLines(points, capacity, bytes, count,
                                                     Counter::kCounts ? &lines : nullptr);
    counter.Text(lines, accepted);
    return accepted;
}

#if defined(__SSE2__)
// Four 4-byte packets at once. Returns false, having written nothing, unless all four pass
// their check and are accepted; the caller then takes them one by one.
template <class Counter>
VYK_INLINE bool DecodeFour4(Counter& counter, ScanPoint* points, const uint8_t* bytes,
                            int32_t distanceLimit) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i low3 = _mm_set1_epi32(7);
    __m128i bits = _mm_srli_epi32(v, 8);
    bits = _mm_sub_epi32(bits, _mm_and_si128(_mm_srli_epi32(bits, 1), _mm_set1_epi32(0x55555555)));
    bits = _mm_add_epi32(_mm_and_si128(bits, _mm_set1_epi32(0x33333333)),
                         _mm_and_si128(_mm_srli_epi32(bits, 2), _mm_set1_epi32(0x33333333)));
    bits = _mm_and_si128(_mm_add_epi32(bits, _mm_srli_epi32(bits, 4)), _mm_set1_epi32(0x0F0F0F0F));
    bits = _mm_add_epi32(_mm_add_epi32(bits, _mm_srli_epi32(bits, 8)), _mm_srli_epi32(bits, 16));
    const __m128i checkOk =
        _mm_cmpeq_epi32(_mm_and_si128(bits, low3), _mm_and_si128(_mm_srli_epi32(v, 4), low3));

    const __m128i distance =
        _mm_or_si128(_mm_or_si128(_mm_slli_epi32(_mm_and_si128(v, _mm_set1_epi32(15)), 8),
                                  _mm_and_si128(_mm_srli_epi32(v, 7), _mm_set1_epi32(0xFE))),
                     _mm_and_si128(_mm_srli_epi32(v, 22), _mm_set1_epi32(1)));
    const __m128i angle = _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 9), _mm_set1_epi32(63 << 7)),
                                       _mm_and_si128(_mm_srli_epi32(v, 24), _mm_set1_epi32(127)));
    const __m128i accepted =
        _mm_or_si128(_mm_cmplt_epi32(distance, _mm_set1_epi32(distanceLimit)),
                     _mm_cmpgt_epi32(angle, _mm_set1_epi32(scanner::kInfoFirst - 1)));
    if (_mm_movemask_epi8(_mm_and_si128(checkOk, accepted)) != 0xFFFF)
        return false;

    // Each record's head: laser 0 and padding in the low half, angle above, then distance.
    const __m128i headLow = _mm_slli_epi32(angle, 16);
    const __m128i first = _mm_unpacklo_epi32(headLow, distance);
    const __m128i second = _mm_unpackhi_epi32(headLow, distance);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&points[0]), first);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&points[1]), _mm_unpackhi_epi64(first, first));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&points[2]), second);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&points[3]), _mm_unpackhi_epi64(second, second));
    if (Counter::kCounts) {
        counter.Four(points, _mm_movemask_epi8(
                                 _mm_cmpeq_epi32(angle, _mm_set1_epi32(scanner::kInfoZeroDegree))));
    }
    return true;
}
#endif

// Bit i tells whether byte i of the 64 from bytes on is an end mark.
VYK_INLINE uint64_t EndMarkBits(const uint8_t* bytes) {
#if defined(__SSE2__)
    uint64_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * i));
        bits |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(v))} << (16 * i);
    }
    return bits;
#else
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) {
        const uint64_t marks = (LoadWord(bytes + 8 * i) >> 7) & 0x0101010101010101ull;
        bits |= ((marks * 0x0102040810204080ull) >> 56) << (8 * i);
    }
    return bits;
#endif
}

// A run of 4-byte packets, the scanner's usual stream. Takes packets that start before
// startLimit while at least eight bytes remain and the array has room; returns the bytes used.
template <class Counter>
VYK_INLINE int DecodeRun4(Counter& counter, ScanPoint* points, int capacity, int& written,
                          const uint8_t* bytes, int count, int startLimit, int32_t distanceLimit) {
    int used = 0;
    int n = written;
    while (used + 8 <= count && used < startLimit && n < capacity) {
#if defined(__SSE2__)
        if (used + 16 <= count && used + 12 < startLimit && n + 4 <= capacity &&
            _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + used))) ==
                0x8888 &&
            DecodeFour4(counter, points + n, bytes + used, distanceLimit)) {
            n += 4;
            used += 16;
            continue;
        }
#endif
        const uint64_t word = LoadWord(bytes + used);
        if ((word & kWordEndMarks & 0xFFFFFFFFu) != 0x80000000u)
            break;
        const bool passes = PassesCheck(word, 3);
        counter.Packet(3, passes, false);
        const bool accepted =
            passes && packetlayout::DecodeChecked4(points[n], bytes + used, distanceLimit);
        counter.Accepted(points[n], accepted);
        n += accepted;
        used += 4;
    }
    written = n;
    return used;
}

template <class Counter>
VYK_INLINE int Decode(ScanPoint* points, int capacity, const uint8_t* bytes, int count,
                      int32_t distanceLimit, const TLaserDecode::ProgressReport& progress,
                      Counter& counter) {
    constexpr int kProgressStepShift = TLaserDecode::kProgressStepShift;
    constexpr int kMinTextSegment = TLaserDecode::kMinTextSegment;
    const uint8_t* pos = bytes;
    int remaining = count;
    int written = 0;
    int lastStep = 0;
    const bool reportProgress = static_cast<bool>(progress);
    const uint8_t* textEnd = nullptr;  // where the packet after the last text segment starts
    auto advance = [&](int n) {
        pos += n;
        remaining -= n;
    };
    // Called before each packet or text segment that starts ahead bytes after pos, never for
    // a skipped end mark.
    auto report = [&](int ahead) {
        if (!reportProgress)
            return;
        const int step = (count - remaining + ahead) >> kProgressStepShift;
        if (step != lastStep) {
            lastStep = step;
            progress(TLaserDecode::kProgressLabel, step, count >> kProgressStepShift);
        }
    };
    // A packet at pos needs no report when it starts before the next step boundary.
    auto bytesBeforeNextStep = [&] {
        if (!reportProgress)
            return remaining;
        const int64_t boundary = int64_t{lastStep + 1} << kProgressStepShift;
        return static_cast<int>(boundary - (count - remaining));
    };

    while (remaining > 2 && written < capacity) {
        if (remaining >= kWindow && capacity - written >= kWindow) {
            // Short packets, as a noisy stream has them, are found in a bit mask of the next
            // 64 bytes. Each maximal run of bytes without an end mark starts one packet, so
            // the packets of a window are taken one after the other straight from the mask.
            // Runs of 4-byte packets and packets that end past the window are left to the exact
            // path below. A window cannot yield more records than it has bytes, so the room
            // was checked once.
            const uint64_t marks = EndMarkBits(pos);
            uint64_t packetStarts = ~marks & ((marks << 1) | 1);
            // A run of one byte is a two-byte group, which only moves on. Dropped here, its
            // progress report falls to the next packet, which is the same unless a step
            // boundary lies in this window.
            if (!reportProgress ||
                ((count - remaining + kWindow) >> kProgressStepShift) == lastStep) {
                packetStarts &= ~(marks >> 1);
            }
            const uint64_t singleMarks = marks & ((marks << 1) | 1);
            const uint64_t groups = ~marks & ((marks << 1) | 1) & (marks >> 1);
            int at = kWindow;  // with no packet start left, the rest is end marks to skip
            bool handOver = false;
            while (packetStarts) {
                const int start = __builtin_ctzll(packetStarts);
                const uint64_t ends = marks >> start;
                // The top bit stands in for a missing end: such a packet goes to the exact path.
                const int end = __builtin_ctzll(ends | (uint64_t{1} << 63));
                if (start > kWindowUse) {
                    at = start;
                    break;
                }
                if (start + end >= kWindow - 1 || (ends & 0xFF) == 0x88) {
                    at = start;
                    handOver = true;
                    break;
                }
                report(start);
                packetStarts &= packetStarts - 1;
                if (end <= 4) {
                    const bool passes = PassesCheck(LoadWord(pos + start), end);
                    counter.Packet(end, passes, pos + start == textEnd);
                    if (passes) {
                        const bool accepted = packetlayout::DecodeChecked(
                            points[written], end, pos + start, distanceLimit);
                        counter.Accepted(points[written], accepted);
                        written += accepted;
                    }
                } else {
                    // Text up to two bytes before the end mark; those two start the next packet.
                    if (end - 2 >= kMinTextSegment) {
                        written += ScanText(counter, points + written, capacity - written,
                                            pos + start, end - 2);
                    }
                    packetStarts |= uint64_t{1} << (start + end - 2);
                    textEnd = pos + start + end - 2;
                }
            }
            counter.SkippedInWindow(singleMarks, groups, at);
            advance(at);
            if (!handOver)
                continue;
        }

        if (*pos & kEndMark) {
            counter.Skipped(1);
            advance(1);
            continue;
        }
        report(0);
        if (remaining >= 8 && (LoadWord(pos) & kWordEndMarks) == kTwoPackets4) {
            advance(DecodeRun4(counter, points, capacity, written, pos, remaining,
                               bytesBeforeNextStep(), distanceLimit));
            continue;
        }
        const int end = TLaserDecode::FindPacketEnd(pos, remaining);
        if (end == remaining) {
            return written +
                   ScanText(counter, points + written, capacity - written, pos, remaining);
        }
        if (end == 1) {
            counter.Skipped(2);
            advance(2);
        } else if (end <= 4) {
            const bool passes =
                TLaserDecode::PacketCheck(pos, end + 1) == packetlayout::SentCheck(pos);
            counter.Packet(end, passes, pos == textEnd);
            const bool accepted =
                passes && packetlayout::DecodeChecked(points[written], end, pos, distanceLimit);
            counter.Accepted(points[written], accepted);
            written += accepted;
            advance(end + 1);
        } else {
            written += ScanText(counter, points + written, capacity - written, pos, end - 2);
            advance(end - 2);
            textEnd = pos;
        }
    }
    // Up to two bytes at the very end are never looked at; a full array drops the rest.
    if (remaining <= 2)
        counter.Skipped(remaining);
    return written;
}

#if defined(__x86_64__) || defined(__i386__)
// The popcount instruction, where the processor has it, makes the checks cheap. The variant is
// picked at run time by hand rather than by an ifunc, which sanitizer runtimes cannot start with.
template <class Counter>
__attribute__((target("popcnt"))) int DecodeWithPopcount(
    ScanPoint* points, int capacity, const uint8_t* bytes, int count, int32_t distanceLimit,
    const TLaserDecode::ProgressReport& progress, LinkCounts* counts) {
    Counter counter(counts);
    return Decode(points, capacity, bytes, count, distanceLimit, progress, counter);
}
#endif

template <class Counter>
int DecodePortable(ScanPoint* points, int capacity, const uint8_t* bytes, int count,
                   int32_t distanceLimit, const TLaserDecode::ProgressReport& progress,
                   LinkCounts* counts) {
    Counter counter(counts);
    return Decode(points, capacity, bytes, count, distanceLimit, progress, counter);
}

template <class Counter>
int DecodeOnProcessor(ScanPoint* points, int capacity, const uint8_t* bytes, int count,
                      int32_t distanceLimit, const TLaserDecode::ProgressReport& progress,
                      LinkCounts* counts) {
#if defined(__x86_64__) || defined(__i386__)
    static const bool popcount = __builtin_cpu_supports("popcnt");
    if (popcount) {
        return DecodeWithPopcount<Counter>(points, capacity, bytes, count, distanceLimit, progress,
                                           counts);
    }
#endif
    return DecodePortable<Counter>(points, capacity, bytes, count, distanceLimit, progress, counts);
}

}  // namespace

int TLaserDecode::DecodeStream(ScanPoint* points, int capacity, const uint8_t* bytes, int count,
                               int32_t distanceLimit) const {
    return DecodeOnProcessor<NoCount>(points, capacity, bytes, count, distanceLimit, progress_,
                                      nullptr);
}

int TLaserDecode::DecodeStream(ScanPoint* points, int capacity, const uint8_t* bytes, int count,
                               int32_t distanceLimit, LinkCounts& counts) const {
    const int written =
        DecodeOnProcessor<Count>(points, capacity, bytes, count, distanceLimit, progress_, &counts);
    counts.records += written;
    return written;
}
