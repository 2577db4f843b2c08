#include "CsvWriter.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ostream>

namespace {

// laser, angle and four 32-bit fields with their signs and separators.
constexpr size_t kMaxLine = 3 + 6 + 4 * 11 + 6;

char* Field(char* at, char* end, int32_t value, char separator) {
    at = std::to_chars(at, end, value).ptr;
    *at = separator;
    return at + 1;
}

}  // namespace

CsvWriter::CsvWriter(std::ostream& out, size_t bufferSize)
    : out_(out), buffer_(std::max(bufferSize, sizeof kHeader + kMaxLine)) {
    used_ = sizeof kHeader - 1;
    std::memcpy(buffer_.data(), kHeader, used_);
}

void CsvWriter::Write(const ScanPoint* records, size_t count) {
    if (Failed())
        return;
    char* const begin = buffer_.data();
    char* const end = begin + buffer_.size();
    char* at = begin + used_;
    for (size_t i = 0; i < count; ++i) {
        if (static_cast<size_t>(end - at) < kMaxLine) {
            used_ = static_cast<size_t>(at - begin);
            if (!Flush())
                return;
            at = begin;
        }
        const ScanPoint& p = records[i];
        at = Field(at, end, p.laser, ',');
        at = Field(at, end, p.angle, ',');
        at = Field(at, end, p.distance, ',');
        at = Field(at, end, p.aux1, ',');
        at = Field(at, end, p.aux2, ',');
        at = Field(at, end, p.aux3, '\n');
    }
    used_ = static_cast<size_t>(at - begin);
}

bool CsvWriter::Flush() {
    if (Failed())
        return false;
    errno = 0;
    out_.write(buffer_.data(), static_cast<std::streamsize>(used_));
    out_.flush();
    used_ = 0;
    if (!out_)
        error_ = errno != 0 ? errno : EIO;
    return !Failed();
}

std::string CsvWriter::Error() const {
    return std::strerror(error_);
}
