#pragma once

// Reads the comma-separated numbers of the scanner's text lines without passing a line's end.

#include <cstdint>

class TextFieldReader {
public:
    TextFieldReader(const uint8_t* line, int length, int start)
        : line_(line), length_(length), pos_(start) {}

    // Unsigned decimal that wraps: digits accumulate, blanks are skipped, anything else ends it.
    uint32_t ReadDecimal() {
        uint32_t value = 0;
        for (; !AtEnd(); Next()) {
            const uint8_t c = Peek();
            if (c >= '0' && c <= '9') {
                value = value * 10 + (c - '0');
            } else if (c != ' ') {
                break;
            }
        }
        return value;
    }

    // Moves just past the next comma, or to the end.
    void SkipPastComma() {
        while (!AtEnd() && Peek() != ',') Next();
        if (!AtEnd())
            Next();
    }

    bool AtEnd() const { return pos_ >= length_; }
    uint8_t Peek() const { return line_[pos_]; }
    void Next() { ++pos_; }

private:
    const uint8_t* line_;
    int length_;
    int pos_;
};
