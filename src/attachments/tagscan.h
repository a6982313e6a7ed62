// Finding invoice elements by plain byte search over the whole invoice text,
// without parsing XML: "<Name>" and "</Name>" exactly, case-sensitive, with no
// attributes, blanks, prefixes or self-closing forms. Positions are 1-based;
// 0 means "not found".
#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The first occurrence of pattern that begins at or after start (a start
// below 1 counts as 1); 0 when there is none or either text is empty.
qint32 PosDa(QByteArrayView pattern, QByteArrayView text, qint32 start);

// The next whole element named name at or after position, both tags included;
// position then moves past its closing tag. The element ends at the first
// closing tag after its opening one. Empty, with position unchanged, when
// there is no further complete element.
QByteArray EstraiElemento(QByteArrayView text, QByteArrayView name, qint32 &position);

// The trimmed text between the first opening tag and the first closing tag of
// the whole text; empty unless that closing tag stands after the opening one.
QByteArray ValoreTag(QByteArrayView text, QByteArrayView name);

// The same two as views into text, for callers that need no copy of an
// element that may hold many megabytes.
QByteArrayView EstraiElementoVista(QByteArrayView text, QByteArrayView name, qint32 &position);
QByteArrayView ValoreTagVista(QByteArrayView text, QByteArrayView name);

// Text without the bytes of value 0x20 or less at both ends.
QByteArrayView trimmedView(QByteArrayView text);
