// The exchange system's content checks that need nothing outside the file,
// with its codes and tolerances: VAT nature and rate, line and summary
// arithmetic, withholding and pension fund, the date, the document types of
// self-invoices and reverse charge, stamp duty, the identifiers' check
// digits. One pass over each body; every amount exact.
#include "controlli/controlli_p.h"
#include "controlli/decimale.h"
#include "controlli/identificativi.h"
#include "invoice/xmlptr.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <initializer_list>
#include <vector>

namespace {
bool tra(const QString &valore, std::initializer_list<const char *> valori)
{
    for (const char *v : valori)
        if (valore == QLatin1String(v))
            return true;
    return false;
}

Decimale numero(const Nodo *elemento)
{
    return elemento == nullptr ? Decimale::nonValido() : Decimale::leggi(Testo(elemento));
}

QString percento(const Decimale &aliquota)
{
    return aliquota.testo() + QLatin1Char('%');
}

// A VAT number and a fiscal code, where the file gives them.
struct Identita {
    const Nodo *iva = nullptr; // IdFiscaleIVA
    QString paese, codice;
    const Nodo *cf = nullptr; // CodiceFiscale
    QString codiceFiscale;
};

Identita identita(const Nodo *contenitore)
{
    Identita i;
    i.iva = Figlio(contenitore, "IdFiscaleIVA");
    i.paese = Breve(Testo(Figlio(i.iva, "IdPaese")));
    i.codice = Breve(Testo(Figlio(i.iva, "IdCodice")));
    i.cf = Figlio(contenitore, "CodiceFiscale");
    i.codiceFiscale = Breve(Testo(i.cf));
    return i;
}

// The same subject on both sides: one VAT number, or one fiscal code (an
// Italian VAT number may stand as the other side's fiscal code).
bool stessoSoggetto(const Identita &a, const Identita &b)
{
    auto pieno = [](const QString &s) { return !s.isEmpty(); };
    if (pieno(a.codice) && a.paese == b.paese && a.codice == b.codice)
        return true;
    if (pieno(a.codiceFiscale) && a.codiceFiscale == b.codiceFiscale)
        return true;
    return (a.paese == QLatin1String("IT") && pieno(a.codice) && a.codice == b.codiceFiscale)
        || (b.paese == QLatin1String("IT") && pieno(b.codice) && b.codice == a.codiceFiscale);
}

// Where a check is, in words ("Linea 3"): made only when a finding needs it.
class Dove {
public:
    explicit Dove(const char *forma, QString argomento = QString())
        : forma_(forma)
        , argomento_(std::move(argomento))
    {
    }
    QString testo() const
    {
        const QString forma = QString::fromUtf8(forma_);
        return argomento_.isNull() ? forma : forma.arg(argomento_);
    }

private:
    const char *forma_;
    QString argomento_; // shared, not copied
};

// What the checks of one body gather for the comparisons at its end.
struct Aliquota {
    Decimale valore;
    const Nodo *primo = nullptr; // the first line or fund with this rate
    Decimale linee; // sum of PrezzoTotale and ImportoContributoCassa at this rate
    const Nodo *riepilogo = nullptr; // the first summary with this rate
    Decimale imponibile, arrotondamento, spese; // sums over its summaries
};

// The natures met in a body, in the order met, each with where it was first.
class Nature {
public:
    void aggiungi(const QString &natura, const Nodo *dove)
    {
        if (!natura.isEmpty() && !viste_.contains(natura)) {
            viste_.insert(natura);
            elenco_.push_back({ natura, dove });
        }
    }
    bool contiene(const QString &natura) const { return viste_.contains(natura); }
    const std::vector<std::pair<QString, const Nodo *>> &elenco() const { return elenco_; }
    void svuota()
    {
        viste_.clear();
        elenco_.clear();
    }

private:
    QSet<QString> viste_;
    std::vector<std::pair<QString, const Nodo *>> elenco_;
};

class Controllo final {
public:
    Controllo(FormatoFattura formato, const LuogoAlbero &luogo, QDate oggi, QList<Rilievo> &rilievi)
        : formato_(formato)
        , luogo_(luogo)
        , oggi_(oggi)
        , rilievi_(rilievi)
    {
    }

    void esegui()
    {
        const Nodo *testata = Figlio(luogo_.radice(), "FatturaElettronicaHeader");
        testata_(testata);
        int n = 0;
        PerOgniFiglio(luogo_.radice(), "FatturaElettronicaBody", [&](const Nodo *corpo) { corpo_(corpo, ++n); });
    }

private:
    Rilievo &aggiungi(const char *codice, const Nodo *elemento, const char *figlio, const QString &trovato,
        const QString &atteso, const QString &messaggio, bool scarto = true)
    {
        Rilievo r = RilievoSu(luogo_, elemento, figlio);
        r.codice = QString::fromLatin1(codice);
        r.trovato = trovato;
        r.atteso = atteso;
        r.messaggio = messaggio;
        r.scarto = scarto;
        rilievi_.append(r);
        return rilievi_.last();
    }

    bool semplificata() const { return formato_ == FormatoFattura::Semplificata; }

    // --- Header ---------------------------------------------------------

    void testata_(const Nodo *testata)
    {
        const Nodo *trasmissione = Figlio(testata, "DatiTrasmissione");
        const Nodo *formatoNodo = Figlio(trasmissione, "FormatoTrasmissione");
        formatoTrasmissione_ = Breve(Testo(formatoNodo));
        if (formato_ != FormatoFattura::Versione11 && formatoNodo != nullptr) {
            const std::string *v = luogo_.albero.attributo("versione");
            const QString versione = v == nullptr ? QString() : Breve(QString::fromStdString(*v));
            if (!versione.isEmpty() && versione != formatoTrasmissione_)
                aggiungi("00428", trasmissione, "FormatoTrasmissione", formatoTrasmissione_, versione,
                    QStringLiteral("Il formato di trasmissione %1 non corrisponde alla versione %2 indicata "
                                   "nell'elemento radice.")
                        .arg(formatoTrasmissione_, versione));
        }
        const QString destinatario = Breve(Testo(Figlio(trasmissione, "CodiceDestinatario")));
        if (formato_ == FormatoFattura::Ordinaria12
            && ((formatoTrasmissione_ == QLatin1String("FPA12") && destinatario.size() == 7)
                || (formatoTrasmissione_ == QLatin1String("FPR12") && destinatario.size() == 6)))
            aggiungi("00427", trasmissione, "CodiceDestinatario", destinatario,
                formatoTrasmissione_ == QLatin1String("FPA12") ? QStringLiteral("6 caratteri")
                                                               : QStringLiteral("7 caratteri"),
                QStringLiteral("Il codice destinatario %1 ha %2 caratteri, ma il formato %3 ne vuole %4: 6 per le "
                               "fatture alla pubblica amministrazione (FPA12), 7 per quelle tra privati (FPR12).")
                    .arg(destinatario, QString::number(destinatario.size()), formatoTrasmissione_,
                        formatoTrasmissione_ == QLatin1String("FPA12") ? QStringLiteral("6") : QStringLiteral("7")));

        const Nodo *trasmittente = Figlio(trasmissione, "IdTrasmittente");
        if (Testo(Figlio(trasmittente, "IdPaese")) == QLatin1String("IT"))
            codiceFiscale(Figlio(trasmittente, "IdCodice"), "00300", "del trasmittente");

        const Nodo *cedente = Figlio(testata, "CedentePrestatore");
        const Nodo *cessionario = Figlio(testata, "CessionarioCommittente");
        cedente_ = identita(semplificata() ? cedente : Figlio(cedente, "DatiAnagrafici"));
        cessionario_ = identita(Figlio(cessionario, semplificata() ? "IdentificativiFiscali" : "DatiAnagrafici"));
        partitaIva(cedente_, "00301", "del cedente");
        codiceFiscale(cedente_.cf, nullptr, "del cedente");
        partitaIva(cessionario_, "00305", "del cessionario");
        codiceFiscale(cessionario_.cf, "00306", "del cessionario");
        if (semplificata())
            return;
        const Nodo *rappresentante = Figlio(Figlio(testata, "RappresentanteFiscale"), "DatiAnagrafici");
        partitaIva(identita(rappresentante), "00303", "del rappresentante fiscale");
        codiceFiscale(Figlio(rappresentante, "CodiceFiscale"), nullptr, "del rappresentante fiscale");
        partitaIva(identita(Figlio(cessionario, "RappresentanteFiscale")), "00303",
            "del rappresentante fiscale del cessionario");
        const Nodo *terzo = Figlio(Figlio(testata, "TerzoIntermediarioOSoggettoEmittente"), "DatiAnagrafici");
        partitaIva(identita(terzo), nullptr, "del terzo intermediario");
        codiceFiscale(Figlio(terzo, "CodiceFiscale"), nullptr, "del terzo intermediario");
        const Nodo *datiCessionario = Figlio(cessionario, "DatiAnagrafici");
        if (datiCessionario != nullptr && cessionario_.iva == nullptr && cessionario_.cf == nullptr)
            aggiungi("00417", datiCessionario, "IdFiscaleIVA", QString(),
                QStringLiteral("partita IVA o codice fiscale"),
                QStringLiteral("Il cessionario non ha né partita IVA né codice fiscale: ne serve almeno uno."));
    }

    static QString nonVerificabile(bool codiceFiscale)
    {
        return codiceFiscale ? QStringLiteral(" Qui si controlla solo il carattere di controllo: se il codice esista "
                                              "davvero lo sa solo l'Anagrafe tributaria.")
                             : QStringLiteral(" Qui si controlla solo la cifra di controllo: se il numero esista "
                                              "davvero lo sa solo l'Anagrafe tributaria.");
    }

    // An Italian VAT number's form and check digit; codice null for a
    // number the system has no code for (then a warning).
    void partitaIva(const Identita &i, const char *codice, const char *chi)
    {
        if (i.iva == nullptr || i.paese != QLatin1String("IT"))
            return;
        const VerificaIdentificativo v = VerificaPartitaIva(i.codice);
        const QString di = QString::fromUtf8(chi);
        if (v.esito == VerificaIdentificativo::FormaErrata)
            aggiungi(codice ? codice : "", i.iva, "IdCodice", i.codice, QStringLiteral("11 cifre"),
                QStringLiteral("Partita IVA %1 %2 non valida: una partita IVA italiana ha 11 cifre.").arg(di, i.codice),
                codice != nullptr);
        else if (v.esito == VerificaIdentificativo::CifraErrata)
            aggiungi(codice ? codice : "", i.iva, "IdCodice", i.codice, QStringLiteral("ultima cifra %1").arg(v.attesa),
                QStringLiteral("Partita IVA %1 %2 non valida: l'ultima cifra dovrebbe essere %3.")
                        .arg(di, i.codice, v.attesa)
                    + nonVerificabile(false),
                codice != nullptr);
    }

    void codiceFiscale(const Nodo *cf, const char *codice, const char *chi)
    {
        if (cf == nullptr)
            return;
        const QString valore = Breve(Testo(cf));
        const VerificaIdentificativo v = VerificaCodiceFiscale(valore);
        const QString di = QString::fromUtf8(chi);
        const QString nome = QStringLiteral("Codice fiscale %1 %2 non valido: ").arg(di, valore);
        if (v.esito == VerificaIdentificativo::FormaErrata)
            aggiungi(codice ? codice : "", cf, nullptr, valore, QStringLiteral("16 caratteri o 11 cifre"),
                nome
                    + QStringLiteral("ci vogliono 16 caratteri (lettere e cifre nei loro posti) o, per una società, "
                                     "11 cifre."),
                codice != nullptr);
        else if (v.esito == VerificaIdentificativo::CifraErrata && valore.size() == 11) // a company's, all digits
            aggiungi(codice ? codice : "", cf, nullptr, valore, QStringLiteral("ultima cifra %1").arg(v.attesa),
                nome + QStringLiteral("l'ultima cifra dovrebbe essere %1.").arg(v.attesa) + nonVerificabile(false),
                codice != nullptr);
        else if (v.esito == VerificaIdentificativo::CifraErrata)
            aggiungi(codice ? codice : "", cf, nullptr, valore, QStringLiteral("ultimo carattere %1").arg(v.attesa),
                nome + QStringLiteral("l'ultimo carattere dovrebbe essere %1.").arg(v.attesa) + nonVerificabile(true),
                codice != nullptr);
    }

    // --- Bodies ---------------------------------------------------------

    void corpo_(const Nodo *corpo, int n)
    {
        corpo_n_ = n;
        const Nodo *documento = Figlio(Figlio(corpo, "DatiGenerali"), "DatiGeneraliDocumento");
        tipo_ = Breve(Testo(Figlio(documento, "TipoDocumento")));
        dataEnumero(documento, corpo);
        if (semplificata()) {
            tipoDocumento(documento);
            return;
        }
        aliquote_.clear();
        natureLinee_.svuota();
        natureRiepilogo_.svuota();
        const Nodo *primaRitenuta = nullptr;
        bool cassaConRitenuta = false;
        const Nodo *cassaRitenuta = nullptr;

        PerOgniFiglio(documento, "DatiCassaPrevidenziale", [&](const Nodo *cassa) {
            const Decimale aliquota = numero(Figlio(cassa, "AliquotaIVA"));
            const QString natura = Breve(Testo(Figlio(cassa, "Natura")));
            naturaEAliquota(cassa, aliquota, natura, "00413", "00414", Dove("Cassa previdenziale"));
            registraAliquota(cassa, aliquota, numero(Figlio(cassa, "ImportoContributoCassa")), natura);
            if (Testo(Figlio(cassa, "Ritenuta")) == QLatin1String("SI") && !cassaConRitenuta) {
                cassaConRitenuta = true;
                cassaRitenuta = cassa;
            }
        });
        PerOgniFiglio(documento, "ScontoMaggiorazione", [&](const Nodo *sconto) {
            if (!Testo(Figlio(sconto, "Tipo")).isEmpty() && Figlio(sconto, "Percentuale") == nullptr
                && Figlio(sconto, "Importo") == nullptr)
                aggiungi("00437", sconto, "Percentuale", QString(), QStringLiteral("percentuale o importo"),
                    QStringLiteral("Sconto o maggiorazione sul documento senza percentuale né importo."));
        });

        const Nodo *beni = Figlio(corpo, "DatiBeniServizi");
        PerOgniFiglio(beni, "DettaglioLinee", [&](const Nodo *linea) {
            if (linea_(linea) && primaRitenuta == nullptr)
                primaRitenuta = linea;
        });
        PerOgniFiglio(beni, "DatiRiepilogo", [&](const Nodo *riepilogo) { riepilogo_(riepilogo); });
        confrontaRiepiloghi(beni);

        const bool ritenuta = Figlio(documento, "DatiRitenuta") != nullptr;
        if (!ritenuta && primaRitenuta != nullptr)
            aggiungi("00411", documento, "DatiRitenuta", QString(), QStringLiteral("DatiRitenuta"),
                QStringLiteral("La linea %1 è soggetta a ritenuta (Ritenuta SI), ma mancano i dati della ritenuta.")
                    .arg(Breve(Testo(Figlio(primaRitenuta, "NumeroLinea")))))
                .riga
                = RigaDi(Figlio(primaRitenuta, "Ritenuta"));
        if (!ritenuta && cassaConRitenuta)
            aggiungi("00415", documento, "DatiRitenuta", QString(), QStringLiteral("DatiRitenuta"),
                QStringLiteral("Il contributo alla cassa previdenziale è soggetto a ritenuta (Ritenuta SI), ma "
                               "mancano i dati della ritenuta."))
                .riga
                = RigaDi(Figlio(cassaRitenuta, "Ritenuta"));
        bollo(documento, beni);
        tipoDocumento(documento);
    }

    void dataEnumero(const Nodo *documento, const Nodo *corpo)
    {
        const Nodo *dataNodo = Figlio(documento, "Data");
        data_ = QDate::fromString(Testo(dataNodo), Qt::ISODate);
        if (data_.isValid() && oggi_.isValid() && data_ > oggi_)
            aggiungi("00403", documento, "Data", Breve(Testo(dataNodo)),
                QStringLiteral("non dopo il %1").arg(oggi_.toString(Qt::ISODate)),
                QStringLiteral("La data del documento (%1) è successiva a oggi (%2): il Sistema di Interscambio "
                               "scarta una fattura datata dopo il giorno in cui la riceve.")
                    .arg(data_.toString(QStringLiteral("dd/MM/yyyy")), oggi_.toString(QStringLiteral("dd/MM/yyyy"))));
        const Nodo *numeroNodo = Figlio(documento, "Numero");
        const QString numero = Breve(Testo(numeroNodo));
        if (numeroNodo != nullptr && !numero.isEmpty()
            && std::none_of(numero.begin(), numero.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
            aggiungi("00425", documento, "Numero", numero, QStringLiteral("almeno una cifra"),
                QStringLiteral("Il numero del documento %1 non contiene cifre: ne serve almeno una.").arg(numero));
        if (tipo_ != QLatin1String("TD04") || !data_.isValid())
            return;
        PerOgniFiglio(Figlio(corpo, "DatiGenerali"), "DatiFattureCollegate", [&](const Nodo *collegata) {
            const QDate d = QDate::fromString(Testo(Figlio(collegata, "Data")), Qt::ISODate);
            if (d.isValid() && d > data_)
                aggiungi("00418", documento, "Data", Breve(Testo(dataNodo)),
                    QStringLiteral("non prima del %1").arg(d.toString(Qt::ISODate)),
                    QStringLiteral("La nota di credito è datata %1, prima della fattura collegata del %2.")
                        .arg(data_.toString(QStringLiteral("dd/MM/yyyy")), d.toString(QStringLiteral("dd/MM/yyyy"))));
        });
    }

    // Rate and nature of a line, a fund or a summary: a zero rate needs its
    // nature, any other rate none; the rate is a percentage; the generic
    // natures N2, N3 and N6 need their sub-code.
    void naturaEAliquota(const Nodo *elemento, const Decimale &aliquota, const QString &natura, const char *senzaNatura,
        const char *conNatura, const Dove &dove)
    {
        if (aliquota.valido() && aliquota.zero() && natura.isEmpty())
            aggiungi(senzaNatura, elemento, "Natura", QString(), QStringLiteral("una natura da N1 a N7"),
                QStringLiteral("%1 con aliquota IVA zero senza la natura dell'operazione (da N1 a N7), che dica "
                               "perché l'IVA non si applica.")
                    .arg(dove.testo()));
        else if (aliquota.valido() && !aliquota.zero() && !natura.isEmpty())
            aggiungi(conNatura, elemento, "Natura", natura, QStringLiteral("nessuna natura"),
                QStringLiteral("%1 con aliquota IVA %2 e natura %3: la natura si indica solo con aliquota zero.")
                    .arg(dove.testo(), percento(aliquota), natura));
        if (aliquota.valido() && aliquota > Decimale() && aliquota < Decimale::intero(1))
            aggiungi("00424", elemento, "AliquotaIVA", Testo(Figlio(elemento, "AliquotaIVA")),
                QStringLiteral("una percentuale (per esempio 22.00)"),
                QStringLiteral("%1 con aliquota IVA %2: l'aliquota va scritta in percentuale (22.00 per il 22%), "
                               "non come frazione.")
                    .arg(dove.testo(), Testo(Figlio(elemento, "AliquotaIVA"))));
        if (tra(natura, { "N2", "N3", "N6" }))
            aggiungi("00445", elemento, "Natura", natura, natura + QStringLiteral(".x"),
                QStringLiteral("%1 con natura %2: dal 2021 va indicato il sottocodice (per esempio %2.1).")
                    .arg(dove.testo(), natura));
    }

    // The rate's gatherings; an invoice uses few rates.
    Aliquota &aliquota(const Decimale &valore)
    {
        for (Aliquota &a : aliquote_)
            if (a.valore == valore)
                return a;
        aliquote_.push_back({});
        aliquote_.back().valore = valore;
        return aliquote_.back();
    }

    void registraAliquota(const Nodo *elemento, const Decimale &valore, const Decimale &importo, const QString &natura)
    {
        if (!valore.valido())
            return;
        Aliquota &a = aliquota(valore);
        if (a.primo == nullptr)
            a.primo = elemento;
        a.linee = a.linee + importo;
        natureLinee_.aggiungi(natura, elemento);
    }

    // One detail line; true when it is subject to withholding.
    bool linea_(const Nodo *linea)
    {
        const QString numeroLinea = Breve(Testo(Figlio(linea, "NumeroLinea")));
        const Dove dove("Linea %1", numeroLinea);
        const Decimale aliquota = numero(Figlio(linea, "AliquotaIVA"));
        const QString natura = Breve(Testo(Figlio(linea, "Natura")));
        naturaEAliquota(linea, aliquota, natura, "00400", "00401", dove);
        const Nodo *totaleNodo = Figlio(linea, "PrezzoTotale");
        const Decimale totale = numero(totaleNodo);
        registraAliquota(linea, aliquota, totale, natura);
        if (aliquota.zero() && tra(tipo_, { "TD16", "TD21", "TD22", "TD23" }))
            aggiungi("00474", linea, "AliquotaIVA", Testo(Figlio(linea, "AliquotaIVA")),
                QStringLiteral("un'aliquota maggiore di zero"),
                QStringLiteral("%1 con aliquota IVA zero: un documento %2 serve a far pagare l'IVA, e non ammette "
                               "linee senza imposta.")
                    .arg(dove.testo(), tipo_));
        prezzoTotale(linea, totale, dove);
        return Testo(Figlio(linea, "Ritenuta")) == QLatin1String("SI");
    }

    // PrezzoTotale = (PrezzoUnitario with its discounts and surcharges) x
    // Quantita (1 when absent), within one cent. A discount may give a
    // percentage, an amount per unit or, as some programs write it, an amount
    // for the whole line: the line passes when any reading adds up.
    void prezzoTotale(const Nodo *linea, const Decimale &totale, const Dove &dove)
    {
        const Nodo *quantitaNodo = Figlio(linea, "Quantita");
        const Decimale quantita = quantitaNodo == nullptr ? Decimale::intero(1) : numero(quantitaNodo);
        const Decimale unitario = numero(Figlio(linea, "PrezzoUnitario"));
        if (!totale.valido() || !quantita.valido() || !unitario.valido())
            return;
        Decimale percentualePrima = unitario, importoPrima = unitario, sulTotale = unitario * quantita;
        bool conImporto = false, leggibile = true;
        PerOgniFiglio(linea, "ScontoMaggiorazione", [&](const Nodo *sconto) {
            const QString tipo = Testo(Figlio(sconto, "Tipo"));
            const Nodo *p = Figlio(sconto, "Percentuale");
            const Nodo *i = Figlio(sconto, "Importo");
            const Decimale segno = Decimale::intero(tipo == QLatin1String("MG") ? 1 : -1);
            if (!tra(tipo, { "SC", "MG" }) || (p == nullptr && i == nullptr)) {
                leggibile = false;
                return;
            }
            // The type gives the direction; a sign written on the value too is not counted twice.
            const Decimale perc = numero(p).assoluto(), importo = numero(i).assoluto();
            percentualePrima
                = percentualePrima + (p != nullptr ? segno * percentualePrima * perc.centesima() : segno * importo);
            importoPrima = importoPrima + (i != nullptr ? segno * importo : segno * importoPrima * perc.centesima());
            sulTotale = sulTotale + (i != nullptr ? segno * importo : segno * sulTotale * perc.centesima());
            conImporto = conImporto || i != nullptr;
        });
        if (!leggibile)
            return;
        const Decimale atteso = percentualePrima * quantita;
        const Decimale centesimo = Decimale::leggi(u"0.01");
        auto torna = [&](const Decimale &calcolato) {
            return calcolato.valido() && !((calcolato - totale).assoluto() > centesimo);
        };
        if (!atteso.valido() || torna(atteso) || torna(importoPrima * quantita) || (conImporto && torna(sulTotale)))
            return;
        aggiungi("00423", linea, "PrezzoTotale", Testo(Figlio(linea, "PrezzoTotale")), atteso.testo(2),
            QStringLiteral("%1: il prezzo totale %2 non è prezzo unitario (con sconti e maggiorazioni) per quantità, "
                           "che fa %3; la tolleranza è di un centesimo.")
                .arg(dove.testo(), totale.testo(), atteso.testo(2)));
    }

    void riepilogo_(const Nodo *riepilogo)
    {
        const Decimale aliquotaValore = numero(Figlio(riepilogo, "AliquotaIVA"));
        const QString natura = Breve(Testo(Figlio(riepilogo, "Natura")));
        naturaEAliquota(riepilogo, aliquotaValore, natura, "00429", "00430", Dove("Riepilogo IVA"));
        const QString dove = aliquotaValore.valido()
            ? QStringLiteral("Riepilogo IVA al %1").arg(percento(aliquotaValore))
            : QStringLiteral("Riepilogo IVA");
        if (natura.startsWith(QLatin1String("N6")) && Testo(Figlio(riepilogo, "EsigibilitaIVA")) == QLatin1String("S"))
            aggiungi("00420", riepilogo, "Natura", natura, QStringLiteral("una natura diversa da N6"),
                QStringLiteral("%1 con natura %2 (inversione contabile) ed esigibilità S (scissione dei pagamenti): "
                               "le due cose si escludono.")
                    .arg(dove, natura));
        natureRiepilogo_.aggiungi(natura, riepilogo);

        const Decimale imponibile = numero(Figlio(riepilogo, "ImponibileImporto"));
        const Decimale imposta = numero(Figlio(riepilogo, "Imposta"));
        const Decimale calcolata = (imponibile * aliquotaValore).centesima();
        if (imposta.valido() && calcolata.valido() && (imposta - calcolata).assoluto() > Decimale::leggi(u"0.01"))
            aggiungi("00421", riepilogo, "Imposta", Testo(Figlio(riepilogo, "Imposta")), calcolata.testo(2),
                QStringLiteral("%1: l'imposta %2 non è imponibile per aliquota, che fa %3; la tolleranza è di un "
                               "centesimo.")
                    .arg(dove, imposta.testo(), calcolata.testo(2)));
        if (!aliquotaValore.valido())
            return;
        Aliquota &a = aliquota(aliquotaValore);
        if (a.riepilogo == nullptr)
            a.riepilogo = riepilogo;
        a.imponibile = a.imponibile + imponibile;
        if (const Nodo *arrotondamento = Figlio(riepilogo, "Arrotondamento"))
            a.arrotondamento = a.arrotondamento + numero(arrotondamento);
        if (const Nodo *spese = Figlio(riepilogo, "SpeseAccessorie"))
            a.spese = a.spese + numero(spese);
    }

    // Every rate of lines and funds has its summary and the other way round;
    // each summarised taxable amount is the sum of its lines and funds, plus
    // rounding, within one euro; the natures match on both sides.
    void confrontaRiepiloghi(const Nodo *beni)
    {
        const Decimale euro = Decimale::intero(1);
        for (const Aliquota &a : aliquote_) {
            if (a.riepilogo == nullptr) {
                Rilievo &r = aggiungi("00419", beni, "DatiRiepilogo", QString(), a.valore.testo(),
                    QStringLiteral("Manca il riepilogo IVA dell'aliquota %1, usata %2.")
                        .arg(percento(a.valore),
                            Elemento(a.primo, "DettaglioLinee")
                                ? QStringLiteral("nella linea %1").arg(Breve(Testo(Figlio(a.primo, "NumeroLinea"))))
                                : QStringLiteral("nella cassa previdenziale")));
                r.riga = RigaDi(Figlio(a.primo, "AliquotaIVA"));
                continue;
            }
            if (a.primo == nullptr) {
                aggiungi("00443", a.riepilogo, "AliquotaIVA", Testo(Figlio(a.riepilogo, "AliquotaIVA")),
                    QStringLiteral("un'aliquota delle linee o della cassa"),
                    QStringLiteral("Il riepilogo IVA ha l'aliquota %1, che nessuna linea e nessuna cassa "
                                   "previdenziale usa.")
                        .arg(percento(a.valore)));
                continue;
            }
            const Decimale atteso = a.linee + a.arrotondamento;
            if (!atteso.valido() || !a.imponibile.valido() || !((a.imponibile - atteso).assoluto() > euro)
                || !((a.imponibile - atteso - a.spese).assoluto() > euro))
                continue;
            aggiungi("00422", a.riepilogo, "ImponibileImporto", a.imponibile.testo(), atteso.testo(2),
                QStringLiteral("Riepilogo IVA al %1: l'imponibile %2 non è la somma dei prezzi totali delle linee e "
                               "dei contributi cassa a quell'aliquota, più l'arrotondamento, che fa %3; la tolleranza "
                               "è di un euro.")
                    .arg(percento(a.valore), a.imponibile.testo(), atteso.testo(2)));
        }
        for (const auto &[natura, dove] : natureLinee_.elenco())
            if (!natureRiepilogo_.contiene(natura))
                aggiungi("00444", dove, "Natura", natura, QStringLiteral("una natura del riepilogo IVA"),
                    QStringLiteral("La natura %1 compare %2 ma in nessun riepilogo IVA.")
                        .arg(natura,
                            Elemento(dove, "DettaglioLinee")
                                ? QStringLiteral("nella linea %1").arg(Breve(Testo(Figlio(dove, "NumeroLinea"))))
                                : QStringLiteral("nella cassa previdenziale")));
        for (const auto &[natura, dove] : natureRiepilogo_.elenco())
            if (!natureLinee_.contiene(natura))
                aggiungi("00444", dove, "Natura", natura, QStringLiteral("una natura delle linee o della cassa"),
                    QStringLiteral("La natura %1 compare nel riepilogo IVA ma in nessuna linea e in nessuna cassa "
                                   "previdenziale.")
                        .arg(natura));
    }

    // Stamp duty: the system rejects nothing for it, so these are warnings.
    void bollo(const Nodo *documento, const Nodo *beni)
    {
        if (documento == nullptr)
            return;
        const Nodo *bollo = Figlio(documento, "DatiBollo");
        const Decimale dovuto = Decimale::leggi(u"2.00");
        if (bollo != nullptr) {
            const Nodo *importoNodo = Figlio(bollo, "ImportoBollo");
            const Decimale importo = numero(importoNodo);
            if (importo.valido() && !(importo == dovuto))
                aggiungi("", bollo, "ImportoBollo", Testo(importoNodo), QStringLiteral("2.00"),
                    QStringLiteral("L'imposta di bollo su una fattura è di 2,00 euro: qui ne sono indicati %1.")
                        .arg(importo.testo()),
                    false);
            return;
        }
        // Amounts without VAT (not for exports, intra-EU supplies, reverse
        // charge) over 77.47 euro carry the duty.
        Decimale senzaIva;
        PerOgniFiglio(beni, "DatiRiepilogo", [&](const Nodo *riepilogo) {
            if (tra(Testo(Figlio(riepilogo, "Natura")), { "N1", "N2", "N2.1", "N2.2", "N3.5", "N3.6", "N4", "N5" }))
                senzaIva = senzaIva + numero(Figlio(riepilogo, "ImponibileImporto"));
        });
        if (senzaIva.valido() && senzaIva > Decimale::leggi(u"77.47"))
            aggiungi("", documento, "DatiBollo", QString(), QStringLiteral("BolloVirtuale SI"),
                QStringLiteral("Importi senza IVA per %1 euro, oltre 77,47: la fattura deve probabilmente l'imposta di "
                               "bollo di 2,00 euro, che qui non è indicata. Il Sistema di Interscambio non la scarta "
                               "per questo.")
                    .arg(senzaIva.testo(2)),
                false);
    }

    // The document types of self-invoices, reverse charge, purchases from
    // San Marino on paper (TD28, from October 2022: a supplier of San
    // Marino) and the recipient's report of a missing or irregular invoice
    // (TD29, from April 2025: an Italian supplier); both carry the
    // recipient's VAT number. The simplified invoice (TD07) also needs two
    // subjects.
    void tipoDocumento(const Nodo *documento)
    {
        const bool stesso = stessoSoggetto(cedente_, cessionario_);
        if (stesso
            && tra(tipo_,
                { "TD01", "TD02", "TD03", "TD06", "TD07", "TD16", "TD17", "TD18", "TD19", "TD20", "TD24", "TD25",
                    "TD28", "TD29" }))
            aggiungi("00471", documento, "TipoDocumento", tipo_, QStringLiteral("cedente e cessionario diversi"),
                QStringLiteral("Con il tipo documento %1 cedente e cessionario devono essere soggetti diversi: qui "
                               "sono lo stesso.")
                    .arg(tipo_));
        if (!stesso && tra(tipo_, { "TD21", "TD27" }))
            aggiungi("00472", documento, "TipoDocumento", tipo_, QStringLiteral("cedente uguale al cessionario"),
                QStringLiteral("Con il tipo documento %1 (autofattura) cedente e cessionario devono essere lo stesso "
                               "soggetto: qui sono diversi.")
                    .arg(tipo_));
        if (cedente_.paese == QLatin1String("IT") && tra(tipo_, { "TD17", "TD18", "TD19" }))
            aggiungi("00473", cedente_.iva, "IdPaese", cedente_.paese, QStringLiteral("un paese diverso da IT"),
                QStringLiteral("Con il tipo documento %1 (integrazione per un acquisto dall'estero) il cedente non "
                               "può essere italiano.")
                    .arg(tipo_))
                .corpo
                = corpo_n_;
        if (cedente_.iva != nullptr && cedente_.paese != QLatin1String("SM") && tipo_ == QLatin1String("TD28"))
            aggiungi("00473", cedente_.iva, "IdPaese", cedente_.paese, QStringLiteral("SM"),
                QStringLiteral("Con il tipo documento TD28 (acquisto da San Marino) il cedente deve essere di San "
                               "Marino: qui il paese è %1.")
                    .arg(cedente_.paese))
                .corpo
                = corpo_n_;
        if (cedente_.iva != nullptr && cedente_.paese != QLatin1String("IT") && tipo_ == QLatin1String("TD29"))
            aggiungi("00473", cedente_.iva, "IdPaese", cedente_.paese, QStringLiteral("IT"),
                QStringLiteral("Con il tipo documento TD29 (comunicazione di una fattura omessa o irregolare) il "
                               "cedente deve essere italiano: qui il paese è %1.")
                    .arg(cedente_.paese))
                .corpo
                = corpo_n_;
        const Nodo *datiCessionario = Figlio(
            Figlio(Figlio(luogo_.radice(), "FatturaElettronicaHeader"), "CessionarioCommittente"), "DatiAnagrafici");
        if (cessionario_.iva == nullptr && datiCessionario != nullptr
            && tra(tipo_, { "TD16", "TD17", "TD18", "TD19", "TD20", "TD22", "TD23", "TD28", "TD29" }))
            aggiungi("00475", datiCessionario, "IdFiscaleIVA", QString(), QStringLiteral("la partita IVA"),
                QStringLiteral("Con il tipo documento %1 il cessionario, che emette il documento, deve indicare la "
                               "sua partita IVA.")
                    .arg(tipo_))
                .corpo
                = corpo_n_;
    }

    FormatoFattura formato_;
    const LuogoAlbero &luogo_;
    QDate oggi_;
    QList<Rilievo> &rilievi_;
    QString formatoTrasmissione_;
    Identita cedente_, cessionario_;
    // The body being checked.
    int corpo_n_ = 0;
    QString tipo_;
    QDate data_;
    std::vector<Aliquota> aliquote_; // in the order first met
    Nature natureLinee_, natureRiepilogo_;
};
} // namespace

void ControllaContenuto(FormatoFattura formato, const LuogoAlbero &luogo, QDate oggi, QList<Rilievo> &rilievi)
{
    Controllo(formato, luogo, oggi, rilievi).esegui();
}
