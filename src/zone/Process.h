#pragma once

// TProcessForm: the modal window that shows how much of a zone transfer has gone out. Cancel
// only closes it; the transfer goes on in the background.

#include <QDialog>

class QProgressBar;
class QPushButton;

class TProcessForm : public QDialog {
    Q_OBJECT
public:
    explicit TProcessForm(QWidget* parent = nullptr);

    // The bar's maximum; 0 stands for 100.
    void SetMax(int n);
    // Moves the bar and writes the share into the caption; at the maximum the window closes.
    void SetPosition(int v);

    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* Button1 = nullptr;
};
