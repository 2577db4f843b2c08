#pragma once

// Answers the port dialog of either window as a user does, once the modal dialog is up.

#include <QComboBox>
#include <QPushButton>
#include <functional>

#include "ModalDialog.h"
#include "Setportdlg.h"

inline void AnswerPortDialog(const QString& port, bool confirm,
                             std::function<void(TSetPortForm&)> inspect = {}) {
    AnswerModalDialog<TSetPortForm>([port, confirm, inspect](TSetPortForm& dialog) {
        dialog.ComboBoxComList->setEditText(port);
        if (inspect)
            inspect(dialog);
        (confirm ? dialog.Button1 : dialog.Button2)->click();
    });
}
