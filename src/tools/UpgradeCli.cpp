#include "UpgradeCli.h"

#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <ostream>
#include <thread>

#include "BootConversation.h"
#include "CommBootLine.h"
#include "CommandLine.h"
#include "IniFile.h"
#include "OpenFailure.h"
#include "ProgressBar.h"
#include "Tick.h"
#include "Tquillcomm.h"

namespace upgradecli {
namespace {

constexpr char kUsage[] =
    "usage: vyk-upgrade [--baud N] [--timeout S] [--retries N] [--expect-crc N] "
    "[--expect-size N] [--json] PORT FILE";
constexpr char kHelp[] = R"(Upgrades a VYK scanner's firmware through its boot loader.

Load FILE (at most 65536 bytes, not empty), open PORT, then switch the scanner on:
the boot loader asks for the file information, takes the image and programs it.
The list texts are printed on stdout as they happen (UTF-8), after a line with
the image's CRC; a progress bar goes to stderr while the image streams, when
stderr is a terminal. FILE is read again at each request of the boot loader, and
the CRC line is printed again whenever that finds another image. What waited on
the line before PORT opened is dropped, so an old request is not answered twice.

  PORT             COMn (mapped to a device as the VYK programs map it; a key COMn in
                   section [Ports] of ~/.config/vyk-upgrade.ini names another device)
                   or a device path beginning with "/"
  --baud N         line rate (default 115200); 8 data bits, no parity, 1 stop bit,
                   no flow control
  --timeout S      give up after S seconds without a boot loader message (default 60;
                   the time the image streams does not count)
  --retries N      after a check error the boot loader starts over: answer it again
                   up to N times (default 0) before giving up with status 3
  --expect-crc N   refuse FILE unless its CRC is N (decimal, as the CRC line prints
                   it, or hexadecimal after 0x): status 1, nothing is sent
  --expect-size N  refuse FILE unless it holds N bytes: status 1, nothing is sent
  --json           instead of the texts, one JSON object per line for each event:
                   {"event":"image","size":N,"crc":N} (each image loaded),
                   {"event":"request"}, {"event":"start"},
                   {"event":"progress","sent":N,"total":N} (at most ten a second),
                   {"event":"programming"}, {"event":"check-error"}, and last
                   {"event":"done","result":R,"size":N,"crc":N} with R one of ok,
                   check-failed, lost (also "reason":"lost"|"stalled","sent","total")
                   or timeout; errors stay on stderr
  --help           this text
  --version        the program's version

A transfer stops when the port is lost or the line takes no byte for 3 s. A reader
of stdout that goes away (a closed pipe) does not stop the upgrade.

Exit status:
  0  the boot loader reported the upgrade complete
  1  FILE cannot be loaded, is empty or is not the expected one (nothing was sent)
  2  bad option (usage on stderr)
  3  the boot loader's check failed: switch the scanner off and on and run again
  4  PORT cannot be opened (the message says why; a permission refusal usually
     means the user is not in the group dialout)
  5  no boot loader message for --timeout seconds
  6  the port was lost or the line stalled (stderr says at which byte): the scanner
     must be switched off and on and flashed again
)";
constexpr int kTickMs = 2;
constexpr uint32_t kProgressEventMs = 100;

// Decimal, as the "CRC32 :" line prints it, or hexadecimal after 0x.
bool ParseUnsigned(const std::string& text, std::optional<uint32_t>& value) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    uint32_t number = 0;
    const auto result = std::from_chars(begin, end, number, hex ? 16 : 10);
    if (begin == end || result.ec != std::errc() || result.ptr != end)
        return false;
    value = number;
    return true;
}

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

// Prints the conversation as list texts, one line each, or as one JSON object per event; keeps
// what the loop decides on.
class ConsoleView : public BootView {
public:
    ConsoleView(std::ostream& out, std::ostream& err, bool bar, bool json)
        : out_(out), err_(err), bar_(err, bar), json_(json) {}

    void AddMessage(const QString& text) override {
        EndBar();
        if (beforeOpen)
            err_ << "vyk-upgrade: " << Utf8(text) << '\n';
        else if (!json_)
            out_ << Utf8(text) << '\n' << std::flush;
    }
    void ShowCrc(const QString& caption) override { crc_ = caption; }
    // The log names each image that goes out: again whenever a reload finds another one.
    void ImageLoaded(uint32_t size, uint32_t crc) override {
        if (image_ && image_->first == size && image_->second == crc)
            return;
        image_ = {size, crc};
        if (json_) {
            Event({{"event", "image"}, {"size", qint64(size)}, {"crc", qint64(crc)}});
        } else {
            EndBar();
            out_ << Utf8(crc_) << '\n' << std::flush;
        }
    }
    void ShowProgress(uint32_t maximum, uint32_t position) override {
        if (position == 0)
            return;
        if (json_) {
            const uint32_t now = GetTickCount();
            if (position == progressSent_ ||
                (progressSent_ != 0 && now - lastProgress_ < kProgressEventMs))
                return;
            progressSent_ = position;
            lastProgress_ = now;
            Event({{"event", "progress"}, {"sent", qint64(position)}, {"total", qint64(maximum)}});
            return;
        }
        if (!barShown_)
            bar_.Start(maximum);
        barShown_ = true;
        bar_.Update(position);
    }
    void BootMessage(BootAction action) override {
        heard = true;
        if (action == BootAction::CheckError || action == BootAction::Done)
            verdict = action;
        const char* const names[] = {nullptr,       "request",     "start",
                                     "programming", "check-error", nullptr};
        if (json_ && names[static_cast<int>(action)] != nullptr)
            Event({{"event", names[static_cast<int>(action)]}});
    }
    void LineFailed(const LineLoss& failure) override {
        EndBar();
        loss = failure;
    }

    // The last event: how the upgrade ended, with the image that went out.
    void Done(const char* result) {
        if (!json_)
            return;
        QJsonObject event{{"event", "done"}, {"result", result}};
        if (image_) {
            event.insert("size", qint64(image_->first));
            event.insert("crc", qint64(image_->second));
        }
        if (loss) {
            event.insert("reason", loss->kind == LineLoss::Stalled ? "stalled" : "lost");
            event.insert("sent", qint64(loss->taken));
            event.insert("total", qint64(loss->size));
        }
        Event(event);
    }

    void EndBar() {
        bar_.Finish();
        barShown_ = false;
    }

    // The load before the port opens: its failure is the program's error.
    bool beforeOpen = true;
    bool heard = false;
    bool refused = false;  // the image check refused a reload
    BootAction verdict = BootAction::None;
    std::optional<LineLoss> loss;

private:
    // An output error (a reader that went away) never ends the conversation.
    void Event(const QJsonObject& event) {
        out_ << QJsonDocument(event).toJson(QJsonDocument::Compact).toStdString() << '\n'
             << std::flush;
    }

    std::ostream& out_;
    std::ostream& err_;
    ProgressBar bar_;
    const bool json_;
    bool barShown_ = false;
    QString crc_;
    std::optional<std::pair<uint32_t, uint32_t>> image_;
    uint32_t progressSent_ = 0;  // in the last progress event
    uint32_t lastProgress_ = 0;
};

// Why the port did not open, from the errno of the call that failed.
std::string PortFailure(const QuillComm::TQuillComm& comm, int error) {
    const QString path = comm.DevicePath();
    if (path.isEmpty())
        return "no device is mapped to this port";
    return OpenFailedText(Utf8(path), error, OpenFailureStyle::Line);
}

// Refuses an image whose size or CRC is not the one the production line expects.
bool ImageExpected(const Options& options, uint32_t size, uint32_t crc, std::ostream& err) {
    const auto differs = [&](const char* what, uint32_t found, uint32_t expected) {
        err << "vyk-upgrade: " << options.file << ": " << what << ' ' << found
            << " differs from the expected " << expected << "; nothing was sent\n";
        return false;
    };
    if (options.expectSize && size != *options.expectSize)
        return differs("size", size, *options.expectSize);
    if (options.expectCrc && crc != *options.expectCrc)
        return differs("CRC", crc, *options.expectCrc);
    return true;
}

std::string LossText(const LineLoss& loss) {
    std::string text;
    if (!loss.sending) {
        text = "the port was lost";
    } else if (loss.kind == LineLoss::Stalled) {
        text = "the line stalled (no byte taken for " +
               std::to_string(TBootConversation::kStallMs / 1000) + " s) at byte " +
               std::to_string(loss.taken) + " of " + std::to_string(loss.size);
    } else {
        text = "the port was lost at byte " + std::to_string(loss.taken) + " of " +
               std::to_string(loss.size);
    }
    if (loss.error != 0)
        text += std::string(" (") + std::strerror(loss.error) + ")";
    if (loss.sending)
        return text +
               "; the scanner holds a partial image: switch it off and on and flash it again";
    return text + "; check the cable, switch the scanner off and on and run again";
}

int Upgrade(const Options& options, std::ostream& out, std::ostream& err) {
    const IniFile ini(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                      QStringLiteral("/vyk-upgrade.ini"));
    QuillComm::TQuillComm comm;
    comm.SetDeviceMap(&ini);
    comm.fSetPortName(QString::fromLocal8Bit(options.port.c_str()));
    comm.fSetBaud(options.baud);
    CommBootLine line(comm);
    ConsoleView view(out, err, isatty(STDERR_FILENO) == 1, options.json);
    TBootConversation boot(line, view);
    boot.SetFileName(QString::fromLocal8Bit(options.file.c_str()));
    boot.SetImageCheck([&](uint32_t size, uint32_t crc) {
        view.refused = !ImageExpected(options, size, crc, err);
        return !view.refused;
    });
    if (!boot.LoadUpgradeFile())
        return kFileError;
    view.beforeOpen = false;

    try {
        line.Open();
    } catch (const QuillComm::EQuillCommError& error) {
        err << "vyk-upgrade: " << error.what() << ": " << PortFailure(comm, error.SystemError())
            << '\n';
        return kPortError;
    }

    uint32_t lastHeard = GetTickCount();
    const uint32_t patience = static_cast<uint32_t>(options.timeout) * 1000;
    int checkErrors = 0;
    while (true) {
        const uint32_t now = GetTickCount();
        boot.tmr1Timer(now);
        if (view.refused)
            return kFileError;
        if (view.verdict == BootAction::Done) {
            view.Done("ok");
            return kOk;
        }
        if (view.verdict == BootAction::CheckError) {
            // The boot loader starts over with a new request, which the next ticks answer.
            view.verdict = BootAction::None;
            if (++checkErrors > options.retries) {
                view.Done("check-failed");
                return kCheckError;
            }
        }
        if (view.loss) {
            err << "vyk-upgrade: " << LossText(*view.loss) << '\n';
            view.Done("lost");
            return kLineLost;
        }
        // While the image streams the boot loader only listens.
        if (view.heard || boot.Sending())
            lastHeard = now;
        view.heard = false;
        if (now - lastHeard >= patience) {
            view.EndBar();
            err << "vyk-upgrade: no word from the boot loader for " << options.timeout
                << " s; is the scanner switched on and on this port?\n";
            view.Done("timeout");
            return kTimeout;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
    }
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options options;
    const auto unsignedOption = [](const std::string& name, std::optional<uint32_t>& value) {
        return cli::Option{
            name, true, [&value](const std::string& text) { return ParseUnsigned(text, value); }};
    };
    const cli::Parsed parsed = cli::ParseOptions(
        {cli::Number("--baud", options.baud, 1), cli::Number("--timeout", options.timeout, 1),
         cli::Number("--retries", options.retries, 0),
         unsignedOption("--expect-crc", options.expectCrc),
         unsignedOption("--expect-size", options.expectSize), cli::Flag("--json", options.json)},
        args);
    const cli::Program program{"vyk-upgrade", kUsage, kHelp};
    if (const auto status = cli::Answer(program, parsed, out, err))
        return *status;
    if (parsed.arguments.size() != 2)
        return cli::UsageError(program, "PORT and FILE expected", err);
    options.port = parsed.arguments[0];
    options.file = parsed.arguments[1];
    return Upgrade(options, out, err);
}

}  // namespace upgradecli
