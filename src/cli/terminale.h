// Text that comes from files (names, values, reasons) made safe for a
// terminal: every control character (C0, DEL and C1) is written as \x1b, so
// that no escape sequence, carriage return or line end in a file can move the
// cursor, recolour the screen or rewrite a line already printed.
#pragma once

#include <QString>
#include <QStringView>

// One line: the control characters escaped, line ends included.
QString PerTerminale(QStringView testo);

// A message on one line: its lines (CR, LF) joined by a blank, then escaped.
QString RigaPerTerminale(QStringView testo);

// A block of lines: each line escaped, the line feeds between them kept.
QString RighePerTerminale(QStringView testo);

// A field's value on one line: several values (joined by CR LF, as the header
// joins the bodies' values) separated by " | ", then escaped.
QString ValorePerTerminale(QString testo);
