#pragma once

// The prompt of the window programs: real message boxes, input boxes and file dialogs.

#include "Prompt.h"

class QWidget;

// Real dialogs, parented to the given window.
class WidgetPrompt : public Prompt {
public:
    explicit WidgetPrompt(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    Answer Message(const QString& text, const QString& caption, Icon icon,
                   Buttons buttons) override;
    QString Input(const QString& caption, const QString& label,
                  const QString& defaultText) override;
    QString OpenFileName(const QString& caption, const QString& folder,
                         const QString& filter) override;
    QString SaveFileName(const QString& caption, const QString& folder,
                         const QString& filter) override;

private:
    QWidget* parent_;
};
