#pragma once

// A one-line progress bar for a command-line tool, redrawn on stderr when the share changes.

#include <cstdint>
#include <iosfwd>

class ProgressBar {
public:
    // A disabled bar writes nothing: stderr is not a terminal.
    ProgressBar(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}

    void Start(uint64_t total);
    void Update(uint64_t done);
    // Clears the line, so that what follows starts on an empty one.
    void Finish();

private:
    std::ostream& out_;
    const bool enabled_;
    uint64_t total_ = 0;
    int shown_ = -1;  // percent on the line, -1 before the first draw
};
