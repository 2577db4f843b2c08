#pragma once

// 8-bit texts on the line and in the Windows programs' files are GBK (code page 936); files
// written for people to read on this system follow the user's locale.

#include <QByteArray>
#include <QString>

QByteArray ToGbk(const QString& text);
QString FromGbk(const QByteArray& bytes);

// text in the encoding named by codeset (nl_langinfo's name); UTF-8 when codeset is one that
// cannot carry Chinese (the C locale's ASCII) or unknown.
QByteArray ToTextEncoding(const QString& text, const char* codeset);
// text in the encoding of the process's locale (LC_CTYPE).
QByteArray ToLocaleText(const QString& text);
