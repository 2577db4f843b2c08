#include "ZonesCli.h"

#include <unistd.h>

#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <charconv>
#include <chrono>
#include <ostream>

#include "IniFile.h"
#include "ProgressBar.h"
#include "ScannerInterface.h"
#include "SystemError.h"
#include "Zonecommands.h"
#include "Zonereplies.h"
#include "ZonesLink.h"
#include "Zonetable.h"
#include "Zonetransfer.h"

namespace zonescli {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr char kUsage[] =
    "usage: vyk-zones push [--baud N] [--dry-run] PORT INIFILE\n"
    "       vyk-zones pull [--baud N] PORT INIFILE";

constexpr char kHelp[] =
    "Configures VYK-05 scanners with the twelve protection zones and output levels of an INI\n"
    "file, or reads a scanner's zones back into one. The zone tool's own INI file works as it is.\n"
    "\n"
    "  push  stops the motor, then sends zone 0 to zone 11 as \"#IOL\", \"#SPR\" and \"#SU\" "
    "lines;\n"
    "        each line is sent again when no line ending in \"ok\" came within 960 ms, and given\n"
    "        up after 10 sends. A zone with a count above 5 is skipped with a warning.\n"
    "  pull  sends \"#RS\" and writes the zone reports into sections \"Protect\" and \"Poly0\" ..\n"
    "        \"Poly11\" of INIFILE, keeping every other section and key.\n"
    "\n"
    "  --baud N   line rate (default 115200)\n"
    "  --dry-run  push: open no port, print the lines that would be sent, one per line\n"
    "  --help     this text\n"
    "\n"
    "PORT is COMn (mapped as the programs map it, also by [Ports] keys of vyk-zones.ini in the\n"
    "XDG config folder) or a device path beginning with \"/\".\n"
    "\n"
    "Exit status: 0 done; 1 INIFILE cannot be read or written; 2 bad option; 3 a line was never\n"
    "acknowledged; 4 the port cannot be opened; 5 pull heard no zone report.\n";

// The zone tool's 32 ticks of 30 ms.
constexpr milliseconds kRepeat{TZoneTransfer::kTicksPerStep * 30};
constexpr int kMaxSends = 10;
constexpr milliseconds kQuietAfterReply{1000};
constexpr int kSliceMs = 20;

bool ParseNumber(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

std::string Printable(QByteArray line) {
    return line.trimmed().toStdString();
}

QString PortsIniPath(const std::string& portsIni) {
    if (!portsIni.empty())
        return QString::fromStdString(portsIni);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/vyk-zones.ini");
}

bool OpenLink(const Options& options, const std::string& portsIni, ZonesLink& link,
              std::ostream& err) {
    const QString port = QString::fromStdString(options.port);
    const QString device = PortDevice(port, PortsIniPath(portsIni));
    QString error;
    if (device.isEmpty()) {
        error = QStringLiteral("%1 is not a serial port").arg(port);
    } else if (link.Open(device, options.baud, error)) {
        return true;
    }
    err << "vyk-zones: " << error.toStdString() << '\n';
    return false;
}

// Feeds what arrived to the line assembler; false once the line is gone.
template <typename OnLine>
bool Listen(ZonesLink& link, TTextLineAssembler& assembler, OnLine onLine) {
    QByteArray bytes;
    const bool alive = link.Receive(bytes, kSliceMs);
    assembler.AssembleTextLines(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                static_cast<int>(bytes.size()), onLine);
    return alive;
}

int Push(const Options& options, const ZoneTable& table, std::ostream& out, std::ostream& err,
         const std::string& portsIni) {
    std::vector<QByteArray> lines;
    for (int z = 0; z < kZoneCount; ++z) {
        if (table.zones[z].count > ProtectZone::kPairs) {
            err << "vyk-zones: warning: zone " << z << " skipped, its count "
                << int(table.zones[z].count) << " is above 5\n";
            continue;
        }
        for (const QByteArray& line : ZoneCommandLines(table, z)) lines.push_back(line);
    }
    if (options.dryRun) {
        for (const QByteArray& line : lines) out << Printable(line) << '\n';
        return kOk;
    }

    ZonesLink link;
    if (!OpenLink(options, portsIni, link, err))
        return kPortError;
    TZoneTransfer transfer(link);
    ProgressBar progress(err, isatty(STDERR_FILENO) == 1);
    transfer.onProgress = [&progress](int done) { progress.Update(static_cast<uint64_t>(done)); };
    transfer.SendNow(scanner::kCmdMotorStop);
    for (const QByteArray& line : lines) transfer.QueueCommand(line);
    progress.Start(static_cast<uint64_t>(transfer.BeginUpload()));

    TTextLineAssembler assembler;
    const auto onLine = [&transfer](const char* line, int length, TTextLineAssembler::LineEnd end) {
        if (IsAcknowledgement(line, length, end))
            transfer.Acknowledge();
    };
    transfer.SendStep();
    auto repeatAt = Clock::now() + kRepeat;
    while (transfer.PendingCommands() > 0) {
        const bool alive = Listen(link, assembler, onLine);
        if (transfer.AckReceived()) {
            transfer.SendStep();
            repeatAt = Clock::now() + kRepeat;
        } else if (!alive || Clock::now() >= repeatAt) {
            if (!alive || transfer.HeadSends() >= kMaxSends) {
                progress.Finish();
                err << "vyk-zones: \"" << Printable(transfer.Head()) << "\" was never acknowledged";
                if (!alive)
                    err << ": " << SystemErrorText(link.LastError()).toStdString();
                err << '\n';
                return kNotAcknowledged;
            }
            transfer.SendStep();
            repeatAt = Clock::now() + kRepeat;
        }
    }
    progress.Finish();
    return kOk;
}

int Pull(const Options& options, ZoneTable& table, IniFile& ini, std::ostream& err,
         const std::string& portsIni) {
    ZonesLink link;
    if (!OpenLink(options, portsIni, link, err))
        return kPortError;
    link.Send(scanner::kCmdReadSettingsLine);

    int zoneReports = 0;
    auto quietAt = Clock::now() + kQuietAfterReply;
    TTextLineAssembler assembler;
    const auto onLine = [&](const char* line, int length, TTextLineAssembler::LineEnd) {
        const SettingsReply reply = ParseSettingsReply(line, length);
        if (reply.kind != ReplyKind::None)
            quietAt = Clock::now() + kQuietAfterReply;
        if (reply.kind == ReplyKind::ZoneReport &&
            ApplyZoneReport(table, ZoneReportOf(reply)).kind != ZoneReportOutcome::Kind::Ignored) {
            ++zoneReports;
        } else if (reply.kind == ReplyKind::OutputLevels) {
            table.IOLevel = OutputLevelsOf(reply);
        }
    };
    while (Clock::now() < quietAt && Listen(link, assembler, onLine)) {
    }
    if (zoneReports == 0) {
        err << "vyk-zones: no zone report from " << options.port << '\n';
        return kNoReport;
    }
    StoreZones(ini, table);
    return kOk;
}

// Whether the file can be replaced (the INI writes go through a file beside it).
bool Writable(const QString& path) {
    QSaveFile probe(path);
    const bool writable = probe.open(QIODevice::WriteOnly);
    probe.cancelWriting();
    return writable;
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& args, Options& options) {
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help") {
            options.help = true;
        } else if (arg == "--dry-run") {
            options.dryRun = true;
        } else if (arg == "--baud") {
            if (i + 1 == args.size() || !ParseNumber(args[++i], options.baud) || options.baud < 1)
                return false;
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            return false;
        } else {
            positional.push_back(arg);
        }
    }
    if (options.help)
        return true;
    if (positional.size() != 3)
        return false;
    if (positional[0] == "push") {
        options.command = Options::Command::Push;
    } else if (positional[0] == "pull" && !options.dryRun) {
        options.command = Options::Command::Pull;
    } else {
        return false;
    }
    options.port = positional[1];
    options.iniFile = positional[2];
    return true;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const std::string& portsIni) {
    Options options;
    if (!ParseArguments(args, options)) {
        err << kUsage << '\n';
        return kUsageError;
    }
    if (options.help) {
        out << kUsage << "\n\n" << kHelp;
        return kOk;
    }
    const QString path = QString::fromStdString(options.iniFile);
    const QFileInfo file(path);
    const bool pushing = options.command == Options::Command::Push;
    if ((pushing || file.exists()) && !(file.isFile() && file.isReadable())) {
        err << "vyk-zones: cannot read " << options.iniFile << '\n';
        return kFileError;
    }
    if (!pushing && !Writable(path)) {
        err << "vyk-zones: cannot write " << options.iniFile << '\n';
        return kFileError;
    }
    IniFile ini(path);
    ZoneTable table;
    LoadZones(ini, table);
    return pushing ? Push(options, table, out, err, portsIni)
                   : Pull(options, table, ini, err, portsIni);
}

}  // namespace zonescli
