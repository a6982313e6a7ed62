// Trimming and ASCII-only case rules shared by every module.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Removes every character of code 0x20 or below at both ends.
QByteArray trimControls(QByteArrayView text);
QString trimControls(QStringView text);

// Only A-Z and a-z are folded; accented letters keep their case.
QByteArray toLowerAscii(QByteArrayView text);
QString toLowerAscii(QStringView text);
bool equalsIgnoreAsciiCase(QByteArrayView a, QByteArrayView b);
bool equalsIgnoreAsciiCase(QStringView a, QStringView b);
