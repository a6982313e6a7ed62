// The archive's rows and invoice lines as CSV for spreadsheets the way Italian
// users have them: ";" between fields, decimal comma, dates dd/mm/yyyy, UTF-8
// with a byte-order mark, an Italian header row, quotes where needed.
#pragma once

#include "archivio/archivio.h"
#include "archivio/riepilogo.h"

#include <QByteArray>
#include <QStringView>
#include <vector>

// One row per invoice body.
QByteArray CsvRighe(const std::vector<const RigaArchivio *> &righe);
// One row per invoice line of those bodies (their lines must have been read).
QByteArray CsvLinee(const std::vector<const RigaArchivio *> &righe);

// The VAT summary, one row per direction, currency, rate, nature and
// chargeability.
QByteArray CsvRiepilogoIva(const std::vector<VoceRiepilogoIva> &voci);

// The same a row at a time, for callers that write as rows come: the byte
// order mark and the header; a body's row without its last fields (from the
// SDI identifier on: the identifier, the fate the messages tell and the
// checks' findings, empty when not checked; files read later may still bring
// the first two), then those fields with the row's end; a body's invoice lines.
QByteArray CsvIntestazioneRighe();
QByteArray CsvIntestazioneLinee();
void CsvRigaSenzaSdi(QByteArray &out, const RigaArchivio &r);
void CsvFineRiga(QByteArray &out, QStringView sdi, QStringView statoSdi, int controlli);
void CsvLineeDi(QByteArray &out, const RigaArchivio &r);
