#include "UpgradeCli.h"

#include <unistd.h>

#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <ostream>
#include <thread>

#include "BootConversation.h"
#include "CommBootLine.h"
#include "CommandLine.h"
#include "IniFile.h"
#include "ProgressBar.h"
#include "Tick.h"
#include "Tquillcomm.h"

namespace upgradecli {
namespace {

constexpr char kUsage[] = "usage: vyk-upgrade [--baud N] [--timeout S] PORT FILE";
constexpr char kHelp[] = R"(Upgrades a VYK scanner's firmware through its boot loader.

Load FILE (at most 65536 bytes), open PORT, then switch the scanner on: the boot
loader asks for the file information, takes the image and programs it. The list
texts are printed on stdout as they happen (UTF-8), after a first line with the
image's CRC; a progress bar goes to stderr while the image streams, when stderr
is a terminal. FILE is read again at each request of the boot loader.

  PORT           COMn (mapped to a device as the VYK programs map it; a key COMn in
                 section [Ports] of ~/.config/vyk-upgrade.ini names another device)
                 or a device path beginning with "/"
  --baud N       line rate (default 115200); 8 data bits, no parity, 1 stop bit,
                 no flow control
  --timeout S    give up after S seconds without a boot loader message (default 60;
                 the time the image streams does not count)
  --help         this text
  --version      the program's version

Exit status:
  0  the boot loader reported the upgrade complete
  1  FILE cannot be loaded (nothing was sent)
  2  bad option (usage on stderr)
  3  the boot loader's check failed: switch the scanner off and on and run again
  4  PORT cannot be opened (the message says why; a permission refusal usually
     means the user is not in the group dialout)
  5  no boot loader message for --timeout seconds
)";
constexpr int kTickMs = 2;

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

// Prints the list texts, one line each, and keeps the verdict.
class ConsoleView : public BootView {
public:
    ConsoleView(std::ostream& out, std::ostream& err, bool bar)
        : out_(out), err_(err), bar_(err, bar) {}

    void AddMessage(const QString& text) override {
        EndBar();
        if (beforeOpen)
            err_ << "vyk-upgrade: " << Utf8(text) << '\n';
        else
            out_ << Utf8(text) << '\n' << std::flush;
    }
    void ShowCrc(const QString& caption) override { crc = caption; }
    void ShowProgress(uint32_t maximum, uint32_t position) override {
        if (position == 0)
            return;
        if (!barShown_)
            bar_.Start(maximum);
        barShown_ = true;
        bar_.Update(position);
    }
    void BootMessage(BootAction action) override {
        heard = true;
        if (action == BootAction::CheckError || action == BootAction::Done)
            verdict = action;
    }

    void EndBar() {
        bar_.Finish();
        barShown_ = false;
    }

    // The load before the port opens: its failure is the program's error.
    bool beforeOpen = true;
    QString crc;
    bool heard = false;
    BootAction verdict = BootAction::None;

private:
    std::ostream& out_;
    std::ostream& err_;
    ProgressBar bar_;
    bool barShown_ = false;
};

// Why the port did not open, from the errno of the call that failed.
std::string PortFailure(const QuillComm::TQuillComm& comm, int error) {
    const QString path = comm.DevicePath();
    if (path.isEmpty())
        return "no device is mapped to this port";
    return cli::OpenFailedReason(Utf8(path), error);
}

int Upgrade(const Options& options, std::ostream& out, std::ostream& err) {
    const IniFile ini(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                      QStringLiteral("/vyk-upgrade.ini"));
    QuillComm::TQuillComm comm;
    comm.SetDeviceMap(&ini);
    comm.fSetPortName(QString::fromLocal8Bit(options.port.c_str()));
    comm.fSetBaud(options.baud);
    CommBootLine line(comm);
    ConsoleView view(out, err, isatty(STDERR_FILENO) == 1);
    TBootConversation boot(line, view);
    boot.SetFileName(QString::fromLocal8Bit(options.file.c_str()));
    if (!boot.LoadUpgradeFile())
        return kFileError;
    view.beforeOpen = false;
    out << Utf8(view.crc) << '\n' << std::flush;

    try {
        line.Open();
    } catch (const QuillComm::EQuillCommError& error) {
        err << "vyk-upgrade: " << error.what() << ": " << PortFailure(comm, error.SystemError())
            << '\n';
        return kPortError;
    }

    uint32_t lastHeard = GetTickCount();
    const uint32_t patience = static_cast<uint32_t>(options.timeout) * 1000;
    while (true) {
        const uint32_t now = GetTickCount();
        boot.tmr1Timer(now);
        if (view.verdict == BootAction::Done)
            return kOk;
        if (view.verdict == BootAction::CheckError)
            return kCheckError;
        // While the image streams the boot loader only listens.
        if (view.heard || boot.Sending())
            lastHeard = now;
        view.heard = false;
        if (now - lastHeard >= patience) {
            view.EndBar();
            err << "vyk-upgrade: no word from the boot loader for " << options.timeout
                << " s; is the scanner switched on and on this port?\n";
            return kTimeout;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
    }
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options options;
    const cli::Parsed parsed = cli::ParseOptions(
        {cli::Number("--baud", options.baud, 1), cli::Number("--timeout", options.timeout, 1)},
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
