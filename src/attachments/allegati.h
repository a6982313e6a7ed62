// The attachments of an invoice: the list read from its Allegati blocks and
// the saving of one attachment, decoded, into a folder.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// One attachment: its file name and its Base64 text, both non-empty and taken
// from the invoice byte for byte.
struct TAllegatoItem {
    QByteArray Nome;
    QByteArray Contenuto;
};

// Appends one entry for each Allegati block, in file order, that holds both a
// NomeAttachment and a non-empty Attachment; returns how many it appended.
// Throws Exception when the file cannot be read.
// The file is read in pieces of the given size (tests use small ones).
qint32 LeggiAllegati(const QString &fileName, QList<TAllegatoItem> &list, qsizetype pezzo = qsizetype(1) << 20);

// The name as the list shows it: read as UTF-8 when its bytes are UTF-8, else
// through code page 1252, and reduced to the plain name it is written under,
// so what the user sees is what gets written (a name that cannot be written
// shows as it is).
QString NomeVisibile(const QByteArray &nome);

// Decodes the attachment and writes it, whole or not at all, into the folder
// (which must exist) under the plain form of its name. Throws Exception.
void SalvaAllegato(const TAllegatoItem &item, const QString &cartella);

// Shared by the list, the save and the bulk extraction:
// The invoice text read as lines; throws Exception when the file cannot be
// read or its text is too long for 32-bit positions.
QByteArray CaricaFattura(const QString &fileName);
// The file name under which an attachment is written: the last part of its
// name; throws Exception when nothing usable is left.
QString NomeFileAllegato(const QByteArray &nome);
// The path of that file inside the folder.
QString PercorsoAllegato(const QString &cartella, const QString &nomeFile);
// The Base64 text without the blanks, tabs, CR and LF of line-wrapped text
// (the same text, not a copy, when it holds none); throws Exception when
// anything else outside the alphabet remains, or an "=" stands where the
// decoder would not take it as a group's padding, since decoding it would
// write wrong bytes.
QByteArray TestoBase64Allegato(const QByteArray &contenuto, const QString &nomeVisibile);
