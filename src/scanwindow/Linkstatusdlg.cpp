#include "Linkstatusdlg.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "LinkMonitor.h"

namespace scanwindow {

namespace {

constexpr int kRefreshMs = 500;

}  // namespace

TfrmLinkStatus::TfrmLinkStatus(LinkMonitor& monitor, QWidget* parent)
    : QDialog(parent), monitor_(monitor) {
    setWindowTitle(QStringLiteral("链路状态"));
    tblCounts = new QTableWidget(this);
    tblCounts->setColumnCount(2);
    tblCounts->setHorizontalHeaderLabels(
        {QStringLiteral("自打开串口"), QStringLiteral("最近10秒")});
    tblCounts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblCounts->setSelectionMode(QAbstractItemView::NoSelection);
    tblCounts->setFocusPolicy(Qt::NoFocus);
    tblCounts->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    btnReset = new QPushButton(QStringLiteral("清零"), this);
    connect(btnReset, &QPushButton::clicked, this, [this] {
        monitor_.Reset();
        Refresh();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tblCounts);
    layout->addWidget(btnReset, 0, Qt::AlignRight);
    tmrRefresh_ = new QTimer(this);
    tmrRefresh_->setInterval(kRefreshMs);
    connect(tmrRefresh_, &QTimer::timeout, this, &TfrmLinkStatus::Refresh);
    tmrRefresh_->start();
    Refresh();
    resize(420, 360);
}

void TfrmLinkStatus::Refresh() {
    const std::vector<LinkMonitor::Row> rows = monitor_.Rows();
    tblCounts->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        tblCounts->setVerticalHeaderItem(i, new QTableWidgetItem(rows[i].name));
        for (int column = 0; column < 2; ++column) {
            auto* item = new QTableWidgetItem(column == 0 ? rows[i].sinceOpen : rows[i].recent);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            tblCounts->setItem(i, column, item);
        }
    }
}

}  // namespace scanwindow
