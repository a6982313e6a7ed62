// 8-bit text in Windows code page 1252, with Windows' best-fit rules for
// characters the code page lacks (a similar character, else "?").
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

QByteArray toWindows1252(QStringView text);
QString fromWindows1252(QByteArrayView bytes);

// An ordered list of 8-bit strings; its text form ends every line with CR LF.
QByteArray joinLinesCrLf(const QByteArrayList &lines);
