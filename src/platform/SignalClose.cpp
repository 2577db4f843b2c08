#include "SignalClose.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>

namespace {

int pipeFds[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Only async-signal-safe work here: the GUI thread reads the byte and closes the window.
void OnSignal(int number) {
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = write(pipeFds[1], &byte, 1);
}

}  // namespace

SignalClose::SignalClose(QWidget* window) : window_(window), notifier_(nullptr) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeFds) != 0)
        return;
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalClose::Arrived);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals) sigaction(number, &action, nullptr);
}

SignalClose::~SignalClose() {
    delete notifier_;
    for (int number : kSignals) signal(number, SIG_DFL);
    for (int& fd : pipeFds) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

void SignalClose::Arrived() {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = read(pipeFds[0], &byte, 1);
    // A modal dialog would keep the program waiting for its answer: it is cancelled first.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (!modal->close())
            break;
    }
    if (window_)
        window_->close();
}
