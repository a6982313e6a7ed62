// Decoding and saving every attachment of an invoice file at once.
#pragma once

#include <QString>

// Writes every attachment of the invoice into the folder, creating it when
// missing; returns how many files it wrote. Never throws: the first error ends
// the walk with its text in messaggio (emptied first), and the files written
// before it remain. A missing invoice gives 0 and an empty message.
qint32 EstraiAllegati(const QString &fileName, const QString &cartella, QString &messaggio);
