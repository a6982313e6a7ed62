// The dotted-path query over an invoice's XML tree: every element that ends a
// chain of names (//a/b/c over local names, ASCII case folded), its trimmed
// text as one 8-bit line each.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

class MessageSink;

// The part of a name after its first ":", or the whole name.
QByteArray NomeLocale(const QByteArray &name);

// Splits a path at "." (CR and LF end a step too, quotes protect), dropping
// empty steps.
QByteArrayList DividiPercorso(const QByteArray &path);

// Empties values, then appends the text of every element found. False when
// nothing was found, when the file does not exist, or when it cannot be
// loaded (then messages gets the load message). Throws Exception when a found
// element does not hold a single text node.
bool LeggiValoriXml(const QString &fileName, const QByteArray &path, QByteArrayList &values, MessageSink &messages);

// The load message the user sees for a file that is not well-formed.
inline const QString PrefissoXmlConErrori = QStringLiteral("ATTENZIONE, XML CON ERRORI (002)! \r\n\r\n");
