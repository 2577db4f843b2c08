#pragma once

// Cuts the scanner's text lines out of the received byte stream for the log: only runs of
// printable ASCII survive, so measurement packets (their last byte has bit 7 set) break any
// line they fall into. Both programs use it; what a line then does is the caller's.

#include <cstdint>
#include <functional>

class TTextLineAssembler {
public:
    static constexpr int kLineCapacity = 100;
    static constexpr int kShortestLine = 5;  // a line end passes only longer lines

    // Full: the buffer reached its capacity and goes out as a piece of a longer line.
    // Ended: a CR or LF closed the line.
    enum class LineEnd { Full, Ended };
    // line is NUL-terminated; length excludes the terminator.
    using Emit = std::function<void(const char* line, int length, LineEnd end)>;

    // The partial line persists between calls, so a line may arrive in any number of chunks.
    void AssembleTextLines(const uint8_t* bytes, int count, const Emit& emit);

    int PendingLength() const { return length_; }

private:
    void Flush(const Emit& emit, LineEnd end);

    char line_[kLineCapacity + 1] = {};
    int length_ = 0;
};
