#include "TextCodec.h"

#include <langinfo.h>

#include <QStringDecoder>
#include <QStringEncoder>
#include <cstring>

QByteArray ToGbk(const QString& text) {
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

QString FromGbk(const QByteArray& bytes) {
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

QByteArray ToTextEncoding(const QString& text, const char* codeset) {
    const bool ascii = std::strcmp(codeset, "ANSI_X3.4-1968") == 0 ||
                       std::strcmp(codeset, "ASCII") == 0 || std::strcmp(codeset, "US-ASCII") == 0;
    if (*codeset != '\0' && !ascii) {
        QStringEncoder encoder(codeset);
        if (encoder.isValid())
            return encoder.encode(text);
    }
    return text.toUtf8();
}

QByteArray ToLocaleText(const QString& text) {
    return ToTextEncoding(text, nl_langinfo(CODESET));
}
