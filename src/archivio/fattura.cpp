// One file's bytes made into the archive's rows: the envelope opened in
// memory, the invoice read with the path query's rules, body by body. The
// type, number, date and supplier are the values the header shows.
#include "archivio/fattura_p.h"

#include "common/errors.h"
#include "common/filenames.h"
#include "common/strings.h"
#include "common/text8.h"
#include "firma/busta.h"
#include "firma/firma.h"
#include "invoice/documento.h"
#include "invoice/header.h"
#include "invoice/openflow.h"

#include <QRegularExpression>

namespace {
using Elemento = DocumentoFattura::Elemento;

using Percorso = DocumentoFattura::Percorso;

// The paths to a party's name and identifiers, in the ordinary and in the
// simplified invoice.
struct PercorsiSoggetto {
    Percorso denominazione;
    Percorso nome;
    Percorso cognome;
    Percorso idPaese;
    Percorso idCodice;
    Percorso codiceFiscale;
};

// Every path the rows are read with, split once.
struct Percorsi {
    const Percorso formato { "FormatoTrasmissione" };
    const Percorso testata { "FatturaElettronicaHeader" };
    const Percorso corpo { "FatturaElettronicaBody" };
    const PercorsiSoggetto cedente[2] = {
        { Percorso("CedentePrestatore.DatiAnagrafici.Anagrafica.Denominazione"),
            Percorso("CedentePrestatore.DatiAnagrafici.Anagrafica.Nome"),
            Percorso("CedentePrestatore.DatiAnagrafici.Anagrafica.Cognome"),
            Percorso("CedentePrestatore.DatiAnagrafici.IdFiscaleIVA.IdPaese"),
            Percorso("CedentePrestatore.DatiAnagrafici.IdFiscaleIVA.IdCodice"),
            Percorso("CedentePrestatore.DatiAnagrafici.CodiceFiscale") },
        { Percorso("CedentePrestatore.Denominazione"), Percorso("CedentePrestatore.Nome"),
            Percorso("CedentePrestatore.Cognome"), Percorso("CedentePrestatore.IdFiscaleIVA.IdPaese"),
            Percorso("CedentePrestatore.IdFiscaleIVA.IdCodice"), Percorso("CedentePrestatore.CodiceFiscale") },
    };
    const PercorsiSoggetto cessionario[2] = {
        { Percorso("CessionarioCommittente.DatiAnagrafici.Anagrafica.Denominazione"),
            Percorso("CessionarioCommittente.DatiAnagrafici.Anagrafica.Nome"),
            Percorso("CessionarioCommittente.DatiAnagrafici.Anagrafica.Cognome"),
            Percorso("CessionarioCommittente.DatiAnagrafici.IdFiscaleIVA.IdPaese"),
            Percorso("CessionarioCommittente.DatiAnagrafici.IdFiscaleIVA.IdCodice"),
            Percorso("CessionarioCommittente.DatiAnagrafici.CodiceFiscale") },
        { Percorso("CessionarioCommittente.AltriDatiIdentificativi.Denominazione"),
            Percorso("CessionarioCommittente.AltriDatiIdentificativi.Nome"),
            Percorso("CessionarioCommittente.AltriDatiIdentificativi.Cognome"),
            Percorso("CessionarioCommittente.IdentificativiFiscali.IdFiscaleIVA.IdPaese"),
            Percorso("CessionarioCommittente.IdentificativiFiscali.IdFiscaleIVA.IdCodice"),
            Percorso("CessionarioCommittente.IdentificativiFiscali.CodiceFiscale") },
    };
    const Percorso tipo { "DatiGenerali.DatiGeneraliDocumento.TipoDocumento" };
    const Percorso data { "DatiGenerali.DatiGeneraliDocumento.Data" };
    const Percorso numero { "DatiGenerali.DatiGeneraliDocumento.Numero" };
    const Percorso divisa { "DatiGenerali.DatiGeneraliDocumento.Divisa" };
    const Percorso totaleDocumento { "DatiGenerali.DatiGeneraliDocumento.ImportoTotaleDocumento" };
    const Percorso imponibili { "DatiBeniServizi.DatiRiepilogo.ImponibileImporto" };
    const Percorso imposte { "DatiBeniServizi.DatiRiepilogo.Imposta" };
    const Percorso pagamenti { "DatiPagamento.DettaglioPagamento.ImportoPagamento" };
    const Percorso allegati { "Allegati" };
    const Percorso nomeAllegato { "NomeAttachment" };
    const Percorso allegato { "Attachment" };
    const Percorso beni { "DatiBeniServizi" };
    const Percorso importo { "Importo" };
    const Percorso impostaBeni { "DatiIVA.Imposta" };
    const Percorso aliquotaBeni { "DatiIVA.Aliquota" };
    const Percorso natura { "Natura" };
    const Percorso linee { "DatiBeniServizi.DettaglioLinee" };
    const Percorso numeroLinea { "NumeroLinea" };
    const Percorso codice { "CodiceArticolo.CodiceValore" };
    const Percorso descrizione { "Descrizione" };
    const Percorso quantita { "Quantita" };
    const Percorso unita { "UnitaMisura" };
    const Percorso prezzoUnitario { "PrezzoUnitario" };
    const Percorso prezzoTotale { "PrezzoTotale" };
    const Percorso aliquotaIva { "AliquotaIVA" };
    const Percorso nomeFile { "NomeFile" };
    const Percorso sdi { "IdentificativoSdI" };
};

const Percorsi &k()
{
    static const Percorsi percorsi;
    return percorsi;
}

class Lettura final {
public:
    explicit Lettura(const DocumentoFattura &doc)
        : doc_(doc)
    {
    }

    // Every value at the path, joined and trimmed as the header joins them.
    QByteArray valore8(const Percorso &percorso, Elemento dove, bool *trovato = nullptr) const
    {
        const QByteArrayList valori = doc_.valori(percorso, dove);
        if (trovato != nullptr)
            *trovato = !valori.isEmpty();
        return trimControls(joinLinesCrLf(valori));
    }
    QString valore(const Percorso &percorso, Elemento dove) const { return fromWindows1252(valore8(percorso, dove)); }
    QString testo(const Percorso &percorso, Elemento dove) const { return fromWindows1252(doc_.testo(percorso, dove)); }
    QStringList testi(const Percorso &percorso, Elemento dove) const
    {
        QStringList r;
        for (const QByteArray &t : doc_.testi(percorso, dove))
            r << fromWindows1252(t);
        return r;
    }

    // The party's name (company, or first name and surname) and identifier.
    void soggetto(const PercorsiSoggetto (&forme)[2], Elemento dove, QString &nome, QString &id) const
    {
        for (const PercorsiSoggetto &f : forme) {
            if (nome.isEmpty())
                nome = testo(f.denominazione, dove);
            if (nome.isEmpty())
                nome = (testo(f.nome, dove) + u' ' + testo(f.cognome, dove)).trimmed();
            if (id.isEmpty()) {
                const QString codice = testo(f.idCodice, dove);
                id = codice.isEmpty() ? testo(f.codiceFiscale, dove) : testo(f.idPaese, dove) + codice;
            }
        }
    }

    const DocumentoFattura &doc_;
};

// The tax inside an amount that includes it, at the rate (both in hundredths),
// rounded half away from zero.
Importo impostaScorporata(const Importo &importo, const Importo &aliquota)
{
    if (!importo.numero() || !aliquota.numero() || aliquota.valore() < 0)
        return Importo::somma({ QStringLiteral("?") });
    __extension__ using Grande = __int128;
    const Grande n = Grande(importo.valore()) * aliquota.valore();
    const Grande d = Grande(10000) + aliquota.valore();
    const Grande assoluto = ((n < 0 ? -n : n) * 2 + d) / (2 * d);
    return Importo::centesimi(static_cast<qint64>(n < 0 ? -assoluto : assoluto));
}

void importiOrdinari(const Lettura &l, Elemento corpo, RigaArchivio &riga)
{
    riga.imponibile = Importo::somma(l.testi(k().imponibili, corpo));
    riga.imposta = Importo::somma(l.testi(k().imposte, corpo));
    const QString totale = l.testo(k().totaleDocumento, corpo);
    if (!totale.isEmpty())
        riga.totale = Importo::scritto(totale);
    else if (riga.imponibile.dato() || riga.imposta.dato())
        riga.totale = riga.imponibile.piu(riga.imposta);
}

// A simplified invoice states amounts that include the tax, and the tax or
// only its rate.
void importiSemplificati(const Lettura &l, Elemento corpo, RigaArchivio &riga)
{
    QStringList importi;
    for (Elemento beni : l.doc_.elementi(k().beni, corpo)) {
        const QString importo = l.testo(k().importo, beni);
        importi << importo;
        const QString imposta = l.testo(k().impostaBeni, beni);
        const Importo questa = !imposta.isEmpty()
            ? Importo::scritto(imposta)
            : impostaScorporata(Importo::scritto(importo), Importo::scritto(l.testo(k().aliquotaBeni, beni)));
        riga.imposta = riga.imposta.dato() ? riga.imposta.piu(questa) : questa;
    }
    riga.totale = Importo::somma(importi);
    if (riga.totale.dato())
        riga.imponibile = riga.totale.meno(riga.imposta);
}

void linee(const Lettura &l, Elemento corpo, bool semplificata, RigaArchivio &riga)
{
    if (semplificata) {
        int n = 0;
        for (Elemento beni : l.doc_.elementi(k().beni, corpo)) {
            const QString natura = l.testo(k().natura, beni);
            riga.linee.push_back(
                { QString::number(++n), QString(), l.testo(k().descrizione, beni), QString(), QString(), QString(),
                    l.testo(k().importo, beni), natura.isEmpty() ? l.testo(k().aliquotaBeni, beni) : natura });
        }
        return;
    }
    for (Elemento d : l.doc_.elementi(k().linee, corpo)) {
        const QString natura = l.testo(k().natura, d);
        riga.linee.push_back({ l.testo(k().numeroLinea, d), l.testi(k().codice, d).join(QStringLiteral(", ")),
            l.testo(k().descrizione, d), l.testo(k().quantita, d), l.testo(k().unita, d),
            l.testo(k().prezzoUnitario, d), l.testo(k().prezzoTotale, d),
            natura.isEmpty() ? l.testo(k().aliquotaIva, d) : natura });
    }
}

int allegati(const DocumentoFattura &doc, Elemento corpo)
{
    int n = 0;
    for (Elemento a : doc.elementi(k().allegati, corpo))
        if (doc.haTesto(k().nomeAllegato, a) && doc.haTesto(k().allegato, a))
            ++n;
    return n;
}

void metadati(const Lettura &l, const QString &nome, const QString &file, const QStringList &voci, EsitoFile &esito)
{
    const Elemento radice = l.doc_.radice();
    QString fattura = l.testo(k().nomeFile, radice);
    if (fattura.isEmpty()) {
        // The SDI names it after the invoice: NAME_MT_001.xml.
        const qsizetype mt = nome.lastIndexOf(QLatin1String("_MT_"), -1, Qt::CaseInsensitive);
        fattura = mt > 0 ? nome.left(mt) : QString();
    }
    if (fattura.isEmpty()) {
        esito.nonFatture.push_back({ file, voci, QStringLiteral("File di metadati SDI senza il nome della fattura") });
        return;
    }
    esito.metadati.push_back({ ChiaveFattura(fattura), l.testo(k().sdi, radice),
        { file, voci, QStringLiteral("File di metadati SDI senza la sua fattura: ") + fattura } });
}

// Parsed fine and never naming a Signature element, a plain invoice has none:
// most of an archive is told so without a second parse.
QString esitoFirmaXml(QByteArrayView bytes, const OpzioniArchivio &opzioni)
{
    if (SenzaFirmaXml(bytes))
        return ParolaEsito(EsitoFirma::Assente);
    return ParolaEsito(VerificaFirma(bytes, FormaFile::Xml, opzioni.firme->elenco().get(), opzioni.adesso).esito);
}

void righe(QByteArrayView bytes, const QString &file, const QStringList &voci, const OpzioniArchivio &opzioni,
    EsitoFile &esito)
{
    const QString nome = voci.isEmpty() ? extractFileName(file) : extractFileName(voci.last(), PathRules::Posix);
    const bool busta = hasExtension(nome, u".p7m");
    BustaAperta aperta;
    QString firma;
    if (busta && opzioni.firme != nullptr) // checked and opened in one parse
        firma = ParolaEsito(
            VerificaFirma(bytes, FormaFile::Busta, opzioni.firme->elenco().get(), opzioni.adesso, &aperta.contenuto)
                .esito);
    if (busta && aperta.contenuto.isNull())
        aperta = ApriBusta(bytes); // unchecked, or unreadable: its message
    const DocumentoFattura doc(busta ? QByteArrayView(aperta.contenuto) : bytes);
    const Lettura l(doc);
    const Elemento radice = doc.radice();
    if (equalsIgnoreAsciiCase(doc.nomeRadice(), "FileMetadati")) {
        metadati(l, nome, file, voci, esito);
        return;
    }
    bool trovato = false;
    const QByteArray formato = l.valore8(k().formato, radice, &trovato);
    if (!trovato)
        throw Exception(MsgDocumentoNonGestito);

    RigaArchivio base;
    base.file = file;
    base.voci = voci;
    base.busta = busta;
    base.formato = fromWindows1252(formato);
    // The supplier exactly as the header shows it; the other forms only where it shows none.
    base.cedente = l.valore(k().cedente[0].denominazione, radice);
    const std::vector<Elemento> testate = doc.elementi(k().testata, radice);
    const Elemento testata = testate.empty() ? radice : testate.front();
    l.soggetto(k().cedente, testata, base.cedente, base.cedenteId);
    l.soggetto(k().cessionario, testata, base.cessionario, base.cessionarioId);
    if (opzioni.firme != nullptr)
        base.firma = busta ? firma : esitoFirmaXml(bytes, opzioni);
    const bool semplificata
        = formato == "FSM10" || equalsIgnoreAsciiCase(doc.nomeRadice(), "FatturaElettronicaSemplificata");

    std::vector<Elemento> corpi = doc.elementi(k().corpo, radice);
    if (corpi.empty())
        corpi.push_back(radice); // a document without bodies reads as one
    std::vector<RigaArchivio> risultato;
    risultato.reserve(corpi.size());
    for (size_t i = 0; i < corpi.size(); ++i) {
        const Elemento corpo = corpi[i];
        RigaArchivio riga = base;
        riga.corpo = static_cast<int>(i + 1);
        const QByteArray tipo = l.valore8(k().tipo, corpo);
        riga.tipoDocumento = fromWindows1252(tipo);
        const QByteArray descrizione = DescrTipoDoc(tipo);
        riga.descrizioneTipo = descrizione.isEmpty() ? QString() : fromWindows1252(descrizione.mid(tipo.size() + 1));
        riga.data = l.valore(k().data, corpo);
        riga.numero = l.valore(k().numero, corpo);
        riga.valuta = l.testo(k().divisa, corpo);
        if (semplificata)
            importiSemplificati(l, corpo, riga);
        else
            importiOrdinari(l, corpo, riga);
        riga.daPagare = Importo::somma(l.testi(k().pagamenti, corpo));
        riga.allegati = allegati(doc, corpo);
        if (opzioni.linee)
            linee(l, corpo, semplificata, riga);
        risultato.push_back(std::move(riga));
    }
    for (RigaArchivio &r : risultato)
        esito.righe.push_back(std::move(r));
}
} // namespace

void AnalizzaFile(QByteArrayView bytes, const QString &file, const QStringList &voci, const OpzioniArchivio &opzioni,
    EsitoFile &esito)
{
    try {
        righe(bytes, file, voci, opzioni, esito);
    } catch (const Exception &e) {
        esito.nonFatture.push_back({ file, voci, MotivoInUnaRiga(e.message()) });
    } catch (const std::bad_alloc &) {
        esito.nonFatture.push_back({ file, voci, QStringLiteral("Memoria insufficiente per leggere il file") });
    }
}

QString ChiaveFattura(const QString &nome)
{
    QString chiave = extractFileName(nome, PathRules::Posix);
    for (const char16_t *estensione : { u".p7m", u".xml" })
        if (hasExtension(chiave, estensione, PathRules::Posix))
            chiave = removeFileExt(chiave, PathRules::Posix);
    return toLowerAscii(chiave);
}

QString MotivoInUnaRiga(const QString &messaggio)
{
    QStringList righe;
    for (const QString &r : messaggio.split(QRegularExpression(QStringLiteral("[\\r\\n]+")), Qt::SkipEmptyParts))
        if (!r.trimmed().isEmpty())
            righe << r.trimmed();
    return righe.join(u' ');
}
