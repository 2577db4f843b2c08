#include "SystemMenu.h"

#include <QAction>
#include <QKeySequence>
#include <QShortcut>
#include <QToolButton>
#include <QWidget>

namespace {
constexpr char kCommandProperty[] = "systemCommand";
}

SystemMenu::SystemMenu(QWidget* window) : QObject(window), window_(window), menu_(window) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), window);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, &SystemMenu::Popup);
}

void SystemMenu::AddSeparator() {
    menu_.addSeparator();
}

QAction* SystemMenu::AddItem(const QString& caption, int command) {
    QAction* action = menu_.addAction(caption);
    action->setProperty(kCommandProperty, command);
    connect(action, &QAction::triggered, this, [this, command] { emit Command(command); });
    return action;
}

QAction* SystemMenu::Item(int command) const {
    for (QAction* action : menu_.actions()) {
        if (action->property(kCommandProperty).toInt() == command) {
            return action;
        }
    }
    return nullptr;
}

QToolButton* SystemMenu::CreateButton(QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(QStringLiteral("≡"));
    button->setAutoRaise(true);
    button->setMenu(&menu_);
    button->setPopupMode(QToolButton::InstantPopup);
    return button;
}

void SystemMenu::Popup() {
    menu_.popup(window_->mapToGlobal(QPoint(0, 0)));
}
