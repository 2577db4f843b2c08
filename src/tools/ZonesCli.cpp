#include "ZonesCli.h"

#include <unistd.h>

#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <chrono>
#include <ostream>
#include <sstream>

#include "CommandLine.h"
#include "IniFile.h"
#include "ProgressBar.h"
#include "ScannerInterface.h"
#include "SystemError.h"
#include "Zonecommands.h"
#include "Zonereadback.h"
#include "Zonereplies.h"
#include "Zonerules.h"
#include "ZonesCheck.h"
#include "ZonesLink.h"
#include "Zonetable.h"
#include "Zonetransfer.h"

namespace zonescli {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr char kUsage[] =
    "usage: vyk-zones push [--baud N] [--dry-run] [--no-verify] PORT INIFILE\n"
    "       vyk-zones verify [--baud N] PORT INIFILE\n"
    "       vyk-zones pull [--baud N] PORT INIFILE\n"
    "       vyk-zones check [--group G] [--json] [--baud N] INIFILE RECORDING";

constexpr char kHelp[] =
    "Configures VYK-05 scanners with the twelve protection zones and output levels of an INI\n"
    "file, checks what a scanner holds against one, reads a scanner's zones back into one, or\n"
    "tries the zones on a recording of the site before they go into a scanner.\n"
    "The zone tool's own INI file works as it is. A file with a zone the zone tool's input\n"
    "rules refuse (a corner more than 500 cm away, a sector radius outside 0..500 or angle\n"
    "outside 1..180, a count above 5) configures and checks nothing.\n"
    "\n"
    "  push    stops the motor, then sends zone 0 to zone 11 as \"#IOL\", \"#SPR\" and \"#SU\" "
    "lines;\n"
    "          each line is sent again when no line ending in \"ok\" came within 960 ms, and\n"
    "          given up after 10 sends. Then reads the zones back (\"#RS\"), sends the zones\n"
    "          that differ again, at most three rounds, and names each difference left.\n"
    "  verify  reads the zones back and prints each difference from INIFILE on standard output.\n"
    "  pull    sends \"#RS\" and, once every zone and the output levels are reported, writes\n"
    "          them into sections \"Protect\" and \"Poly0\" .. \"Poly11\" of INIFILE, keeping "
    "every\n"
    "          other section and key.\n"
    "  check   tries the zones on RECORDING (a ZIP recording, all its entries as one stream,\n"
    "          or a raw file): each complete revolution, between two 0-degree markers, trips a\n"
    "          zone when at least its sensitivity of samples fall inside, as the zone tool's\n"
    "          overlay tests them. One line per zone: revolutions, tripped, max hits, first and\n"
    "          last tripping revolution (from 0) with its time, longest run of tripping ones.\n"
    "\n"
    "  --baud N     line rate (default 115200); check: the rate RECORDING was made at, for\n"
    "               its times (default 230400; the zone tool's line runs at 115200)\n"
    "  --dry-run    push: open no port, print the lines that would be sent, one per line\n"
    "  --no-verify  push: do not read the zones back\n"
    "  --group G    check: only the zones of group G (1..4); default all four\n"
    "  --json       check: the same as one JSON object {\"zones\": [...]}\n"
    "  --help       this text\n"
    "  --version    the program's version\n"
    "\n"
    "PORT is COMn (mapped as the programs map it, also by [Ports] keys of vyk-zones.ini in the\n"
    "XDG config folder) or a device path beginning with \"/\".\n"
    "\n"
    "Exit status: 0 done (push, verify: the scanner holds the file's zones); 1 INIFILE cannot\n"
    "be read or written, or holds a refused zone; 2 bad option; 3 a line was never\n"
    "acknowledged; 4 the port cannot be opened; 5 no whole zone report came; 6 the scanner's\n"
    "zones differ from the file's; 7 check: some zone trips (1 also when RECORDING cannot be\n"
    "read or holds no complete revolution).\n";

// The zone tool's 32 ticks of 30 ms.
constexpr milliseconds kRepeat{TZoneTransfer::kTicksPerStep * 30};
constexpr int kMaxSends = 10;
constexpr milliseconds kQuietAfterReply{1000};
constexpr int kSliceMs = 20;
constexpr int kVerifyRounds = 3;

std::string Printable(QByteArray line) {
    return line.trimmed().toStdString();
}

std::string ZoneName(int z) {
    return "zone " + std::to_string(z) + " (Poly" + std::to_string(z) + ")";
}

// What breaks the rule, with the zone tool's message for it.
std::string RuleText(const ProtectZone& zone, const ZoneCheck& check) {
    std::ostringstream text;
    const int k = check.corner;
    switch (check.rule) {
        case ZoneRule::CountAboveFive:
            text << "count " << int(zone.count) << " is above 5";
            break;
        case ZoneRule::CornerTooFar:
            text << "corner " << char('A' + k) << " (x" << k << "=" << zone.x[k] << ", y" << k
                 << "=" << zone.y[k] << ") lies more than 500 cm from the scanner";
            break;
        case ZoneRule::RadiusNegative:
            text << "sector radius x0=" << zone.x[0] << " is negative";
            break;
        case ZoneRule::RadiusTooLarge:
            text << "sector radius x0=" << zone.x[0] << " is above 500 cm";
            break;
        case ZoneRule::AngleOutOfRange:
            text << "sector angle y0=" << zone.y[0] << " is not 1 to 180 degrees";
            break;
        case ZoneRule::Accepted:
            break;
    }
    if (const std::string message = RuleMessage(check.rule); !message.empty())
        text << ": " << message;
    return text.str();
}

// Names every refused zone; false when there is one.
bool FileAccepted(const Options& options, const ZoneTable& table, std::ostream& err) {
    bool accepted = true;
    for (int z = 0; z < kZoneCount; ++z) {
        const ZoneCheck check = CheckZone(table.zones[z]);
        if (check.rule == ZoneRule::Accepted)
            continue;
        accepted = false;
        err << "vyk-zones: " << options.iniFile << ": Poly" << z << ": "
            << RuleText(table.zones[z], check) << '\n';
    }
    return accepted;
}

std::string DifferenceText(const ZoneDifference& d, const char* sent, const char* stored) {
    const std::string where = d.zone < 0 ? "output levels" : ZoneName(d.zone);
    return where + " " + d.field + ": " + sent + " " + std::to_string(d.sent) + ", " + stored +
           " " + std::to_string(d.stored);
}

std::string MissingText(const TZoneReadBack::Missing& m) {
    if (m.zone < 0)
        return "output levels (#RSOL) not reported";
    if (m.point < 0)
        return ZoneName(m.zone) + " not reported";
    return "point " + std::string(1, char('A' + m.point)) + " of " + ZoneName(m.zone) +
           " not reported";
}

void ReportMissing(const TZoneReadBack& back, std::ostream& err) {
    for (const TZoneReadBack::Missing& m : back.WhatIsMissing())
        err << "vyk-zones: " << MissingText(m) << '\n';
}

std::vector<QByteArray> LinesOf(const ZoneTable& table, uint32_t zoneMask) {
    std::vector<QByteArray> lines;
    for (int z = 0; z < kZoneCount; ++z) {
        if (zoneMask >> z & 1) {
            for (const QByteArray& line : ZoneCommandLines(table, z)) lines.push_back(line);
        }
    }
    return lines;
}

QString PortsIniPath(const std::string& portsIni) {
    if (!portsIni.empty())
        return QString::fromStdString(portsIni);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/vyk-zones.ini");
}

// One conversation with a scanner: acknowledged lines out, the settings report in.
class Session {
public:
    bool Open(const Options& options, const std::string& portsIni, std::ostream& err) {
        const QString port = QString::fromStdString(options.port);
        const QString device = PortDevice(port, PortsIniPath(portsIni));
        QString error;
        if (device.isEmpty()) {
            error = QStringLiteral("%1 is not a serial port").arg(port);
        } else if (link_.Open(device, options.baud, error)) {
            return true;
        }
        err << "vyk-zones: " << error.toStdString() << '\n';
        return false;
    }

    TZoneTransfer& Transfer() { return transfer_; }

    // Each line until acknowledged: kOk, or kNotAcknowledged with the line named on err.
    int Send(const std::vector<QByteArray>& lines, std::ostream& err) {
        ProgressBar progress(err, isatty(STDERR_FILENO) == 1);
        transfer_.onProgress = [&progress](int done) {
            progress.Update(static_cast<uint64_t>(done));
        };
        for (const QByteArray& line : lines) transfer_.QueueCommand(line);
        progress.Start(static_cast<uint64_t>(transfer_.BeginUpload()));
        transfer_.SendStep();
        auto repeatAt = Clock::now() + kRepeat;
        int code = kOk;
        while (transfer_.PendingCommands() > 0) {
            const bool alive = Listen();
            // An acknowledged head, or a new head no longer held back by late answers.
            if (transfer_.AckReceived() || (transfer_.HeadSends() == 0 && !transfer_.Holding())) {
                transfer_.SendStep();
                repeatAt = Clock::now() + kRepeat;
            } else if (!alive || Clock::now() >= repeatAt) {
                if (!alive || transfer_.HeadSends() >= kMaxSends) {
                    progress.Finish();
                    err << "vyk-zones: \"" << Printable(transfer_.Head())
                        << "\" was never acknowledged";
                    if (!alive)
                        err << ": " << SystemErrorText(link_.LastError()).toStdString();
                    err << '\n';
                    code = kNotAcknowledged;
                    break;
                }
                transfer_.SendStep();
                repeatAt = Clock::now() + kRepeat;
            }
        }
        progress.Finish();
        transfer_.onProgress = nullptr;
        return code;
    }

    // "#RS", then the replies until the report is whole, 1 s passed without one, or the line
    // is gone.
    void ReadBack(TZoneReadBack& back) {
        readBack_ = &back;
        link_.Send(scanner::kCmdReadSettingsLine);
        quietAt_ = Clock::now() + kQuietAfterReply;
        while (!back.Complete() && Clock::now() < quietAt_ && Listen()) {
        }
        readBack_ = nullptr;
    }

private:
    // Feeds what arrived to the line assembler; false once the line is gone.
    bool Listen() {
        QByteArray bytes;
        const bool alive = link_.Receive(bytes, kSliceMs);
        assembler_.AssembleTextLines(
            reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<int>(bytes.size()),
            [this](const char* line, int length, TTextLineAssembler::LineEnd end) {
                // Late answers count even while reading back.
                if (IsAcknowledgement(line, length, end))
                    transfer_.Acknowledge();
                const SettingsReply reply = ParseSettingsReply(line, length);
                if (readBack_ && reply.kind != ReplyKind::None) {
                    quietAt_ = Clock::now() + kQuietAfterReply;
                    readBack_->Take(reply);
                }
            });
        return alive;
    }

    ZonesLink link_;
    TZoneTransfer transfer_{link_};
    TTextLineAssembler assembler_;
    TZoneReadBack* readBack_ = nullptr;
    Clock::time_point quietAt_;
};

// The zones to send again: those that differ or were not reported whole; with only the levels
// wrong, zone 0's lines carry them.
uint32_t ZonesToResend(const std::vector<ZoneDifference>& differences, const TZoneReadBack& back) {
    uint32_t zones = 0;
    bool levels = false;
    for (const ZoneDifference& d : differences) {
        if (d.zone < 0)
            levels = true;
        else
            zones |= 1u << d.zone;
    }
    for (const TZoneReadBack::Missing& m : back.WhatIsMissing()) {
        if (m.zone < 0)
            levels = true;
        else
            zones |= 1u << m.zone;
    }
    return zones == 0 && levels ? 1u : zones;
}

int Push(const Options& options, const ZoneTable& table, std::ostream& out, std::ostream& err,
         const std::string& portsIni) {
    const std::vector<QByteArray> lines = LinesOf(table, kAllZones);
    if (options.dryRun) {
        for (const QByteArray& line : lines) out << Printable(line) << '\n';
        return kOk;
    }
    Session session;
    if (!session.Open(options, portsIni, err))
        return kPortError;
    session.Transfer().SendNow(scanner::kCmdMotorStop);
    if (const int code = session.Send(lines, err); code != kOk || !options.verify)
        return code;
    for (int round = 0;; ++round) {
        TZoneReadBack back;
        session.ReadBack(back);
        const std::vector<ZoneDifference> differences =
            CompareZones(table, back.Table(), kAllZones);
        if (back.Complete() && differences.empty())
            return kOk;
        if (round == kVerifyRounds) {
            ReportMissing(back, err);
            for (const ZoneDifference& d : differences)
                err << "vyk-zones: " << DifferenceText(d, "sent", "stored") << '\n';
            return kMismatch;
        }
        const int code = session.Send(LinesOf(table, ZonesToResend(differences, back)), err);
        if (code != kOk)
            return code;
    }
}

// The scanner's whole report into back: kOk, kPortError, or kNoReport with what is missing named.
int ReadWholeReport(const Options& options, const std::string& portsIni, TZoneReadBack& back,
                    std::ostream& err) {
    Session session;
    if (!session.Open(options, portsIni, err))
        return kPortError;
    session.ReadBack(back);
    if (!back.AnyReport()) {
        err << "vyk-zones: no zone report from " << options.port << '\n';
        return kNoReport;
    }
    if (!back.Complete()) {
        ReportMissing(back, err);
        return kNoReport;
    }
    return kOk;
}

int Verify(const Options& options, const ZoneTable& table, std::ostream& out, std::ostream& err,
           const std::string& portsIni) {
    TZoneReadBack back;
    if (const int code = ReadWholeReport(options, portsIni, back, err); code != kOk)
        return code;
    const std::vector<ZoneDifference> differences = CompareZones(table, back.Table(), kAllZones);
    for (const ZoneDifference& d : differences) out << DifferenceText(d, "file", "scanner") << '\n';
    return differences.empty() ? kOk : kMismatch;
}

int Pull(const Options& options, const ZoneTable& table, IniFile& ini, std::ostream& err,
         const std::string& portsIni) {
    TZoneReadBack back(table);
    if (const int code = ReadWholeReport(options, portsIni, back, err); code != kOk) {
        if (code == kNoReport)
            err << "vyk-zones: " << options.iniFile << " left as it was\n";
        return code;
    }
    // The file is replaced whole, so a failed write leaves it as it was.
    if (const WriteResult written = StoreZones(ini, back.Table()); !written) {
        err << "vyk-zones: cannot write " << options.iniFile << ": " << written.reason.toStdString()
            << "; left as it was\n";
        return kFileError;
    }
    return kOk;
}

// Whether the file can be replaced (the INI writes go through a file beside it).
bool Writable(const QString& path) {
    QSaveFile probe(path);
    const bool writable = probe.open(QIODevice::WriteOnly);
    probe.cancelWriting();
    return writable;
}

// The command, PORT and INIFILE (check: INIFILE and RECORDING); pull and verify take no push
// options, and only check takes its own.
bool Choose(const std::vector<std::string>& arguments, Options& options) {
    if (arguments.size() != 3)
        return false;
    const bool pushOnly = options.dryRun || !options.verify;
    const bool checkOnly = options.group != 0 || options.json;
    if (arguments[0] == "check" && !pushOnly) {
        options.command = Options::Command::Check;
        options.iniFile = arguments[1];
        options.recording = arguments[2];
        return true;
    }
    if (checkOnly)
        return false;
    if (arguments[0] == "push") {
        options.command = Options::Command::Push;
    } else if (arguments[0] == "pull" && !pushOnly) {
        options.command = Options::Command::Pull;
    } else if (arguments[0] == "verify" && !pushOnly) {
        options.command = Options::Command::Verify;
    } else {
        return false;
    }
    options.port = arguments[1];
    options.iniFile = arguments[2];
    return true;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const std::string& portsIni) {
    Options options;
    const cli::Parsed parsed =
        cli::ParseOptions({{"--baud", true,
                            [&options](const std::string& text) {
                                return options.baudGiven = cli::ParseNumber(text, options.baud, 1);
                            }},
                           cli::Number("--group", options.group, 1, kZoneGroups),
                           cli::Flag("--json", options.json),
                           cli::Flag("--dry-run", options.dryRun),
                           {"--no-verify", false,
                            [&options](const std::string&) { return !(options.verify = false); }}},
                          args);
    const cli::Program program{"vyk-zones", kUsage, std::string("\n") + kHelp};
    if (const auto status = cli::Answer(program, parsed, out, err))
        return *status;
    if (!Choose(parsed.arguments, options))
        return cli::UsageError(
            program,
            "push, verify or pull, then PORT and INIFILE, or check INIFILE RECORDING expected",
            err);
    const QString path = QString::fromStdString(options.iniFile);
    const QFileInfo file(path);
    const bool pulling = options.command == Options::Command::Pull;
    if ((!pulling || file.exists()) && !(file.isFile() && file.isReadable())) {
        err << "vyk-zones: cannot read " << options.iniFile << '\n';
        return kFileError;
    }
    if (pulling && !Writable(path)) {
        err << "vyk-zones: cannot write " << options.iniFile << '\n';
        return kFileError;
    }
    IniFile ini(path);
    ZoneTable table;
    LoadZones(ini, table);
    if (pulling)
        return Pull(options, table, ini, err, portsIni);
    // Nothing reaches the port before the whole file passed the zone tool's rules.
    if (!FileAccepted(options, table, err))
        return kFileError;
    if (options.command == Options::Command::Check)
        return Check(options, table, out, err);
    return options.command == Options::Command::Push ? Push(options, table, out, err, portsIni)
                                                     : Verify(options, table, out, err, portsIni);
}

}  // namespace zonescli
