#pragma once

// The window's system menu on Linux: a popup of the window with numbered commands, opened with
// Alt+Space and from a small menu button that the window places where it likes.

#include <QMenu>
#include <QObject>

class QAction;
class QToolButton;
class QWidget;

class SystemMenu : public QObject {
    Q_OBJECT
public:
    explicit SystemMenu(QWidget* window);

    void AddSeparator();
    QAction* AddItem(const QString& caption, int command);
    QAction* Item(int command) const;
    QToolButton* CreateButton(QWidget* parent);
    void Popup();

signals:
    void Command(int command);

private:
    QWidget* window_;
    QMenu menu_;
};
