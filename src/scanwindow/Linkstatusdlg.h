#pragma once

// TfrmLinkStatus: the small window of the system menu's "链路状态": every figure of the link
// since the port opened and over the last 10 seconds, refreshed while it is open, and a reset.

#include <QDialog>

class QPushButton;
class QTableWidget;
class QTimer;

namespace scanwindow {

class LinkMonitor;

class TfrmLinkStatus : public QDialog {
    Q_OBJECT
public:
    TfrmLinkStatus(LinkMonitor& monitor, QWidget* parent);

    // Shows the monitor's figures now.
    void Refresh();

    QTableWidget* tblCounts = nullptr;
    QPushButton* btnReset = nullptr;

private:
    LinkMonitor& monitor_;
    QTimer* tmrRefresh_ = nullptr;
};

}  // namespace scanwindow
