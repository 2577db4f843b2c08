#include "Decodedlg.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "Decodeexplain.h"
#include "Prompt.h"

namespace {

constexpr int kWidth = 730;
constexpr int kHeight = 516;
constexpr int kMemoHeight = 409;

}  // namespace

TfrmDecode::TfrmDecode(QWidget* parent, Prompt& prompt) : QDialog(parent), prompt_(prompt) {
    setWindowTitle(QString::fromUtf8("Halvex激光数据解析工具"));
    setFixedSize(kWidth, kHeight);
    mmo1 = new QPlainTextEdit(this);
    mmo1->setReadOnly(true);
    mmo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmo1->setGeometry(0, 0, kWidth, kMemoHeight);
    edt1 = new QLineEdit(QStringLiteral("70 01 9F"), this);
    edt1->setGeometry(16, 424, 200, 28);
    btn3Bytes = new QPushButton(QString::fromUtf8("3字节解析"), this);
    btn3Bytes->setGeometry(232, 422, 120, 32);
    edt2 = new QLineEdit(QStringLiteral("30 09 00 80"), this);
    edt2->setGeometry(16, 470, 200, 28);
    btn4Bytes = new QPushButton(QString::fromUtf8("4字节解析"), this);
    btn4Bytes->setGeometry(232, 468, 120, 32);
    btn1 = new QPushButton(QString::fromUtf8("显示源码"), this);
    btn1->setGeometry(594, 468, 120, 32);
    for (QPushButton* button : {btn3Bytes, btn4Bytes, btn1}) button->setAutoDefault(false);
    connect(btn1, &QPushButton::clicked, this, &TfrmDecode::btn1Click);
    connect(btn3Bytes, &QPushButton::clicked, this, &TfrmDecode::btn3BytesClick);
    connect(btn4Bytes, &QPushButton::clicked, this, &TfrmDecode::btn4BytesClick);
}

void TfrmDecode::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TfrmDecode::FormShow() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move((area.width() - frameGeometry().width()) / 2,
             (area.height() - frameGeometry().height()) / 2);
    }
    btn1Click();
}

void TfrmDecode::btn1Click() {
    mmo1->setPlainText(decodetool::ReferenceText());
}

void TfrmDecode::btn3BytesClick() {
    Explain(edt1, 3);
}

void TfrmDecode::btn4BytesClick() {
    Explain(edt2, 4);
}

void TfrmDecode::Explain(const QLineEdit* edit, int count) {
    std::vector<uint8_t> bytes;
    switch (decodetool::ReadTypedBytes(edit->text(), count, bytes)) {
        case decodetool::TypedBytes::TooShort:
            prompt_.Message(decodetool::TooShortMessage(count));
            return;
        case decodetool::TypedBytes::Stopped:
            return;
        case decodetool::TypedBytes::Ok:
            mmo1->setPlainText(decodetool::ExplainPacket(bytes).join('\n'));
            return;
    }
}
