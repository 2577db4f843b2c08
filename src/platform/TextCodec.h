#pragma once

// 8-bit texts in files and on the line are GBK (code page 936).

#include <QByteArray>
#include <QString>

QByteArray ToGbk(const QString& text);
QString FromGbk(const QByteArray& bytes);
