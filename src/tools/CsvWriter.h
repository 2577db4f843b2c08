#pragma once

// Writes decoded records as CSV lines under one header, through a large buffer.

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "Lasernode.h"

class CsvWriter {
public:
    static constexpr char kHeader[] = "laser,angle,distance,aux1,aux2,aux3\n";
    static constexpr size_t kDefaultBuffer = size_t{1} << 20;

    explicit CsvWriter(std::ostream& out, size_t bufferSize = kDefaultBuffer);

    // Does nothing once a write has failed.
    void Write(const ScanPoint* records, size_t count);
    // Hands everything buffered to the stream and flushes it; false once any write failed.
    bool Flush();
    bool Failed() const { return error_ != 0; }
    // The system's reason for the failed write.
    std::string Error() const;

private:
    std::ostream& out_;
    std::vector<char> buffer_;
    size_t used_ = 0;
    int error_ = 0;
};
