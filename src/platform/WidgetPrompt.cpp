#include "WidgetPrompt.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>

namespace {

QMessageBox::Icon ToQt(Prompt::Icon icon) {
    switch (icon) {
        case Prompt::Icon::Information:
            return QMessageBox::Information;
        case Prompt::Icon::Warning:
            return QMessageBox::Warning;
        case Prompt::Icon::Error:
            return QMessageBox::Critical;
        case Prompt::Icon::Question:
            return QMessageBox::Question;
        case Prompt::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQt(Prompt::Buttons buttons) {
    switch (buttons) {
        case Prompt::Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Prompt::Buttons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case Prompt::Buttons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

}  // namespace

Prompt::Answer WidgetPrompt::Message(const QString& text, const QString& caption, Icon icon,
                                     Buttons buttons) {
    QMessageBox box(ToQt(icon), caption, text, ToQt(buttons), parent_);
    switch (box.exec()) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

QString WidgetPrompt::Input(const QString& caption, const QString& label,
                            const QString& defaultText) {
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(label);
    dialog.setTextValue(defaultText);
    // Qt's box is about 200 pixels wide whatever it holds; a long title was cut.
    if (auto* edit = dialog.findChild<QLineEdit*>()) {
        const int margins = edit->width() - edit->contentsRect().width();
        const int wanted = edit->fontMetrics().horizontalAdvance(defaultText + "MM") + margins;
        const QScreen* screen = dialog.screen();
        const int most = screen ? screen->availableGeometry().width() * 4 / 5 : wanted;
        edit->setMinimumWidth(std::min(wanted, most));
    }
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : defaultText;
}

QString WidgetPrompt::OpenFileName(const QString& caption, const QString& folder,
                                   const QString& filter) {
    return QFileDialog::getOpenFileName(parent_, caption, folder, filter);
}

QString WidgetPrompt::SaveFileName(const QString& caption, const QString& folder,
                                   const QString& filter) {
    return QFileDialog::getSaveFileName(parent_, caption, folder, filter);
}
