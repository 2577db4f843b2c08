#include "LineLog.h"

TLineLog::~TLineLog() {
    if (file_ != nullptr)
        std::fclose(file_);
}

bool TLineLog::Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
}

void TLineLog::Write(double seconds, char direction, const std::string& text) {
    if (file_ == nullptr)
        return;
    std::fprintf(file_, "%.3f %c ", seconds, direction);
    // Control and 8-bit bytes are written as \xHH so every entry stays one line.
    for (unsigned char c : text) {
        if (c < 32 || c > 126 || c == '\\') {
            std::fprintf(file_, "\\x%02X", c);
        } else {
            std::fputc(c, file_);
        }
    }
    std::fputc('\n', file_);
    std::fflush(file_);
}
