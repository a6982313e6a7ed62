// One file's bytes made into the archive's rows: the envelope opened in
// memory, the document read once, then what kind of document it is decides
// what the file gives (an invoice's rows, a message of the exchange system, a
// metadata file's identifier). The type, number, date and supplier are the
// values the header shows.
#include "archivio/fattura_p.h"

#include "common/errors.h"
#include "common/filenames.h"
#include "common/strings.h"
#include "common/text8.h"
#include "controlli/controlli.h"
#include "controlli/lettura.h"
#include "firma/busta.h"
#include "firma/firma.h"
#include "invoice/documento.h"
#include "invoice/header.h"
#include "invoice/openflow.h"
#include "invoice/xmlquery.h"
#include "invoice/xmlsicuro.h"

#include <QRegularExpression>
#include <libxml/tree.h>
#include <numeric>
#include <optional>

namespace {
using Elemento = DocumentoFattura::Elemento;
using Percorso = PercorsiFattura::Percorso;

// The paths to a party's name and identifiers.
struct PercorsiSoggetto {
    Percorso denominazione;
    Percorso nome;
    Percorso cognome;
    Percorso idPaese;
    Percorso idCodice;
    Percorso codiceFiscale;
};

// Every path the rows are read with, split once, with what is read of each;
// the invoice lines' own only when they are asked for.
struct PercorsiArchivio {
    PercorsiArchivio(bool conLinee, bool conAliquote)
        : linee(conLinee)
        , aliquote(conAliquote)
    {
    }
    PercorsiSoggetto soggetto(const QByteArray &anagrafica, const QByteArray &identificativi)
    {
        return { tutti.testi(anagrafica + ".Denominazione"), tutti.testi(anagrafica + ".Nome"),
            tutti.testi(anagrafica + ".Cognome"), tutti.testi(identificativi + ".IdFiscaleIVA.IdPaese"),
            tutti.testi(identificativi + ".IdFiscaleIVA.IdCodice"), tutti.testi(identificativi + ".CodiceFiscale") };
    }
    Percorso linea(const char *percorso) { return linee ? tutti.testi(percorso) : Percorso(); }

    const bool linee;
    PercorsiFattura tutti;
    const Percorso formato = tutti.testi("FormatoTrasmissione");
    const Percorso testata = tutti.elementi("FatturaElettronicaHeader");
    const Percorso corpo = tutti.elementi("FatturaElettronicaBody");
    // The ordinary invoice's forms, then the simplified one's.
    const PercorsiSoggetto cedente[2] = {
        soggetto("CedentePrestatore.DatiAnagrafici.Anagrafica", "CedentePrestatore.DatiAnagrafici"),
        soggetto("CedentePrestatore", "CedentePrestatore"),
    };
    const PercorsiSoggetto cessionario[2] = {
        soggetto("CessionarioCommittente.DatiAnagrafici.Anagrafica", "CessionarioCommittente.DatiAnagrafici"),
        soggetto("CessionarioCommittente.AltriDatiIdentificativi", "CessionarioCommittente.IdentificativiFiscali"),
    };
    const Percorso tipo = tutti.testi("DatiGenerali.DatiGeneraliDocumento.TipoDocumento");
    const Percorso data = tutti.testi("DatiGenerali.DatiGeneraliDocumento.Data");
    const Percorso numero = tutti.testi("DatiGenerali.DatiGeneraliDocumento.Numero");
    const Percorso divisa = tutti.testi("DatiGenerali.DatiGeneraliDocumento.Divisa");
    const Percorso totaleDocumento = tutti.testi("DatiGenerali.DatiGeneraliDocumento.ImportoTotaleDocumento");
    const Percorso imponibili = tutti.testi("DatiBeniServizi.DatiRiepilogo.ImponibileImporto");
    const Percorso imposte = tutti.testi("DatiBeniServizi.DatiRiepilogo.Imposta");
    const Percorso pagamenti = tutti.testi("DatiPagamento.DettaglioPagamento.ImportoPagamento");
    const Percorso allegati = tutti.elementi("Allegati");
    const Percorso nomeAllegato = tutti.presenza("NomeAttachment");
    const Percorso allegato = tutti.presenza("Attachment");
    const Percorso beni = tutti.elementi("DatiBeniServizi");
    const Percorso importo = tutti.testi("Importo");
    const Percorso impostaBeni = tutti.testi("DatiIVA.Imposta");
    const Percorso aliquotaBeni = tutti.testi("DatiIVA.Aliquota");
    const Percorso natura = tutti.testi("Natura");
    const Percorso descrizione = tutti.testi("Descrizione");
    const Percorso nomeFile = tutti.testi("NomeFile");
    const Percorso sdi = tutti.testi("IdentificativoSdI");
    const Percorso dettaglioLinee = linee ? tutti.elementi("DatiBeniServizi.DettaglioLinee") : Percorso();
    const Percorso numeroLinea = linea("NumeroLinea");
    const Percorso codice = linea("CodiceArticolo.CodiceValore");
    const Percorso quantita = linea("Quantita");
    const Percorso unita = linea("UnitaMisura");
    const Percorso prezzoUnitario = linea("PrezzoUnitario");
    const Percorso prezzoTotale = linea("PrezzoTotale");
    const Percorso aliquotaIva = linea("AliquotaIVA");
    // The VAT summary's own, only when it is asked for.
    const bool aliquote;
    Percorso riepilogo(const char *percorso) { return aliquote ? tutti.testi(percorso) : Percorso(); }
    const Percorso riepiloghi = aliquote ? tutti.elementi("DatiBeniServizi.DatiRiepilogo") : Percorso();
    const Percorso aliquotaRiepilogo = riepilogo("AliquotaIVA");
    const Percorso naturaRiepilogo = riepilogo("Natura");
    const Percorso imponibileRiepilogo = riepilogo("ImponibileImporto");
    const Percorso impostaRiepilogo = riepilogo("Imposta");
    const Percorso esigibilita = riepilogo("EsigibilitaIVA");
};

// The paths for each choice of what is read besides the rows: a plain
// reading asks for nothing more than it did.
const PercorsiArchivio &percorsi(bool linee, bool aliquote)
{
    static const PercorsiArchivio soloRighe(false, false);
    static const PercorsiArchivio conLinee(true, false);
    static const PercorsiArchivio conAliquote(false, true);
    static const PercorsiArchivio conTutto(true, true);
    return linee ? (aliquote ? conTutto : conLinee) : (aliquote ? conAliquote : soloRighe);
}

// Every value at the path, joined and trimmed as the header joins them.
QString valore(const DocumentoFattura &doc, const Percorso &percorso, Elemento dove, bool *trovato = nullptr)
{
    const QStringList valori = doc.valori(percorso, dove);
    if (trovato != nullptr)
        *trovato = !valori.isEmpty();
    QString unito;
    for (const QString &v : valori)
        unito += v + QStringLiteral("\r\n");
    return trimControls(unito);
}

// The party's name (company, or first name and surname) and identifier.
void soggetto(
    const DocumentoFattura &doc, const PercorsiSoggetto (&forme)[2], Elemento dove, QString &nome, QString &id)
{
    for (const PercorsiSoggetto &f : forme) {
        if (nome.isEmpty())
            nome = doc.testo(f.denominazione, dove);
        if (nome.isEmpty())
            nome = (doc.testo(f.nome, dove) + u' ' + doc.testo(f.cognome, dove)).trimmed();
        if (id.isEmpty()) {
            const QString codice = doc.testo(f.idCodice, dove);
            id = codice.isEmpty() ? doc.testo(f.codiceFiscale, dove) : doc.testo(f.idPaese, dove) + codice;
        }
    }
}

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

void importiOrdinari(const DocumentoFattura &doc, const PercorsiArchivio &p, Elemento corpo, RigaArchivio &riga)
{
    if (p.aliquote)
        for (Elemento r : doc.elementi(p.riepiloghi, corpo))
            riga.aliquote.push_back({ doc.testo(p.aliquotaRiepilogo, r), doc.testo(p.naturaRiepilogo, r),
                doc.testo(p.esigibilita, r), Importo::scritto(doc.testo(p.imponibileRiepilogo, r)),
                Importo::scritto(doc.testo(p.impostaRiepilogo, r)) });
    riga.imponibile = Importo::somma(doc.testi(p.imponibili, corpo));
    riga.imposta = Importo::somma(doc.testi(p.imposte, corpo));
    const QString totale = doc.testo(p.totaleDocumento, corpo);
    if (!totale.isEmpty())
        riga.totale = Importo::scritto(totale);
    else if (riga.imponibile.dato() || riga.imposta.dato())
        riga.totale = riga.imponibile.piu(riga.imposta);
}

// A simplified invoice states amounts that include the tax, and the tax or
// only its rate.
void importiSemplificati(const DocumentoFattura &doc, const PercorsiArchivio &p, Elemento corpo, RigaArchivio &riga)
{
    QStringList importi;
    for (Elemento beni : doc.elementi(p.beni, corpo)) {
        const QString importo = doc.testo(p.importo, beni);
        importi << importo;
        const QString imposta = doc.testo(p.impostaBeni, beni);
        const QString aliquota = doc.testo(p.aliquotaBeni, beni);
        const Importo questa = !imposta.isEmpty()
            ? Importo::scritto(imposta)
            : impostaScorporata(Importo::scritto(importo), Importo::scritto(aliquota));
        riga.imposta = riga.imposta.dato() ? riga.imposta.piu(questa) : questa;
        if (p.aliquote)
            riga.aliquote.push_back(
                { aliquota, doc.testo(p.natura, beni), QString(), Importo::scritto(importo).meno(questa), questa });
    }
    riga.totale = Importo::somma(importi);
    if (riga.totale.dato())
        riga.imponibile = riga.totale.meno(riga.imposta);
}

void linee(
    const DocumentoFattura &doc, const PercorsiArchivio &p, Elemento corpo, bool semplificata, RigaArchivio &riga)
{
    if (semplificata) {
        int n = 0;
        for (Elemento beni : doc.elementi(p.beni, corpo)) {
            const QString natura = doc.testo(p.natura, beni);
            riga.linee.push_back(
                { QString::number(++n), QString(), doc.testo(p.descrizione, beni), QString(), QString(), QString(),
                    doc.testo(p.importo, beni), natura.isEmpty() ? doc.testo(p.aliquotaBeni, beni) : natura });
        }
        return;
    }
    for (Elemento d : doc.elementi(p.dettaglioLinee, corpo)) {
        const QString natura = doc.testo(p.natura, d);
        riga.linee.push_back({ doc.testo(p.numeroLinea, d), doc.testi(p.codice, d).join(QStringLiteral(", ")),
            doc.testo(p.descrizione, d), doc.testo(p.quantita, d), doc.testo(p.unita, d),
            doc.testo(p.prezzoUnitario, d), doc.testo(p.prezzoTotale, d),
            natura.isEmpty() ? doc.testo(p.aliquotaIva, d) : natura });
    }
}

int allegati(const DocumentoFattura &doc, const PercorsiArchivio &p, Elemento corpo)
{
    int n = 0;
    for (Elemento a : doc.elementi(p.allegati, corpo))
        if (doc.haTesto(p.nomeAllegato, a) && doc.haTesto(p.allegato, a))
            ++n;
    return n;
}

// A metadata file of the SDI: the invoice it names (or its own name tells)
// and the identifier.
void metadati(const DocumentoFattura &doc, const PercorsiArchivio &p, const QString &nome, const QString &file,
    const QStringList &voci, EsitoFile &esito)
{
    const Elemento radice = doc.radice();
    QString fattura = doc.testo(p.nomeFile, radice);
    if (fattura.isEmpty()) {
        // The SDI names it after the invoice: NAME_MT_001.xml.
        const qsizetype mt = nome.lastIndexOf(QLatin1String("_MT_"), -1, Qt::CaseInsensitive);
        fattura = mt > 0 ? nome.left(mt) : QString();
    }
    if (fattura.isEmpty()) {
        esito.nonFatture.push_back({ file, voci, QStringLiteral("File di metadati SDI senza il nome della fattura") });
        return;
    }
    esito.metadati.push_back({ ChiaveFattura(fattura), doc.testo(p.sdi, radice),
        { file, voci, QStringLiteral("File di metadati SDI senza la sua fattura: ") + fattura } });
}

// A signature's outcome as a row carries it: the word and, unless there is
// no signature, the sentence.
struct EsitoRiga {
    QString parola;
    QString motivo;
};

EsitoRiga esitoRiga(const EsitoVerifica &e)
{
    return { ParolaEsito(e.esito), e.esito == EsitoFirma::Assente ? QString() : e.motivo };
}

// The findings of the checks per body: [0] the header's (and those of no
// body), [n] body n's; empty when the checks are off or could not run.
std::vector<int> rilieviPerCorpo(const RisultatoControlli &r)
{
    if (r.esito == EsitoControllo::NonControllabile)
        return {};
    std::vector<int> per(1);
    for (const Rilievo &x : r.rilievi) {
        const size_t corpo = x.corpo > 0 ? static_cast<size_t>(x.corpo) : 0;
        if (per.size() <= corpo)
            per.resize(corpo + 1);
        ++per[corpo];
    }
    return per;
}

// An invoice: one row per body. firma gives the signature outcome (empty
// when not checked), controlli the findings per body; both asked once the
// document is known to be an invoice.
template <typename Firma, typename Controlli>
void fattura(const DocumentoFattura &doc, const PercorsiArchivio &p, const QString &file, const QStringList &voci,
    bool busta, const Firma &firma, const Controlli &controlli, EsitoFile &esito)
{
    const Elemento radice = doc.radice();
    bool trovato = false;
    const QString formato = valore(doc, p.formato, radice, &trovato);
    if (!trovato)
        throw Exception(MsgDocumentoNonGestito);

    RigaArchivio base;
    base.file = file;
    base.voci = voci;
    base.busta = busta;
    base.formato = formato;
    // The supplier exactly as the header shows it; the other forms only where it shows none.
    base.cedente = valore(doc, p.cedente[0].denominazione, radice);
    const std::vector<Elemento> testate = doc.elementi(p.testata, radice);
    const Elemento testata = testate.empty() ? radice : testate.front();
    soggetto(doc, p.cedente, testata, base.cedente, base.cedenteId);
    soggetto(doc, p.cessionario, testata, base.cessionario, base.cessionarioId);
    const EsitoRiga esitoFirma = firma();
    base.firma = esitoFirma.parola;
    base.motivoFirma = esitoFirma.motivo;
    const bool semplificata
        = formato == u"FSM10" || equalsIgnoreAsciiCase(doc.nomeRadice(), "FatturaElettronicaSemplificata");

    std::vector<Elemento> corpi = doc.elementi(p.corpo, radice);
    const bool senzaCorpi = corpi.empty();
    if (senzaCorpi)
        corpi.push_back(radice); // a document without bodies reads as one
    const std::vector<int> rilievi = controlli();
    std::vector<RigaArchivio> righe;
    righe.reserve(corpi.size());
    for (size_t i = 0; i < corpi.size(); ++i) {
        const Elemento corpo = corpi[i];
        RigaArchivio riga = base;
        riga.corpo = static_cast<int>(i + 1);
        riga.tipoDocumento = valore(doc, p.tipo, corpo);
        const QByteArray tipo = toWindows1252(riga.tipoDocumento);
        const QByteArray descrizione = DescrTipoDoc(tipo);
        riga.descrizioneTipo = descrizione.isEmpty() ? QString() : fromWindows1252(descrizione.mid(tipo.size() + 1));
        riga.data = valore(doc, p.data, corpo);
        riga.numero = valore(doc, p.numero, corpo);
        riga.valuta = doc.testo(p.divisa, corpo);
        if (semplificata)
            importiSemplificati(doc, p, corpo, riga);
        else
            importiOrdinari(doc, p, corpo, riga);
        riga.daPagare = Importo::somma(doc.testi(p.pagamenti, corpo));
        riga.allegati = allegati(doc, p, corpo);
        if (p.linee)
            linee(doc, p, corpo, semplificata, riga);
        if (!rilievi.empty())
            riga.controlli = senzaCorpi ? std::accumulate(rilievi.begin(), rilievi.end(), 0)
                                        : rilievi[0] + (i + 1 < rilievi.size() ? rilievi[i + 1] : 0);
        righe.push_back(std::move(riga));
    }
    for (RigaArchivio &r : righe)
        esito.righe.push_back(std::move(r));
}

// Parsed fine and never naming a Signature element, a plain invoice has none:
// most of an archive is told so without a second parse.
EsitoRiga esitoFirmaXml(QByteArrayView bytes, const OpzioniArchivio &opzioni)
{
    if (SenzaFirmaXml(bytes))
        return { ParolaEsito(EsitoFirma::Assente), QString() };
    return esitoRiga(VerificaFirma(bytes, FormaFile::Xml, opzioni.elenchi->elenco().get(), opzioni.adesso));
}

// A signed envelope that gives no invoice (it cannot be opened, or what it
// holds cannot be read) is still a row, with its outcome and empty fields,
// so that a damaged signed invoice stands among the others in red.
void rigaIlleggibile(
    const QString &file, const QStringList &voci, const EsitoRiga &firma, const QString &motivo, EsitoFile &esito)
{
    RigaArchivio r;
    r.file = file;
    r.voci = voci;
    r.busta = true;
    r.firma = firma.parola;
    r.motivoFirma = firma.motivo;
    r.illeggibile = motivo;
    esito.righe.push_back(std::move(r));
}

// Whether an element of the document is named FormatoTrasmissione (local
// name, ASCII case folded), as the open of a file looks for it: such a
// document is an invoice first, whatever its root.
bool conFormato(const xmlDoc *doc)
{
    const xmlNode *radice = xmlDocGetRootElement(doc);
    for (const xmlNode *n = radice; n != nullptr;) {
        if (n->type == XML_ELEMENT_NODE && n->name != nullptr
            && equalsIgnoreAsciiCase(QByteArrayView(reinterpret_cast<const char *>(n->name)), "FormatoTrasmissione"))
            return true;
        if (n->type == XML_ELEMENT_NODE && n->children != nullptr) {
            n = n->children;
            continue;
        }
        while (n != radice && n->next == nullptr)
            n = n->parent;
        n = n == radice ? nullptr : n->next;
    }
    return false;
}

// A message of the exchange system: read from one parse and kept apart; a
// metadata file also gives its invoice's identifier, as it always did. False
// when the bytes are no message (or not well-formed: the invoice's reading
// then says why).
bool messaggio(QByteArrayView xml, QByteArrayView bytes, const QString &nome, const QString &file,
    const QStringList &voci, const QString &firmaBusta, const OpzioniArchivio &opzioni, TestiTracce &testi,
    EsitoFile &esito)
{
    // The usual shape without a tree; the rest as the window reads it.
    LetturaRapida rapida
        = LeggiMessaggioRapido(xml, opzioni.messaggi ? CampiMessaggio::Tutti : CampiMessaggio::Traccia);
    if (rapida.esito == LetturaRapida::Rifiutata) {
        QString motivo;
        const DocumentoXml doc = CaricaXmlSicuro(QByteArray::fromRawData(xml.data(), xml.size()), motivo);
        std::optional<MessaggioSdI> letto = LeggiMessaggio(doc.get());
        rapida.esito = letto ? LetturaRapida::Messaggio : LetturaRapida::NonMessaggio;
        rapida.conFormato = letto && conFormato(doc.get());
        if (letto)
            rapida.messaggio = std::move(*letto);
    }
    if (rapida.esito != LetturaRapida::Messaggio || rapida.conFormato)
        return false;
    const MessaggioSdI &m = rapida.messaggio;
    QString fattura = m.nomeFile;
    if (m.tipo == TipoMessaggio::MT && fattura.isEmpty()) {
        // The system names it after the invoice: NAME_MT_001.xml.
        const qsizetype mt = nome.lastIndexOf(QLatin1String("_MT_"), -1, Qt::CaseInsensitive);
        fattura = mt > 0 ? nome.left(mt) : QString();
    }
    const QString chiave = fattura.isEmpty() ? QString() : ChiaveFattura(fattura);
    if (m.tipo == TipoMessaggio::MT && !chiave.isEmpty())
        esito.metadati.push_back({ chiave, m.identificativoSdI, { file, voci, QString() }, true });
    esito.tracce.push_back({ testi.tieni(chiave), testi.tieni(m.identificativoSdI), m.tipo, testi.tieni(m.dataOra()),
        testi.tieni(m.esito) });
    if (!opzioni.messaggi)
        return true;
    MessaggioArchivio trovato { file, voci, std::move(rapida.messaggio), firmaBusta, -1 };
    if (opzioni.firmaMessaggi && opzioni.elenchi != nullptr && firmaBusta.isEmpty())
        trovato.firma = esitoFirmaXml(bytes, opzioni).parola;
    esito.messaggi.push_back(std::move(trovato));
    return true;
}

// The file read once: an envelope opened (and its signature checked in the
// same parse), the document parsed once, then its kind decides the outcome.
void analizza(QByteArrayView bytes, const QString &file, const QStringList &voci, const OpzioniArchivio &opzioni,
    TestiTracce &testi, EsitoFile &esito)
{
    const QString nome = voci.isEmpty() ? extractFileName(file) : extractFileName(voci.last(), PathRules::Posix);
    const bool busta = hasExtension(nome, u".p7m");
    BustaAperta aperta;
    EsitoRiga firma;
    if (busta && opzioni.elenchi != nullptr) // checked and opened in one parse
        firma = esitoRiga(
            VerificaFirma(bytes, FormaFile::Busta, opzioni.elenchi->elenco().get(), opzioni.adesso, &aperta.contenuto));
    if (busta && aperta.contenuto.isNull()) {
        try {
            aperta = ApriBusta(bytes); // unchecked, or unreadable: its message
        } catch (const Exception &e) {
            // An envelope that cannot be read is one whose signature is not valid.
            if (firma.parola.isEmpty())
                firma = esitoRiga(EsitoIlleggibile(MotivoInUnaRiga(e.message())));
            rigaIlleggibile(file, voci, firma, MotivoLettura(e.message()), esito);
            return;
        }
    }
    const QByteArrayView xml = busta ? QByteArrayView(aperta.contenuto) : bytes;
    const PercorsiArchivio &p = percorsi(opzioni.linee, opzioni.aliquote);
    try {
        // Most files are told from a message by their first tag, unparsed.
        if (ForseMessaggio(xml) && messaggio(xml, bytes, nome, file, voci, firma.parola, opzioni, testi, esito))
            return;
        // The checks see the same walk: most invoices need no second parse.
        std::optional<ControlliInLettura> controlli;
        if (opzioni.schemi != nullptr)
            controlli.emplace();
        const DocumentoFattura doc(
            xml, p.tutti, DocumentoFattura::Modo::Rapido, controlli ? controlli->osservatore() : nullptr);
        if (equalsIgnoreAsciiCase(doc.nomeRadice(), "FileMetadati")) {
            metadati(doc, p, nome, file, voci, esito);
            return;
        }
        fattura(
            doc, p, file, voci, busta,
            [&] { return busta || opzioni.elenchi == nullptr ? firma : esitoFirmaXml(bytes, opzioni); },
            [&] {
                return controlli
                    ? rilieviPerCorpo(controlli->risultato(*opzioni.schemi, xml, doc.lettoRapido(), opzioni.oggi))
                    : std::vector<int>();
            },
            esito);
    } catch (const Exception &e) {
        if (!busta || firma.parola != ParolaEsito(EsitoFirma::NonValida))
            throw;
        rigaIlleggibile(file, voci, firma, MotivoLettura(e.message()), esito);
    }
}

// libxml2's words for the usual faults (a part of its sentence), and what
// they mean to a reader.
constexpr std::pair<const char *, const char *> kErroriXml[] = {
    { "Document is empty", "il file è vuoto o non contiene testo XML" },
    { "Start tag expected", "il testo non comincia con un elemento XML" },
    { "Premature end of data", "il file si interrompe prima della fine del documento" },
    { "Opening and ending tag mismatch", "un elemento si chiude con un nome diverso da quello con cui si apre" },
    { "Extra content at the end of the document", "c'è altro testo dopo la fine del documento" },
    { "Input is not proper UTF-8", "contiene caratteri non validi in UTF-8 (la codifica dichiarata è sbagliata?)" },
    { "Document labelled UTF-16 but has UTF-8 content", "dichiara la codifica UTF-16 ma è scritto in UTF-8" },
    { "Unsupported encoding", "dichiara una codifica sconosciuta" },
    { "Char 0x", "contiene un carattere non ammesso in XML" },
    { "PCDATA invalid Char value", "contiene un carattere non ammesso in XML" },
    { "invalid character in attribute value", "contiene un carattere non ammesso in XML" },
    { "xmlParseCharRef: invalid xmlChar value", "contiene un riferimento a un carattere non ammesso in XML" },
    { "EntityRef: expecting ';'", "contiene una & che non apre un riferimento (va scritta &amp;)" },
    { "xmlParseEntityRef: no name", "contiene una & che non apre un riferimento (va scritta &amp;)" },
    { "Entity '", "usa un'entità non definita" },
    { "Entity declarations are not allowed", "dichiara entità, che per sicurezza non si leggono" },
    { "Couldn't find end of Start Tag", "un tag di apertura non è chiuso" },
    { "StartTag: invalid element name", "un nome di elemento non è valido" },
    { "expected '>'", "un tag non è chiuso da >" },
    { "attributes construct error", "un attributo è scritto male" },
    { "AttValue: \" or ' expected", "il valore di un attributo non è tra virgolette" },
    { "mandates value for attribute", "un attributo non ha valore" },
    { "Attribute ", "un attributo è ripetuto o scritto male" },
    { "Comment not terminated", "un commento non è chiuso" },
    { "Sequence ']]>' not allowed in content", "contiene ]]> fuori da una sezione CDATA" },
    { "CData section not finished", "una sezione CDATA non è chiusa" },
    { "Excessive depth in document", "ha troppi elementi uno dentro l'altro" },
    { "Document is not well-formed", "non è un XML ben formato" },
};
} // namespace

QString MotivoLettura(const QString &messaggio)
{
    if (!messaggio.startsWith(PrefissoXmlConErrori))
        return MotivoInUnaRiga(messaggio);
    // The prefix, libxml2's reason, "Line: N" and the start of that line.
    const QString resto = messaggio.mid(PrefissoXmlConErrori.size());
    const qsizetype riga = resto.lastIndexOf(QLatin1String("\r\nLine: "));
    if (riga < 0)
        return MotivoInUnaRiga(resto);
    const QString motivo = MotivoInUnaRiga(resto.left(riga));
    const qsizetype fineNumero = resto.indexOf(QLatin1String("\r\n"), riga + 8);
    const QString numero = resto.mid(riga + 8, fineNumero < 0 ? -1 : fineNumero - riga - 8);
    QString testo = fineNumero < 0 ? QString() : MotivoInUnaRiga(resto.mid(fineNumero + 2));
    constexpr qsizetype kTesto = 60;
    if (testo.size() > kTesto)
        testo = testo.left(kTesto) + QStringLiteral("...");
    QString italiano;
    for (const auto &[inglese, frase] : kErroriXml)
        if (italiano.isEmpty() && motivo.contains(QLatin1String(inglese)))
            italiano = QString::fromUtf8(frase);
    QString t = QStringLiteral("Non è un file XML leggibile");
    if (numero != u"0")
        t += QStringLiteral(" (riga %1)").arg(numero);
    t += QStringLiteral(": ") + (italiano.isEmpty() ? QStringLiteral("errore \"%1\"").arg(motivo) : italiano);
    if (!testo.isEmpty())
        t += QStringLiteral(", nel testo \"%1\"").arg(testo);
    return t;
}

void AnalizzaFile(QByteArrayView bytes, const QString &file, const QStringList &voci, const OpzioniArchivio &opzioni,
    TestiTracce &testi, EsitoFile &esito)
{
    try {
        analizza(bytes, file, voci, opzioni, testi, esito);
    } catch (const Exception &e) {
        esito.nonFatture.push_back({ file, voci, MotivoLettura(e.message()) });
    } catch (const std::bad_alloc &) {
        esito.nonFatture.push_back({ file, voci, QStringLiteral("Memoria insufficiente per leggere il file") });
    }
}

QStringView TestiTracce::tieni(QStringView testo)
{
    if (testo.isEmpty())
        return {};
    if (capienza_ - usati_ < testo.size()) {
        constexpr qsizetype kBlocco = 32 * 1024; // characters: the traces of some hundred messages
        capienza_ = std::max(kBlocco, testo.size());
        blocchi_.push_back(std::make_unique_for_overwrite<char16_t[]>(size_t(capienza_)));
        usati_ = 0;
    }
    char16_t *dove = blocchi_.back().get() + usati_;
    std::copy(testo.utf16(), testo.utf16() + testo.size(), dove);
    usati_ += testo.size();
    return QStringView(dove, testo.size());
}

QString ChiaveFattura(const QString &nome)
{
    // Asked for every file: cut in place, one string made.
    QStringView chiave = QStringView(nome).sliced(nome.lastIndexOf(u'/') + 1);
    for (const char16_t *estensione : { u".p7m", u".xml" })
        if (hasExtension(chiave, estensione, PathRules::Posix))
            chiave.chop(4);
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
