#include "DecodeCli.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>

namespace decodecli {
namespace {

constexpr char kUsage[] = "usage: vyk-decode [--limit CM] [--chunk BYTES] FILE";

template <typename T>
bool ParseNumber(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& args, Options& options) {
    bool haveFile = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--limit" || arg == "--chunk") {
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
    return haveFile;
}

std::vector<ScanPoint> DecodeBuffer(const std::vector<uint8_t>& bytes, int32_t distanceLimit,
                                    int chunk) {
    std::vector<ScanPoint> points(bytes.size() / 3 + 1, ScanPoint{});
    const TLaserDecode decoder;
    const size_t step = chunk > 0 ? static_cast<size_t>(chunk) : bytes.size();
    size_t used = 0;
    for (size_t offset = 0; offset < bytes.size(); offset += step) {
        const size_t length = std::min(step, bytes.size() - offset);
        used +=
            decoder.DecodeStream(points.data() + used, static_cast<int>(points.size() - used),
                                 bytes.data() + offset, static_cast<int>(length), distanceLimit);
    }
    points.resize(used);
    return points;
}

void WriteCsv(const std::vector<ScanPoint>& points, std::ostream& out) {
    out << "laser,angle,distance,aux1,aux2,aux3\n";
    std::string line;
    char number[16];
    const auto field = [&](int64_t value, char separator) {
        const auto end = std::to_chars(number, number + sizeof number, value).ptr;
        line.append(number, end);
        line.push_back(separator);
    };
    for (const ScanPoint& p : points) {
        field(p.laser, ',');
        field(p.angle, ',');
        field(p.distance, ',');
        field(p.aux1, ',');
        field(p.aux2, ',');
        field(p.aux3, '\n');
        if (line.size() > (1 << 16)) {
            out << line;
            line.clear();
        }
    }
    out << line;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options options;
    if (!ParseArguments(args, options)) {
        err << kUsage << '\n';
        return kUsageError;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadFile(options.file, bytes, error)) {
        err << "vyk-decode: cannot read " << options.file << ": " << error << '\n';
        return kFileError;
    }
    if (bytes.size() > static_cast<size_t>(INT_MAX)) {
        err << "vyk-decode: " << options.file << " is larger than 2 GiB\n";
        return kFileError;
    }
    WriteCsv(DecodeBuffer(bytes, options.distanceLimit, options.chunk), out);
    out.flush();
    return out ? kOk : kFileError;
}

}  // namespace decodecli
