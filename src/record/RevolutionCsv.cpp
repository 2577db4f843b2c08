#include "RevolutionCsv.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

#include "FileReplace.h"
#include "Graphgeometry.h"
#include "ScannerInterface.h"

namespace record {
namespace {

constexpr size_t kFlushBytes = size_t{1} << 20;
constexpr size_t kLongestRow = 128;

// The rows of each revolution the feed hands over, written in large pieces. Numbers are
// formatted without the locale, which could make the decimal point a comma.
class CsvRows : public ScanReceiver {
public:
    CsvRows(ReplacingFile& file, int firstRevolution, double byteRate)
        : file_(file), revolution_(firstRevolution), byteRate_(byteRate) {
        buffer_.reserve(kFlushBytes + kLongestRow);
        Append(kRevolutionCsvHeader, std::strlen(kRevolutionCsvHeader));
    }

    bool Marker(uint64_t bytePosition) override {
        ++revolution_;
        seconds_ = static_cast<double>(bytePosition) / byteRate_;
        return written_.ok;
    }

    void Sample(int angle, int32_t distance) override {
        if (angle < 0 || angle >= scanner::kAnglesPerTurn || distance <= 0 || !written_.ok)
            return;
        double sine;
        double cosine;
        vykgraph::BearingSinCos(angle, sine, cosine);
        char row[kLongestRow];
        char* at = row;
        char* const end = row + sizeof row;
        at = std::to_chars(at, end, revolution_).ptr;
        *at++ = ',';
        at = std::to_chars(at, end, seconds_, std::chars_format::fixed, 6).ptr;
        *at++ = ',';
        at = std::to_chars(at, end, angle / 16.0, std::chars_format::fixed, 4).ptr;
        *at++ = ',';
        at = std::to_chars(at, end, distance).ptr;
        *at++ = ',';
        at = std::to_chars(at, end, distance * sine, std::chars_format::fixed, 2).ptr;
        *at++ = ',';
        at = std::to_chars(at, end, distance * cosine, std::chars_format::fixed, 2).ptr;
        *at++ = '\n';
        Append(row, static_cast<size_t>(at - row));
    }

    WriteResult Flush() {
        if (written_.ok && !buffer_.empty()) {
            written_ = file_.Write(buffer_.data(), buffer_.size());
            buffer_.clear();
        }
        return written_;
    }

private:
    void Append(const char* bytes, size_t count) {
        buffer_.insert(buffer_.end(), bytes, bytes + count);
        if (buffer_.size() >= kFlushBytes)
            Flush();
    }

    ReplacingFile& file_;
    int revolution_;  // counted from 1
    const double byteRate_;
    double seconds_ = 0;
    std::vector<char> buffer_;
    WriteResult written_;
};

}  // namespace

FeedOutcome WriteRevolutionCsv(const RecordingSet& set, const RevolutionSpan& span,
                               const RevolutionCsvOptions& options, const QString& path,
                               const ExportProgress& progress) {
    FeedOutcome outcome;
    ReplacingFile file;
    WriteResult written = file.Open(path);
    if (!written) {
        outcome.result = FeedResult::Failed;
        outcome.reason = written.reason;
        return outcome;
    }
    CsvRows rows(file, span.first, options.byteRate);
    outcome = FeedRevolutions(set, span, options.distanceLimit, rows, progress);
    // Otherwise the file goes with its writer; a feed the rows stopped failed in a write.
    if (outcome.result == FeedResult::Cancelled || !outcome.reason.isEmpty())
        return outcome;
    written = rows.Flush();
    if (written && outcome.result == FeedResult::Done)
        written = file.Commit();
    if (!written) {
        outcome.result = FeedResult::Failed;
        outcome.reason = written.reason;
        return outcome;
    }
    return outcome;
}

}  // namespace record
