#pragma once

// Answers the console's port dialog as a user does, once the modal dialog is up.

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "Setportdlg.h"

inline void AnswerPortDialog(const QString& port, bool confirm,
                             std::function<void(TSetPortForm&)> inspect = {}) {
    QTimer::singleShot(0, [port, confirm, inspect] {
        auto* dialog = qobject_cast<TSetPortForm*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->ComboBoxComList->setEditText(port);
        if (inspect)
            inspect(*dialog);
        (confirm ? dialog->Button1 : dialog->Button2)->click();
    });
}
