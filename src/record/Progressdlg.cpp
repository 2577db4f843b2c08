#include "Progressdlg.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

#include "Tick.h"

namespace record {

TfrmFileProcess::TfrmFileProcess(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("frmFileProcess"));
    setWindowTitle(QStringLiteral("正在加载文件，请耐心等待..."));
    setFixedSize(576, 88);
    Label1 = new QLabel(this);
    Label1->move(48, 24);
    QFont font = Label1->font();
    font.setPixelSize(16);
    Label1->setFont(font);
    Label1->resize(480, 24);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setGeometry(0, 88 - 32, 576, 32);
    ProgressBar1->setTextVisible(false);
    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TfrmFileProcess::Timer1Timer);
    FormCreate();
}

void TfrmFileProcess::FormCreate() {
    baseCaption_ = windowTitle();
    Timer1->start();
}

void TfrmFileProcess::showEvent(QShowEvent* event) {
    Timer1->start();
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        move((area.width() - width()) >> 1, (area.height() - height()) >> 1);
    }
    startTick_ = GetTickCount();
    QDialog::showEvent(event);
}

void TfrmFileProcess::closeEvent(QCloseEvent* event) {
    Timer1->stop();
    QDialog::closeEvent(event);
}

QString TfrmFileProcess::ElapsedCaption(const QString& base, uint32_t elapsedMs) {
    return base + QString::asprintf("  共耗时 :%d.%d 秒", static_cast<int>(elapsedMs / 1000),
                                    static_cast<int>((elapsedMs / 100) % 10));
}

void TfrmFileProcess::UpdateCaption() {
    setWindowTitle(ElapsedCaption(baseCaption_, GetTickCount() - startTick_));
}

void TfrmFileProcess::Timer1Timer() {
    UpdateCaption();
}

void TfrmFileProcess::ReportProgress(const QString& text, int position, int max) {
    UpdateCaption();
    Label1->setText(text);
    ProgressBar1->setMaximum(max);
    ProgressBar1->setValue(position);
    // The caller holds its data steady meanwhile; input waits until the decode is done.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace record
