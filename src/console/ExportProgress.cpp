#include "ExportProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace console {
namespace {

constexpr int kSteps = 1000;
// A short export ends before the window would only flash.
constexpr int kShowAfterMs = 500;

}  // namespace

ExportProgressDialog::ExportProgressDialog(QWidget* parent) : parent_(parent) {}

ExportProgressDialog::~ExportProgressDialog() = default;

void ExportProgressDialog::Begin(const QString& text) {
    dialog_ = std::make_unique<QProgressDialog>(text, QStringLiteral("取消"), 0, kSteps, parent_);
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(kShowAfterMs);
    dialog_->setAutoReset(false);
    dialog_->setAutoClose(false);
    dialog_->setValue(0);
}

bool ExportProgressDialog::Report(uint64_t done, uint64_t total) {
    if (!dialog_)
        return true;
    dialog_->setValue(total == 0 ? kSteps : static_cast<int>(done * kSteps / total));
    QCoreApplication::processEvents();
    return !dialog_->wasCanceled();
}

void ExportProgressDialog::End() {
    dialog_.reset();
}

}  // namespace console
