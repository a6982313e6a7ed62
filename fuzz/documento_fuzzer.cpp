// The invoice read in one walk, on arbitrary bytes: whenever the quick
// reader takes a document, libxml2's tree must take it too and note exactly
// the same elements, texts and flags (and the same root name and count);
// whatever the tree refuses, the quick reader must refuse. Its paths are the
// archive's kind (long, shared steps, prefixes, case) and short ones the
// mutations reach easily. Nothing may escape but the load's Exception.
#include "common/errors.h"
#include "invoice/documento.h"

#include "fuzzsupport.h"

namespace {
const PercorsiFattura &percorsi()
{
    static const PercorsiFattura tutti = [] {
        PercorsiFattura p;
        for (const char *testo : { "FormatoTrasmissione", "CedentePrestatore.DatiAnagrafici.Anagrafica.Denominazione",
                 "CedentePrestatore.Denominazione", "DatiGenerali.DatiGeneraliDocumento.Numero",
                 "DatiBeniServizi.DatiRiepilogo.Imposta", "DatiIVA.Imposta", "Descrizione", "Natura", "a", "a.b", "b.a",
                 "a.a", "A.b.C", "p:b.\"c.d\"", "x.y.z" })
            p.testi(testo);
        for (const char *ambito : { "FatturaElettronicaBody", "DatiBeniServizi.DettaglioLinee", "b", "a.c" })
            p.elementi(ambito);
        for (const char *presenza : { "Attachment", "NomeAttachment", "c" })
            p.presenza(presenza);
        p.aggiungi("a.b", PercorsiFattura::Elementi | PercorsiFattura::Testi | PercorsiFattura::Presenza);
        return p;
    }();
    return tutti;
}

// The document's notes, or "!" and the load's message.
QStringList letto(const QByteArray &bytes, DocumentoFattura::Modo modo, bool *rapido)
{
    try {
        const DocumentoFattura doc(bytes, percorsi(), modo);
        *rapido = doc.lettoRapido();
        return doc.descrizione();
    } catch (const Exception &e) {
        *rapido = false;
        return { QStringLiteral("!") + e.message() };
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    bool rapido = false, albero = false;
    const QStringList perAlbero = letto(bytes, DocumentoFattura::Modo::Albero, &albero);
    const QStringList veloce = letto(bytes, DocumentoFattura::Modo::Rapido, &rapido);
    FUZZ_CHECK(!albero, QStringLiteral("the tree was asked for"));
    FUZZ_CHECK(veloce == perAlbero,
        (rapido ? QStringLiteral("quick:\n") : QStringLiteral("tree again:\n")) + veloce.join(u'\n')
            + QStringLiteral("\ntree:\n") + perAlbero.join(u'\n'));
    return 0;
}
