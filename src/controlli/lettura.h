// The checks on an invoice the archive reads in its one walk: what the quick
// reader sees becomes the light tree the content checks read, and a tree that
// is plainly valid against its schema needs no second parse; any other
// document (one the quick reader left to libxml2, one not plainly valid) is
// checked as ControllaFattura checks it. The findings are the same either
// way; those of the walk carry no file line.
#pragma once

#include "controlli/controlli.h"

#include <memory>

class OsservatoreLettura;

class ControlliInLettura final {
public:
    ControlliInLettura();
    ~ControlliInLettura();
    ControlliInLettura(const ControlliInLettura &) = delete;
    ControlliInLettura &operator=(const ControlliInLettura &) = delete;

    // To be shown the walk (DocumentoFattura's observer).
    OsservatoreLettura *osservatore();
    // After the walk of these bytes; lettoRapido: the quick reader read them
    // (DocumentoFattura::lettoRapido), so the observer saw them whole.
    RisultatoControlli risultato(const SchemiFattura &schemi, QByteArrayView bytes, bool lettoRapido, QDate oggi);

    struct Dati;

private:
    std::unique_ptr<Dati> d_;
};
