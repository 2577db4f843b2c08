#pragma once

// SIGTERM, SIGINT and SIGHUP close a window as its close box does, on the GUI thread, so a
// logout or Ctrl+C in a terminal still runs the window's exit path. An open modal dialog is
// cancelled first.

#include <QObject>
#include <QPointer>
#include <QWidget>

class QSocketNotifier;

class SignalClose : public QObject {
    Q_OBJECT
public:
    // One per process; the handlers stay installed while it lives. It may outlive the window.
    explicit SignalClose(QWidget* window);
    ~SignalClose() override;

private:
    void Arrived();

    QPointer<QWidget> window_;
    QSocketNotifier* notifier_;
};
