// The archive's rows and invoice lines as CSV for spreadsheets the way Italian
// users have them: ";" between fields, decimal comma, dates dd/mm/yyyy, UTF-8
// with a byte-order mark, an Italian header row, quotes where needed.
#pragma once

#include "archivio/archivio.h"

#include <QByteArray>
#include <vector>

// One row per invoice body.
QByteArray CsvRighe(const std::vector<const RigaArchivio *> &righe);
// One row per invoice line of those bodies (their lines must have been read).
QByteArray CsvLinee(const std::vector<const RigaArchivio *> &righe);
