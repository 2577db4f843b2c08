#include "Prompt.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon ToQt(Prompt::Icon icon) {
    switch (icon) {
        case Prompt::Icon::Information: return QMessageBox::Information;
        case Prompt::Icon::Warning: return QMessageBox::Warning;
        case Prompt::Icon::Error: return QMessageBox::Critical;
        case Prompt::Icon::Question: return QMessageBox::Question;
        case Prompt::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQt(Prompt::Buttons buttons) {
    switch (buttons) {
        case Prompt::Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case Prompt::Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case Prompt::Buttons::Ok: break;
    }
    return QMessageBox::Ok;
}

}  // namespace

Prompt::Answer WidgetPrompt::Message(const QString& text, const QString& caption, Icon icon,
                                     Buttons buttons) {
    QMessageBox box(ToQt(icon), caption, text, ToQt(buttons), parent_);
    switch (box.exec()) {
        case QMessageBox::Ok: return Answer::Ok;
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        default: return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

QString WidgetPrompt::Input(const QString& caption, const QString& label, const QString& defaultText) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent_, caption, label, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : defaultText;
}

QString WidgetPrompt::OpenFileName(const QString& caption, const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileName(parent_, caption, folder, filter);
}

QString WidgetPrompt::SaveFileName(const QString& caption, const QString& folder, const QString& filter) {
    return QFileDialog::getSaveFileName(parent_, caption, folder, filter);
}
