#pragma once

// TfrmDecode: the modal decode tool, which explains one typed 3- or 4-byte packet bit by bit.
// The explanation is Decodeexplain's; this window only shows it.

#include <QDialog>

class Prompt;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TfrmDecode : public QDialog {
    Q_OBJECT
public:
    TfrmDecode(QWidget* parent, Prompt& prompt);

    void FormShow();
    void btn1Click();
    void btn3BytesClick();
    void btn4BytesClick();

    QPlainTextEdit* mmo1 = nullptr;
    QLineEdit* edt1 = nullptr;
    QPushButton* btn3Bytes = nullptr;
    QLineEdit* edt2 = nullptr;
    QPushButton* btn4Bytes = nullptr;
    QPushButton* btn1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Explain(const QLineEdit* edit, int count);

    Prompt& prompt_;
};
