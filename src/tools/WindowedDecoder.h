#pragma once

// Decodes a stream of any length in bounded memory, giving exactly the records that one
// DecodeStream call over each whole buffer would write into one zeroed array.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "Lasernode.h"

class WindowedDecoder {
public:
    // Takes each batch of records in stream order; the pointer is valid during the call only.
    using RecordSink = std::function<void(const ScanPoint* records, size_t count)>;

    static constexpr size_t kDefaultWindow = size_t{1} << 20;

    // chunk 0: each buffer is decoded as one call; chunk N: as consecutive calls over N-byte
    // pieces, as the live console does with serial reads. The window is the number of bytes
    // held before decoding; it grows only for a text line longer than itself.
    WindowedDecoder(int32_t distanceLimit, int chunk, RecordSink sink,
                    size_t window = kDefaultWindow);

    // More bytes of the current buffer.
    void Append(const uint8_t* bytes, size_t count);
    // The current buffer ends here; the next Append starts a new one, whose records follow
    // in the same array.
    void EndBuffer();

private:
    void DecodeHeld();
    void DecodeFront(size_t count);

    const TLaserDecode decoder_;
    const int32_t distanceLimit_;
    const size_t chunk_;
    const RecordSink sink_;
    size_t window_;
    size_t inBuffer_ = 0;            // bytes of the current buffer appended so far
    std::vector<uint8_t> held_;      // bytes from a point where the one-call decode starts a pass
    std::vector<ScanPoint> points_;  // slot 0 is the array's next free slot
};
