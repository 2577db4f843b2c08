#include "Process.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kDefaultMaximum = 100;

}  // namespace

TProcessForm::TProcessForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("ProcessForm"));
    setModal(true);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setMinimum(0);
    ProgressBar1->setMaximum(kDefaultMaximum);
    ProgressBar1->setTextVisible(false);
    Button1 = new QPushButton(QStringLiteral("取消"), this);
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ProgressBar1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    resize(400, height());
}

void TProcessForm::SetMax(int n) {
    ProgressBar1->setMaximum(n == 0 ? kDefaultMaximum : n);
}

void TProcessForm::SetPosition(int v) {
    if (v >= ProgressBar1->maximum()) {
        accept();
        return;
    }
    ProgressBar1->setValue(v);
    const double share = v * 100.0 / ProgressBar1->maximum();
    setWindowTitle(QStringLiteral("正在通信，请耐心等待：%1%").arg(share, 0, 'f', 2));
}
