#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

QByteArray ToGbk(const QString& text) {
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

QString FromGbk(const QByteArray& bytes) {
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}
