#include "RecordCli.h"

#include <signal.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <ostream>

#include "ComPorts.h"
#include "CommandLine.h"
#include "CommandLinePort.h"
#include "IniFile.h"
#include "Logfile.h"
#include "OpenFailure.h"
#include "PortReconnect.h"
#include "SerialDevice.h"
#include "SystemError.h"

namespace recordcli {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr char kUsage[] =
    "usage: vyk-record [--baud N] [--duration S] [--segment-bytes N] PORT NAME";

constexpr char kHelp[] =
    "Records the byte stream of a VYK-10 scanner as the console records it: segment files of\n"
    "--segment-bytes packed into NAME.Zip, 100 to an archive, then NAME.001.Zip and on. The\n"
    "archives are the console's; its history replay and vyk-decode read them.\n"
    "\n"
    "  --baud N           line rate, 8N1 without flow control (default 230400)\n"
    "  --duration S       stop after S seconds (default: at SIGINT, SIGTERM or SIGHUP)\n"
    "  --segment-bytes N  segment size (default 33554432)\n"
    "  --help             this text\n"
    "  --version          the program's version\n"
    "\n"
    "PORT is COMn (mapped as the programs map it, also by [Ports] keys of vyk-record.ini in the\n"
    "XDG config folder) or a device path beginning with \"/\". NAME is the recording's path; its\n"
    "extension is replaced. The line is purged when the port opens; a port that goes away is\n"
    "opened again once a second. A write or pack that fails ends the recording at once; what was\n"
    "recorded before stays in the archive, or in the segment file that could not be packed.\n"
    "On a terminal, one status line on stderr: bytes, rate, segment, free space.\n"
    "\n"
    "Exit status: 0 stopped and packed; 1 a file of NAME exists; 2 bad option; 3 a write or pack\n"
    "failed; 4 the port cannot be opened.\n";

constexpr int kChunkSize = 10000;  // the console's receive chunk
// A signal or the end of --duration is noticed within this time.
constexpr uint32_t kSliceMs = 100;
constexpr uint32_t kReadGapMs = 5;
constexpr milliseconds kStatusEvery{1000};

volatile sig_atomic_t stopSignal = 0;

void RequestStop(int signal) {
    stopSignal = signal;
}

void InstallSignals() {
    struct sigaction action = {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
    // A closed stderr or a file size limit must not kill the recording before it packs.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

std::string Utf8(const QString& text) {
    return text.toStdString();
}

QString PortsIniPath(const std::string& portsIni) {
    if (!portsIni.empty())
        return QString::fromStdString(portsIni);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/vyk-record.ini");
}

QString PortDevice(const std::string& port, const std::string& portsIni) {
    const QString name = QString::fromLocal8Bit(port.c_str());
    if (name.startsWith('/'))
        return name;
    const IniFile ini(PortsIniPath(portsIni));
    return ComDevicePath(ComNumber(name), &ini);
}

class RecordPort {
public:
    // False with errno's value in error.
    bool Open(const QString& device, int baud, int& error) {
        if (!device_.Open(device)) {
            error = errno;
            return false;
        }
        CommTimeouts timeouts;
        timeouts.readInterval = kReadGapMs;
        timeouts.readTotalConstant = kSliceMs;
        error = cli::SetUpScannerLine(device_, baud, timeouts);
        return error == 0;
    }

    bool IsOpen() const { return device_.IsOpen(); }
    void Close() { device_.Close(); }

    // What arrived within a slice; failure set once the line is gone.
    IoResult Read(uint8_t* chunk) { return device_.Read(chunk, kChunkSize); }

private:
    SerialDevice device_;
};

std::string FaultText(const record::LogStatus& status) {
    const record::LogFault& fault = status.lastFault;
    const std::string path = Utf8(fault.path);
    const std::string reason = Utf8(fault.reason);
    std::string text;
    switch (fault.kind) {
        case record::LogFault::Kind::Create:
            text = "cannot create " + path + ": " + reason;
            break;
        case record::LogFault::Kind::Write:
            text = "writing " + path + " failed: " + reason;
            break;
        case record::LogFault::Kind::Pack:
            text = "cannot pack " + path + ": " + reason;
            break;
        case record::LogFault::Kind::Keep:
            text = path + " was in the way (" + reason + "), renamed to " + Utf8(fault.keptAs);
            break;
        case record::LogFault::Kind::None:
            break;
    }
    if (status.lostBytes > 0)
        text += " (" + std::to_string(status.lostBytes) + " bytes lost)";
    return text;
}

// One line on stderr, redrawn in place; nothing unless stderr is a terminal.
class StatusLine {
public:
    StatusLine(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}

    void Show(int64_t bytes, double bytesPerSecond, const QString& segment) {
        if (!enabled_)
            return;
        char text[160];
        std::snprintf(text, sizeof text, "%lld bytes  %.1f kB/s  %s  %s free",
                      static_cast<long long>(bytes), bytesPerSecond / 1000,
                      Utf8(QFileInfo(segment).fileName()).c_str(),
                      FreeSpace(QFileInfo(segment).absolutePath()).c_str());
        err_ << '\r' << text << "\033[K" << std::flush;
        shown_ = true;
    }

    void Clear() {
        if (shown_)
            err_ << "\r\033[K" << std::flush;
        shown_ = false;
    }

private:
    static std::string FreeSpace(const QString& folder) {
        struct statvfs disk = {};
        if (statvfs(QFile::encodeName(folder).constData(), &disk) != 0)
            return "?";
        const double bytes = static_cast<double>(disk.f_bavail) * disk.f_frsize;
        char text[32];
        if (bytes >= 1e9)
            std::snprintf(text, sizeof text, "%.1f GB", bytes / 1e9);
        else
            std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
        return text;
    }

    std::ostream& err_;
    const bool enabled_;
    bool shown_ = false;
};

int Record(const Options& options, const QString& device, std::ostream& err) {
    RecordPort port;
    int error = 0;
    if (!port.Open(device, options.baud, error)) {
        err << "vyk-record: " << OpenFailedText(Utf8(device), error, OpenFailureStyle::Dialog)
            << '\n';
        return kPortError;
    }
    record::TLogFile log(QString::fromLocal8Bit(options.name.c_str()),
                         std::min(record::kLogBufferSize, options.segmentBytes),
                         options.segmentBytes, record::kArchiveCount);
    if (!log.HasBuffer()) {
        err << "vyk-record: no memory for the recording's buffer\n";
        return kWriteError;
    }
    StatusLine status(err, isatty(STDERR_FILENO) == 1);
    bool failed = false;
    log.onFault = [&](const record::LogStatus& now) {
        status.Clear();
        err << "vyk-record: " << FaultText(now) << '\n';
        // A file moved aside loses nothing; the recording goes on.
        if (now.lastFault.kind != record::LogFault::Kind::Keep)
            failed = true;
    };

    std::vector<uint8_t> chunk(kChunkSize);
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(options.duration));
    auto lastTry = start;
    auto lastStatus = start;
    int64_t total = 0;
    int64_t totalAtStatus = 0;
    while (!stopSignal && !failed) {
        const auto now = Clock::now();
        if (options.duration > 0 && now >= end)
            break;
        if (now - lastStatus >= kStatusEvery) {
            const double seconds = std::chrono::duration<double>(now - lastStatus).count();
            status.Show(total, (total - totalAtStatus) / seconds, log.SegmentPath());
            lastStatus = now;
            totalAtStatus = total;
        }
        if (!port.IsOpen()) {
            if (now - lastTry < milliseconds(PortReconnect::kRetryMs)) {
                usleep(kSliceMs * 1000);
                continue;
            }
            lastTry = now;
            if (port.Open(device, options.baud, error)) {
                status.Clear();
                err << "vyk-record: " << Utf8(device) << " is back, recording goes on\n";
            }
            continue;
        }
        const IoResult read = port.Read(chunk.data());
        if (read.count > 0) {
            total += read.count;
            log.WriteStream(chunk.data(), read.count);
        }
        if (read.failure != IoFailure::None && read.error != EINTR && !stopSignal) {
            status.Clear();
            err << "vyk-record: " << Utf8(device) << " went away ("
                << Utf8(SystemErrorText(read.error)) << "), opening it again once a second\n";
            port.Close();
            lastTry = Clock::now();
        }
    }
    log.CloseLog();
    status.Clear();
    if (failed) {
        err << "vyk-record: stopped after " << total << " bytes; the "
            << total - log.Status().lostBytes << " recorded before the failure are kept\n";
        return kWriteError;
    }
    return kOk;
}

cli::Parsed Parse(const std::vector<std::string>& args, Options& options) {
    const auto duration = [&options](const std::string& text) {
        return cli::ParseNumber(text, options.duration) && options.duration > 0 &&
               options.duration < 1e9;
    };
    cli::Parsed parsed =
        cli::ParseOptions({cli::Number("--baud", options.baud, 1),
                           {"--duration", true, duration},
                           cli::Number("--segment-bytes", options.segmentBytes, 1)},
                          args);
    if (parsed.outcome != cli::Parsed::Outcome::Run)
        return parsed;
    if (parsed.arguments.size() != 2) {
        parsed.outcome = cli::Parsed::Outcome::BadUse;
        parsed.error = "PORT and NAME expected";
        return parsed;
    }
    options.port = parsed.arguments[0];
    options.name = parsed.arguments[1];
    return parsed;
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& args, Options& options) {
    return Parse(args, options).outcome != cli::Parsed::Outcome::BadUse;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const std::string& portsIni) {
    Options options;
    const cli::Parsed parsed = Parse(args, options);
    const cli::Program program{"vyk-record", kUsage, std::string("\n") + kHelp};
    if (const auto status = cli::Answer(program, parsed, out, err))
        return *status;
    const QString existing =
        record::ExistingRecordingFile(QString::fromLocal8Bit(options.name.c_str()));
    if (!existing.isEmpty()) {
        err << "vyk-record: " << Utf8(existing) << " 已经存在！ (it would be overwritten)\n";
        return kNameExists;
    }
    // A mistyped folder fails now, not at the first write some seconds into the recording.
    const QString folder = QFileInfo(QString::fromLocal8Bit(options.name.c_str())).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        err << "vyk-record: cannot record into " << Utf8(folder) << ": "
            << Utf8(SystemErrorText(ENOENT)) << '\n';
        return kWriteError;
    }
    const QString device = PortDevice(options.port, portsIni);
    if (device.isEmpty()) {
        err << "vyk-record: " << options.port << " is not a serial port\n";
        return kPortError;
    }
    stopSignal = 0;
    InstallSignals();
    return Record(options, device, err);
}

}  // namespace recordcli
