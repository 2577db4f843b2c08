#include "DecodeCli.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>

#include <sys/stat.h>

#include "ArchiveInput.h"

namespace decodecli {
namespace {

constexpr char kUsage[] = "usage: vyk-decode [--limit CM] [--chunk BYTES] FILE\n";
constexpr char kHelp[] =
    "Decodes a recorded scanner stream into one CSV line per record, after the header\n"
    "laser,angle,distance,aux1,aux2,aux3. FILE is a raw stream or a ZIP recording (told by\n"
    "its content), whose entries are decoded in order, each as a buffer of its own.\n"
    "\n"
    "  --limit CM     distance limit in cm (default 6000, any signed 32-bit integer)\n"
    "  --chunk BYTES  decode in consecutive pieces of this size, as the live console does\n"
    "                 (a packet cut by a piece boundary is lost); default: the file as one\n"
    "  --help         this text\n"
    "\n"
    "A progress bar shows on stderr when it is a terminal and the records go elsewhere.\n"
    "Exit status: 0 done, 1 the file cannot be read, a damaged archive or a refused entry,\n"
    "or the output cannot be written,\n"
    "2 a bad option.\n";
constexpr size_t kReadSize = size_t{1} << 20;

template <typename T>
bool ParseNumber(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& args, Options& options) {
    bool haveFile = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help") {
            options.help = true;
        } else if (arg == "--limit" || arg == "--chunk") {
            if (i + 1 == args.size())
                return false;
            const std::string& value = args[++i];
            if (arg == "--limit") {
                if (!ParseNumber(value, options.distanceLimit))
                    return false;
            } else if (!ParseNumber(value, options.chunk) || options.chunk < 1) {
                return false;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return false;
        } else if (haveFile) {
            return false;
        } else {
            options.file = arg;
            haveFile = true;
        }
    }
    return haveFile || options.help;
}

bool FeedFile(const std::string& path, WindowedDecoder& decoder, const CsvWriter& output,
              ProgressBar& progress, std::string& error) {
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (fstat(fileno(file.get()), &info) == 0 && S_ISREG(info.st_mode))
        progress.Start(static_cast<uint64_t>(info.st_size));
    std::vector<uint8_t> bytes(kReadSize);
    uint64_t done = 0;
    while (!output.Failed()) {
        const size_t count = std::fread(bytes.data(), 1, bytes.size(), file.get());
        if (count == 0 && std::ferror(file.get())) {
            error = std::strerror(errno);
            return false;
        }
        if (count == 0)
            break;
        decoder.Append(bytes.data(), count);
        done += count;
        progress.Update(done);
    }
    decoder.EndBuffer();
    return true;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool showProgress) {
    Options options;
    if (!ParseArguments(args, options)) {
        err << kUsage;
        return kUsageError;
    }
    const auto writeFailed = [&err](const std::string& reason) {
        err << "vyk-decode: cannot write the output: " << reason << '\n';
        return kFileError;
    };
    if (options.help) {
        errno = 0;
        out << kUsage << kHelp << std::flush;
        return out ? kOk : writeFailed(std::strerror(errno != 0 ? errno : EIO));
    }
    CsvWriter output(out);
    WindowedDecoder decoder(
        options.distanceLimit, options.chunk,
        [&output](const ScanPoint* records, size_t count) { output.Write(records, count); });
    ProgressBar progress(err, showProgress);
    std::string error;
    const bool read = IsArchive(options.file)
                          ? FeedArchive(options.file, decoder, output, progress, error)
                          : FeedFile(options.file, decoder, output, progress, error);
    progress.Finish();
    if (!read) {
        err << "vyk-decode: cannot read " << options.file << ": " << error << '\n';
        return kFileError;
    }
    if (!output.Flush())
        return writeFailed(output.Error());
    return kOk;
}

}  // namespace decodecli
