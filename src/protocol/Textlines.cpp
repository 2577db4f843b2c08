#include "Textlines.h"

void TTextLineAssembler::AssembleTextLines(const uint8_t* bytes, int count, const Emit& emit) {
    for (int i = 0; i < count; ++i) {
        if (length_ == kLineCapacity)
            Flush(emit, LineEnd::Full);
        const uint8_t c = bytes[i];
        if (c == '\r' || c == '\n') {
            if (length_ >= kShortestLine)
                Flush(emit, LineEnd::Ended);
            length_ = 0;
        } else if (c < 32 || c > 127) {
            length_ = 0;
        } else {
            line_[length_++] = static_cast<char>(c);
        }
    }
}

void TTextLineAssembler::Flush(const Emit& emit, LineEnd end) {
    line_[length_] = '\0';
    emit(line_, length_, end);
    length_ = 0;
}
