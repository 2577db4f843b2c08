#include "DecodeCli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>

#include <sys/stat.h>

#include "ArchiveInput.h"
#include "CommandLine.h"
#include "CsvWriter.h"
#include "McapExport.h"
#include "RecordFeed.h"
#include "ZipArchive.h"

namespace decodecli {
namespace {

constexpr char kUsage[] =
    "usage: vyk-decode [--limit CM] [--chunk BYTES] [--stats | --stats-only] FILE\n"
    "       vyk-decode --mcap OUT [--limit CM] [--baud N] [--bins N] [--frame ID]\n"
    "                  [--start UNIX_SECONDS] FILE";
constexpr char kHelp[] =
    "Decodes a recorded scanner stream into one CSV line per record, after the header\n"
    "laser,angle,distance,aux1,aux2,aux3. FILE is a raw stream or a ZIP recording (told by\n"
    "its content), whose entries are decoded in order, each as a buffer of its own. FILE -\n"
    "reads standard input (a raw stream; an archive must be a file).\n"
    "\n"
    "  --limit CM     distance limit in cm (default 6000, any signed 32-bit integer)\n"
    "  --chunk BYTES  decode consecutive pieces of this size, each alone, for comparisons\n"
    "                 (a packet cut by a piece boundary is lost); default: the file as one\n"
    "  --stats        after the records, the link's figures on stderr: bytes, records,\n"
    "                 revolutions, missing revolutions (by the marker's counter), skipped\n"
    "                 bytes, packets refused by their check bits, status and text lines\n"
    "  --stats-only   the figures alone, no records\n"
    "  --help         this text\n"
    "  --version      the program's version\n"
    "\n"
    "With --mcap the recording, all its entries as one continuous stream, becomes the MCAP file\n"
    "OUT for ROS 2 and Foxglove: one sensor_msgs/msg/LaserScan message on /scan per complete\n"
    "revolution, in ROS conventions (angles counter-clockwise from the 0 degree bearing).\n"
    "\n"
    "  --baud N              line rate of the recording, for the time stamps (default 230400)\n"
    "  --bins N              bins of a scan, 1..5760 (default 720)\n"
    "  --frame ID            frame_id of the scans (default laser)\n"
    "  --start UNIX_SECONDS  time of the recording's first byte (default: estimated from the\n"
    "                        first archive entry's time, 0 for a raw file)\n"
    "\n"
    "A progress bar shows on stderr when it is a terminal and the records go elsewhere.\n"
    "Exit status: 0 done, 1 the file cannot be read, a damaged archive or a refused entry,\n"
    "or the output cannot be written,\n"
    "2 a bad option.\n";
constexpr size_t kReadSize = size_t{1} << 20;
constexpr int kMaxBins = 5760;
constexpr uint64_t kNanosecondsPerSecond = 1000000000;
// A ROS 2 time keeps its seconds in 32 signed bits.
constexpr uint64_t kMaxStartSeconds = 0x7FFFFFFF;

// Whole seconds with up to nine decimals, read exactly into nanoseconds.
bool ParseStart(const std::string& text, uint64_t& nanoseconds) {
    const size_t dot = text.find('.');
    uint64_t seconds = 0;
    if (!cli::ParseNumber(text.substr(0, dot), seconds) || seconds > kMaxStartSeconds)
        return false;
    uint64_t fraction = 0;
    if (dot != std::string::npos) {
        std::string digits = text.substr(dot + 1);
        if (digits.empty() || digits.size() > 9 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        digits.resize(9, '0');
        cli::ParseNumber(digits, fraction);
    }
    nanoseconds = seconds * kNanosecondsPerSecond + fraction;
    return true;
}

// CSV output: each entry is decoded as a buffer of its own.
class CsvSink : public record::StreamSink {
public:
    CsvSink(RecordFeed& decoder, const CsvWriter& output) : decoder_(decoder), output_(output) {}
    void Append(const uint8_t* bytes, size_t count) override { decoder_.Append(bytes, count); }
    void EndEntry() override { decoder_.EndBuffer(); }
    bool Failed() const override { return output_.Failed(); }

private:
    RecordFeed& decoder_;
    const CsvWriter& output_;
};

}  // namespace

bool FeedInput(const std::string& path, record::StreamSink& sink, ProgressBar& progress,
               std::string& error) {
    const bool standardInput = path == "-";
    const std::unique_ptr<FILE, int (*)(FILE*)> opened(
        standardInput ? nullptr : std::fopen(path.c_str(), "rb"), &std::fclose);
    FILE* file = standardInput ? stdin : opened.get();
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info {};
    const bool regular = fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode);
    std::vector<uint8_t> bytes(kReadSize);
    // The first read tells an archive; a stream keeps these bytes as its beginning.
    size_t count = std::fread(bytes.data(), 1, bytes.size(), file);
    if (count == 0 && std::ferror(file)) {
        error = std::strerror(errno);
        return false;
    }
    if (record::LooksLikeZip(bytes.data(), count)) {
        // The archive's directory is at its end: it is read by seeking, which a pipe cannot.
        if (!regular) {
            error = "an archive must be a file, not a pipe or a device";
            return false;
        }
        return FeedArchive(standardInput ? "/dev/stdin" : path, sink, progress, error);
    }
    if (regular)
        progress.Start(static_cast<uint64_t>(info.st_size));
    uint64_t done = 0;
    while (count > 0 && !sink.Failed()) {
        sink.Append(bytes.data(), count);
        done += count;
        progress.Update(done);
        count = std::fread(bytes.data(), 1, bytes.size(), file);
        if (count == 0 && std::ferror(file)) {
            error = std::strerror(errno);
            return false;
        }
    }
    sink.EndEntry();
    return true;
}

std::string StatsText(const LinkCounts& counts) {
    const std::pair<const char*, int64_t> lines[] = {
        {"bytes", counts.bytes},
        {"records", counts.records},
        {"revolutions", counts.revolutions},
        {"missing revolutions", counts.missingRevolutions},
        {"skipped bytes", counts.skippedBytes},
        {"refused packets", counts.refusedPackets},
        {"status lines", counts.statusLines},
        {"text lines", counts.textLines},
    };
    std::string text;
    for (const auto& [name, value] : lines)
        text += std::string(name) + ": " + std::to_string(value) + '\n';
    return text;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool showProgress, bool outIsTerminal) {
    Options options;
    bool mcapOnly = false;  // an option that means something only with --mcap
    const auto mcapOption = [&mcapOnly](cli::Option option) {
        return cli::Option{option.name, true,
                           [&mcapOnly, take = option.take](const std::string& v) {
                               mcapOnly = true;
                               return take(v);
                           }};
    };
    const auto frame = [&options](const std::string& value) {
        options.frame = value;
        return true;
    };
    const auto start = [&options](const std::string& value) {
        options.haveStart = true;
        return ParseStart(value, options.start);
    };
    const cli::Parsed parsed = cli::ParseOptions(
        {cli::Number("--limit", options.distanceLimit), cli::Number("--chunk", options.chunk, 1),
         cli::Flag("--stats", options.stats), cli::Flag("--stats-only", options.statsOnly),
         cli::Text("--mcap", options.mcap), mcapOption(cli::Number("--baud", options.baud, 1)),
         mcapOption(cli::Number("--bins", options.bins, 1, kMaxBins)),
         mcapOption({"--frame", true, frame}), mcapOption({"--start", true, start})},
        args);
    const auto writeFailed = [&err](const std::string& reason) {
        err << "vyk-decode: cannot write the output: " << reason << '\n';
        return kFileError;
    };
    const cli::Program program{"vyk-decode", kUsage, kHelp};
    errno = 0;
    if (const auto status = cli::Answer(program, parsed, out, err)) {
        if (*status == kOk && !out)
            return writeFailed(std::strerror(errno != 0 ? errno : EIO));
        return *status;
    }
    if (parsed.arguments.size() != 1)
        return cli::UsageError(program, "one FILE expected", err);
    options.file = parsed.arguments.front();
    // The MCAP file is made of the whole stream, never of the live console's pieces.
    const bool mcap = !options.mcap.empty();
    if (mcapOnly && !mcap)
        return cli::UsageError(program, "--baud, --bins, --frame and --start go with --mcap", err);
    if (mcap && (options.chunk > 0 || options.stats || options.statsOnly))
        return cli::UsageError(program, "--chunk and --stats do not go with --mcap", err);
    if (!options.mcap.empty())
        return ConvertToMcap(options, err, showProgress);
    CsvWriter output(out);
    LinkCounts counts;
    const bool records = !options.statsOnly;
    const bool stats = options.stats || options.statsOnly;
    RecordFeed decoder(
        options.distanceLimit, options.chunk,
        [&output, records](const ScanPoint* batch, size_t count) {
            if (records)
                output.Write(batch, count);
        },
        stats ? &counts : nullptr);
    // On a terminal that also shows the records, the bar would break their lines.
    ProgressBar progress(err, showProgress && !(outIsTerminal && records));
    CsvSink sink(decoder, output);
    std::string error;
    const bool read = FeedInput(options.file, sink, progress, error);
    progress.Finish();
    if (!read) {
        err << "vyk-decode: cannot read " << options.file << ": " << error << '\n';
        return kFileError;
    }
    if (records && !output.Flush())
        return writeFailed(output.Error());
    if (stats)
        err << StatsText(counts) << std::flush;
    return kOk;
}

}  // namespace decodecli
