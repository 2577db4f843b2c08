#pragma once

// The export's progress as a window-modal progress dialog with a cancel button.

#include <memory>

#include "RecordingExports.h"

class QProgressDialog;
class QWidget;

namespace console {

class ExportProgressDialog : public ExportProgressView {
public:
    explicit ExportProgressDialog(QWidget* parent);
    ~ExportProgressDialog() override;

    void Begin(const QString& text) override;
    bool Report(uint64_t done, uint64_t total) override;
    void End() override;

    // While an export runs; nullptr otherwise.
    QProgressDialog* Dialog() const { return dialog_.get(); }

private:
    QWidget* parent_;
    std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace console
