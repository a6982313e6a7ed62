// The archive reading on arbitrary bytes taken as a ZIP archive: from a file
// (and any ZIP inside it, which is read from memory) and from memory, with
// one worker and with two, within a small budget so that its cut is reached.
// Nothing may be written anywhere; every row must come from an entry of that
// archive and read back the same through LeggiOrigine; every refusal must
// carry a reason on one line; the messages of the exchange system must name
// rows that exist; the two readings must agree, and a third that only traces
// the messages must give the rows the same fates; the central directory's own
// check must never throw anything but Exception; and no exception may escape.
#include "archivio/archivio.h"
#include "archivio/zipfile_p.h"
#include "common/errors.h"

#include "fuzzsupport.h"

namespace {
struct Raccolta final : Ricevitore {
    std::vector<RigaArchivio> tutte;
    QStringList scarti;
    QStringList messaggiVisti;
    void righe(std::vector<RigaArchivio> &&nuove) override
    {
        for (RigaArchivio &r : nuove)
            tutte.push_back(std::move(r));
    }
    void nonFattura(FileNonFattura &&f) override
    {
        FUZZ_CHECK(!f.motivo.isEmpty() && !f.motivo.contains(u'\n') && !f.motivo.contains(u'\r'), f.motivo);
        scarti << NomeOrigine(f.file, f.voci) + u'|' + f.motivo;
    }
    void sdi(qsizetype riga, const QString &) override
    {
        FUZZ_CHECK(riga >= 0 && riga < static_cast<qsizetype>(tutte.size()), QString::number(riga));
    }
    void statoSdi(qsizetype riga, const QString &stato, const QStringList &tipi) override
    {
        FUZZ_CHECK(riga >= 0 && riga < static_cast<qsizetype>(tutte.size()) && !tipi.isEmpty(), stato);
        scarti << QString::number(riga) + u'|' + stato + u'|' + tipi.join(u',');
    }
    void messaggi(MessaggiArchivio &&trovati) override
    {
        for (const MessaggioArchivio &m : trovati) {
            FUZZ_CHECK(m.riga >= -1 && m.riga < static_cast<qsizetype>(tutte.size()), QString::number(m.riga));
            messaggiVisti << NomeOrigine(m.file, m.voci) + u'>' + m.messaggio.sigla() + u'>' + QString::number(m.riga);
        }
    }
};

QStringList chiavi(const Raccolta &r)
{
    QStringList c;
    for (const RigaArchivio &riga : r.tutte)
        c << NomeOrigine(riga.file, riga.voci) + u'#' + QString::number(riga.corpo) + u'|' + riga.numero + u'|'
                + riga.totale.conPunto();
    return c + r.scarti;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString cartella = scratchDir();
    const QByteArray bytes = inputBytes(data, size);
    const QString zip = writeScratchFile(cartella + QStringLiteral("/a.zip"), bytes);
    Raccolta uno, due, tracce;
    OpzioniArchivio opzioni;
    opzioni.limiti = { 400'000, 200, 0, 64, 3 };
    opzioni.fili = 1;
    LeggiArchivio({ zip }, opzioni, uno);
    opzioni.fili = 2;
    LeggiArchivio({ zip }, opzioni, due);
    FUZZ_CHECK(chiavi(uno) + uno.messaggiVisti == chiavi(due) + due.messaggiVisti,
        chiavi(uno).join(u'\n') + QStringLiteral("\n--\n") + chiavi(due).join(u'\n'));
    opzioni.messaggi = false;
    LeggiArchivio({ zip }, opzioni, tracce);
    FUZZ_CHECK(chiavi(tracce) == chiavi(uno) && tracce.messaggiVisti.isEmpty(),
        chiavi(uno).join(u'\n') + QStringLiteral("\n--\n") + chiavi(tracce).join(u'\n'));
    FUZZ_CHECK(folderEntries(cartella) == QStringList { QStringLiteral("a.zip") }, folderEntries(cartella).join(u'|'));

    Totali totali;
    for (const RigaArchivio &r : uno.tutte) {
        FUZZ_CHECK(r.file == zip && !r.voci.isEmpty() && r.corpo >= 1, NomeOrigine(r.file, r.voci));
        totali.aggiungi(r);
        try {
            LeggiOrigine(r.file, r.voci);
        } catch (const Exception &e) {
            fuzzFailure("a listed entry does not read back", NomeOrigine(r.file, r.voci) + u' ' + e.message());
        }
    }
    totali.testo();

    // The same bytes as an archive in memory, as a ZIP inside a ZIP is read.
    try {
        const ArchivioZip inMemoria(bytes);
        try {
            ControllaVociZip(bytes, inMemoria.quante());
        } catch (const Exception &) {
        }
        for (const VoceZip &voce : inMemoria.voci()) {
            try {
                FUZZ_CHECK(inMemoria.leggi(voce).size() <= kMassimoVoce, voce.nome);
            } catch (const Exception &) {
            }
        }
    } catch (const Exception &) {
    }
    return 0;
}
