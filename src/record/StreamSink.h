#pragma once

// Where a recording's bytes go: the bytes of a file, or of each archive entry in turn.

#include <cstddef>
#include <cstdint>

namespace record {

class StreamSink {
public:
    virtual ~StreamSink() = default;
    virtual void Append(const uint8_t* bytes, size_t count) = 0;
    // The file, or one entry of an archive, ends here.
    virtual void EndEntry() = 0;
    // True once the output has failed: reading stops early.
    virtual bool Failed() const = 0;
};

}  // namespace record
