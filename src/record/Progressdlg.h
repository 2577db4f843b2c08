#pragma once

// TfrmFileProcess: the progress window of a long decode. Its caption counts the seconds since
// it was shown, and each report lets pending window messages run.

#include <QDialog>
#include <cstdint>

class QLabel;
class QProgressBar;
class QTimer;

namespace record {

class TfrmFileProcess : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFileProcess(QWidget* parent = nullptr);

    void ReportProgress(const QString& text, int position, int max);
    void Timer1Timer();

    QLabel* Label1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QTimer* Timer1 = nullptr;

    // The caption for e milliseconds since the window was shown.
    static QString ElapsedCaption(const QString& base, uint32_t elapsedMs);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void UpdateCaption();

    QString baseCaption_;
    uint32_t startTick_ = 0;
};

}  // namespace record
