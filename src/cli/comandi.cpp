// The commands of lentiva-cli, as the table their command line is read by.
// html, pdf and info drive the window's open road through a display of their
// own; the others call the routines behind the window's buttons. Each file
// starts from the state the window starts with.
#include "cli/comandi.h"
#include "cli/controlla.h"
#include "cli/elenco.h"
#include "cli/infomessaggio.h"
#include "cli/rigacomando.h"
#include "cli/terminale.h"
#include "common/json.h"

#include "attachments/allegati.h"
#include "attachments/codifica.h"
#include "attachments/envelope.h"
#include "attachments/estrazione.h"
#include "cli/firma.h"
#include "codec/base64.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/filenames.h"
#include "common/folders.h"
#include "common/messages.h"
#include "common/strings.h"
#include "common/text8.h"
#include "controlli/controlli.h"
#include "firma/elenco.h"
#include "invoice/openflow.h"
#include "invoice/xmlquery.h"
#include "messaggi/pagina.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QSet>
#include <QStandardPaths>
#include <map>
#include <optional>
#include <vector>

namespace {
const QString kVersione = QStringLiteral("lentiva-cli 1.1.0");

// The program folder, the two output streams and the stylesheets compiled in
// this run; remembers whether any file failed.
class Sessione final {
public:
    explicit Sessione(const AmbienteComando &ambiente)
        : dir(ambiente.dirProgramma)
        , out_(ambiente.out)
        , err_(ambiente.err)
    {
    }

    void scrivi(const QByteArray &bytes)
    {
        if (out_.write(bytes) != bytes.size())
            fallito = true;
    }
    void scrivi(const QString &testo) { scrivi(testo.toUtf8()); }
    // "FILE: message" on one line, whatever either holds.
    void errore(const QString &file, const QString &messaggio)
    {
        avviso(file, messaggio);
        fallito = true;
    }
    QIODevice &uscita() { return out_; }
    int codice() const { return fallito ? UscitaErrori : UscitaOk; }
    // A note on standard error that is no failure.
    void avviso(const QString &file, const QString &messaggio)
    {
        err_.write((PerTerminale(file) + QStringLiteral(": ") + RigaPerTerminale(messaggio) + u'\n').toUtf8());
    }

    const QString dir;
    // One command is one batch: a stylesheet is looked at once.
    FogliCompilati fogli { FogliCompilati::Controllo::UnaVolta };
    bool fallito = false;

private:
    QIODevice &out_;
    QIODevice &err_;
};

// Runs one step for a file; an error reaches standard error as the window's
// error box would show it. False when it failed.
template <typename F> bool protetto(Sessione &s, const QString &file, F &&passo)
{
    try {
        passo();
        return true;
    } catch (const Exception &e) {
        s.errore(file, testoErrore(e.message()));
    } catch (const std::exception &e) {
        s.errore(file, testoErrore(QString::fromLocal8Bit(e.what())));
    }
    return false;
}

// The display the open road drives: it keeps the page and the header fields
// instead of showing them, and its plain messages are the file's errors.
class DisplayCli final : public InvoiceDisplay {
public:
    DisplayCli(Sessione &s, const QString &file, bool vuoleUtf8)
        : s_(s)
        , file_(file)
        , vuoleUtf8_(vuoleUtf8)
    {
    }
    QString extractEnvelope(const QString &envelope) override
    {
        QString xml;
        EstraiXmlDaP7m(envelope, xml, s_.dir);
        return xml;
    }
    void pageRendered(const QString &html) override
    {
        if (vuoleUtf8_)
            pagina = html.toUtf8();
    }
    void showPage(const QByteArray &page) override
    {
        if (!vuoleUtf8_)
            pagina = page;
    }
    // The list is read as the window reads it, so its failures count; nothing
    // here shows it.
    void loadAttachments(const QString &fileXml) override
    {
        QList<TAllegatoItem> lista;
        LeggiAllegati(fileXml, lista);
    }
    void setHeaderField(CampoTestata campo, const QByteArray &testo) override { campi[campo] = testo; }
    void plainMessage(const QString &testo) override
    {
        s_.errore(file_, testo);
        ok = false;
    }
    // A message of the exchange system takes the window's road for one.
    bool showOtherDocument(const QString &fileXml, const StatoFattura &stato, FogliCompilati &fogli) override
    {
        messaggio = MostraMessaggio(fileXml, stato.DirProgramma, *this, fogli);
        return messaggio.has_value();
    }

    QByteArray pagina;
    std::map<CampoTestata, QByteArray> campi;
    std::optional<MessaggioSdI> messaggio; // the file was this message
    bool ok = true;

private:
    Sessione &s_;
    QString file_;
    bool vuoleUtf8_;
};

// The window's open road for one file, from the state the window starts with.
bool apri(Sessione &s, const QString &file, StatoFattura &stato, DisplayCli &display)
{
    stato = StatoFattura { s.dir, QString(), FoglioPredefinitoIn(s.dir) };
    return protetto(s, file, [&] { MostraFattura(file, stato, display, s.fogli); }) && display.ok;
}

// The XML of a file: an envelope's is extracted beside it first.
QString xmlDi(Sessione &s, const QString &file)
{
    QString xml = file;
    if (hasExtension(file, u".p7m"))
        EstraiXmlDaP7m(file, xml, s.dir);
    return xml;
}

void intestazione(Sessione &s, const RigaLetta &riga, const QString &file, bool primo)
{
    if (riga.operandi.size() < 2)
        return;
    s.scrivi(QString((primo ? QString() : QStringLiteral("\n")) + QStringLiteral("File: ") + PerTerminale(file)
        + QLatin1Char('\n')));
}

// The page's name in the -d folder: the input's less its last extension (so
// a.xml and a.xml.p7m do not meet), with a number when an earlier input of
// this run already took it; names are compared without letter case, as some
// file systems do.
QString nomePagina(Sessione &s, const QString &file, const QString &estensione, QSet<QString> &usati)
{
    const QString base = extractFileName(removeFileExt(file));
    QString nome = base + estensione;
    for (int n = 2; usati.contains(nome.toLower()); ++n)
        nome = base + QLatin1Char('-') + QString::number(n) + estensione;
    if (nome != base + estensione)
        s.avviso(file,
            QStringLiteral("pagina scritta come %1, perché %2 è già di un altro file").arg(nome, base + estensione));
    usati.insert(nome.toLower());
    return nome;
}

// html and pdf: each file's page, made into what the command writes, goes to
// standard output, to the -o file or to the -d folder under the input's name.
int comandoPagina(const RigaLetta &riga, Sessione &s, const QString &estensione, const PaginaInPdf &converti)
{
    const QString cartella = riga.valore("-d");
    // A folder that cannot be made shows as each file's creation error.
    if (riga.ha("-d") && !directoryExists(cartella))
        forceDirectories(cartella);
    const bool utf8 = riga.ha("--utf8");
    QSet<QString> usati; // the pages this run wrote into the folder
    // A folder of pages: whole or nothing each, one barrier to the disk for many.
    ScritturaInGruppo pagine([&s](const QString &pagina, const QString &errore) { s.errore(pagina, errore); });
    for (const QString &file : riga.operandi) {
        StatoFattura stato;
        DisplayCli display(s, file, utf8);
        if (!apri(s, file, stato, display))
            continue;
        protetto(s, file, [&] {
            const QByteArray risultato = converti ? converti(display.pagina) : display.pagina;
            if (riga.ha("-d"))
                pagine.scrivi(includeTrailingSeparator(cartella) + nomePagina(s, file, estensione, usati), risultato);
            else if (riga.ha("-o"))
                writeFileAtomically(riga.valore("-o"), risultato);
            else
                s.scrivi(risultato);
        });
    }
    pagine.concludi();
    return s.codice();
}

int comandoHtml(const RigaLetta &riga, AmbienteComando &ambiente)
{
    Sessione s(ambiente);
    return comandoPagina(riga, s, QStringLiteral(".html"), {});
}

int comandoPdf(const RigaLetta &riga, AmbienteComando &ambiente)
{
    if (!ambiente.inPdf) {
        ambiente.err.write("lentiva-cli: il comando pdf manca in questa compilazione (senza la finestra)\n");
        return UscitaErrori;
    }
    Sessione s(ambiente);
    return comandoPagina(riga, s, QStringLiteral(".pdf"), ambiente.inPdf);
}

int comandoInfo(const RigaLetta &riga, AmbienteComando &ambiente)
{
    Sessione s(ambiente);
    const bool json = riga.ha("--json");
    bool primo = true;
    // Read only if a file asks for it.
    ElencoPigro elenco(
        CartelleCertificatori(s.dir, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    SchemiPigri schemi(CartellaSchemi(s.dir)); // compiled at the first invoice
    const QDate oggi = QDate::currentDate();
    for (const QString &file : riga.operandi) {
        StatoFattura stato;
        DisplayCli display(s, file, false);
        if (!apri(s, file, stato, display))
            continue;
        if (display.messaggio) {
            if (!json && !primo)
                s.scrivi(QByteArray("\n"));
            s.scrivi(
                InfoMessaggioCli(file, *display.messaggio, json ? ParolaFirmaFile(file, elenco) : QString(), json));
            primo = false;
            continue;
        }
        // The format as the road read it to choose the stylesheet.
        QByteArrayList valori;
        if (!protetto(s, file, [&] { LeggiValoriXml(stato.FileXml, "FormatoTrasmissione", valori, display); })
            || !display.ok)
            continue;
        const auto campo = [&](CampoTestata c) {
            const auto it = display.campi.find(c);
            return it == display.campi.end() ? QString() : fromWindows1252(it->second);
        };
        const struct {
            const char *etichetta;
            const char *chiave;
            QString valore;
        } campi[] = {
            { "Formato", "formato", fromWindows1252(trimControls(joinLinesCrLf(valori))) },
            { "Tipo documento", "tipo_documento", campo(CampoTestata::TipoDocumento) },
            { "Numero", "numero", campo(CampoTestata::Numero) },
            { "Data", "data", campo(CampoTestata::Data) },
            { "Cedente/Prestatore", "cedente_prestatore", campo(CampoTestata::Fornitore) },
        };
        QByteArray testo;
        if (json) {
            OggettoJson oggetto;
            oggetto.testo("file", file);
            for (const auto &c : campi)
                oggetto.testo(c.chiave, c.valore);
            oggetto.testo("firma", ParolaFirmaFile(file, elenco));
            // The document the page was made from: an envelope's, extracted.
            QString controlli;
            protetto(
                s, file, [&] { controlli = ParolaEsito(ControllaFile(schemi.schemi(), stato.FileXml, oggi).esito); });
            testo = oggetto.testo("controlli", controlli).fine(true);
        } else {
            intestazione(s, riga, file, primo);
            for (const auto &c : campi)
                testo += QByteArray(c.etichetta) + ": " + ValorePerTerminale(c.valore).toUtf8() + '\n';
        }
        s.scrivi(testo);
        primo = false;
    }
    return s.codice();
}

int comandoAllegati(const RigaLetta &riga, AmbienteComando &ambiente)
{
    Sessione s(ambiente);
    bool primo = true;
    for (const QString &file : riga.operandi) {
        QList<TAllegatoItem> lista;
        if (!protetto(s, file, [&] { LeggiAllegati(xmlDi(s, file), lista); }))
            continue;
        intestazione(s, riga, file, primo);
        primo = false;
        for (const TAllegatoItem &item : lista) {
            const QString nome = NomeVisibile(item.Nome);
            // The size of what "Salva allegato" writes, by the same rules.
            protetto(s, file, [&] {
                const qsizetype dimensione
                    = TDecoderMIME::DecodeText<TDecoderMIME>(TestoBase64Allegato(item.Contenuto, nome)).size();
                s.scrivi(QString::number(dimensione) + QLatin1Char('\t') + PerTerminale(nome) + QLatin1Char('\n'));
            });
        }
    }
    return s.codice();
}

int comandoEstrai(const RigaLetta &riga, AmbienteComando &ambiente)
{
    Sessione s(ambiente);
    const QString cartella = riga.ha("-d")
        ? riga.valore("-d")
        : CartellaAllegati(s.dir, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    for (const QString &file : riga.operandi) {
        protetto(s, file, [&] {
            const QString xml = xmlDi(s, file);
            // The bulk extraction passes over a missing file in silence; here it is an error.
            if (!fileExists(xml))
                throw Exception(QStringLiteral("Errore: ") + xml + QStringLiteral(" non trovato!"));
            QString messaggio;
            const qint32 quanti = EstraiAllegati(xml, cartella, messaggio);
            s.scrivi(QStringLiteral("%1: %2 %3 in %4\n")
                         .arg(PerTerminale(file))
                         .arg(quanti)
                         .arg(quanti == 1 ? QStringLiteral("allegato estratto") : QStringLiteral("allegati estratti"),
                             PerTerminale(cartella)));
            if (!messaggio.isEmpty())
                s.errore(file, testoErrore(messaggio));
        });
    }
    return s.codice();
}

int comandoBase64(const RigaLetta &riga, AmbienteComando &ambiente)
{
    Sessione s(ambiente);
    const QString &file = riga.operandi.first();
    protetto(s, file, [&] {
        // Written as it is made: any size, in little memory.
        QString messaggio;
        if (FileToBase64InPezzi(file, s.uscita(), messaggio))
            s.scrivi(QByteArray("\n"));
        else
            s.errore(file, messaggio);
    });
    return s.codice();
}

int comandoP7m(const RigaLetta &riga, AmbienteComando &ambiente)
{
    Sessione s(ambiente);
    for (const QString &busta : riga.operandi) {
        // The tool writes beside the envelope under its name less the last
        // extension: anything but an envelope could be overwritten that way.
        if (!hasExtension(busta, u".p7m")) {
            s.errore(busta, QStringLiteral("Non è una busta firmata (.p7m)"));
            continue;
        }
        protetto(s, busta, [&] {
            QString xml;
            EstraiXmlDaP7m(busta, xml, s.dir);
            s.scrivi(PerTerminale(xml) + QLatin1Char('\n'));
        });
    }
    return s.codice();
}

const std::vector<ComandoRiga> &comandi()
{
    static const OpzioneRiga uscita { "-o", "USCITA", false, nullptr, "per più file si usa -d CARTELLA" };
    static const OpzioneRiga cartella { "-d", "CARTELLA" };
    static const std::vector<ComandoRiga> tabella {
        { "html", "FILE...", { { uscita, cartella }, { { "--utf8" } } },
            "la pagina della fattura (o del messaggio SdI), gli stessi byte che riceve la\n"
            "finestra (code page 1252). Un file va sullo standard output o in USCITA; più\n"
            "file vanno in CARTELLA/<nome senza l'ultima estensione>.html, con un numero\n"
            "quando due file hanno lo stesso nome. Con --utf8 il risultato del foglio di\n"
            "stile in UTF-8, così com'è.",
            comandoHtml, "-d" },
        { "pdf", "FILE...", { { uscita, cartella } },
            "la pagina della fattura (o del messaggio SdI) come PDF A4, come \"Esporta\n"
            "PDF\" della finestra; uscita come per html, in CARTELLA/<nome senza\n"
            "l'ultima estensione>.pdf. Non serve uno schermo.",
            comandoPdf, "-d" },
        { "info", "FILE...", { { { "--json" } } },
            "una riga ciascuno in UTF-8: \"Formato: \", \"Tipo documento: \", \"Numero: \",\n"
            "\"Data: \", \"Cedente/Prestatore: \"; con più file ogni blocco comincia con\n"
            "\"File: \". Con --json un oggetto per file, uno per riga, con le chiavi file,\n"
            "formato, tipo_documento, numero, data, cedente_prestatore, firma (l'esito\n"
            "della firma, come per il comando firma) e controlli (l'esito dei controlli,\n"
            "come per il comando controlla). Per un messaggio dello SdI le chiavi file,\n"
            "messaggio, descrizione, identificativo_sdi, nome_file, data_ora, esito,\n"
            "errori (codice, descrizione, spiegazione) e firma.",
            comandoInfo },
        { "allegati", "FILE...", {},
            "una riga per allegato, nell'ordine del file: la dimensione decodificata in\n"
            "byte, una tabulazione, il nome.",
            comandoAllegati },
        { "estrai", "FILE...", { { cartella } },
            "salva tutti gli allegati in CARTELLA (altrimenti ALLEGATI/ accanto al\n"
            "programma o, se lì non si può scrivere, Lentiva/ALLEGATI/ nei Documenti\n"
            "dell'utente) e dice quanti ne ha salvati.",
            comandoEstrai },
        { "base64", "FILE", {}, "il contenuto del file come testo Base64.", comandoBase64 },
        { "p7m", "BUSTA...", {}, "estrae l'XML dalla busta firmata, accanto ad essa, e ne scrive il percorso.",
            comandoP7m },
        { "firma", "FILE...", { { { "--json" } }, { { "--elenco", "ELENCO.xml" } } },
            "chi ha firmato ogni file e se è integro: l'esito (valida, non_verificata,\n"
            "non_valida, assente) e il suo motivo, ogni firmatario col suo certificato,\n"
            "l'elenco dei certificatori usato (quelli di CERTIFICATORI/ accanto al\n"
            "programma, o ELENCO.xml). Con --json un oggetto per file, uno per riga.\n"
            "Codice di uscita 0 se ogni file è valida o assente, 1 altrimenti. La revoca\n"
            "dei certificati non è verificata.",
            ComandoFirma },
        { "controlla", "FILE...", { { { "--json" } } },
            "i controlli del Sistema di Interscambio (SdI) eseguiti senza collegarsi: lo\n"
            "schema ufficiale del formato (in SCHEMI/ accanto al programma) e i controlli\n"
            "sul contenuto con i codici di errore dello SdI. Per ogni file l'esito\n"
            "(conforme, non_conforme, non_controllabile), il motivo e i rilievi: codice,\n"
            "campo, corpo, riga del file, valore trovato e atteso, spiegazione. Una busta\n"
            ".p7m si apre in memoria e si controlla la fattura che contiene. Con --json un\n"
            "oggetto per file, uno per riga, con le chiavi file, esito, errori, avvisi\n"
            "(liste di oggetti codice, campo, corpo, linea, trovato, atteso, messaggio) e\n"
            "motivo. Codice di uscita 0 se ogni file è conforme, 1 altrimenti.",
            ComandoControlla },
        { "elenco", "PERCORSO...",
            { { { "--json" }, { "--csv" } }, { { "--righe" }, { "--messaggi" }, { "--riepilogo-iva" } },
                { { "--partita-iva", "IT", true, "--riepilogo-iva" } }, { { "--controlli" } } },
            "file, cartelle (con le sottocartelle) e archivi .zip: una riga per fattura\n"
            "(per corpo) con file, tipo, numero, data, cedente, importi e stato SdI; in\n"
            "fondo il numero e i totali. Con --json un oggetto per riga con le chiavi\n"
            "file, voce, corpo, formato, tipo_documento, numero, data, cedente,\n"
            "cedente_id, cessionario, cessionario_id, valuta, imponibile, imposta,\n"
            "totale, da_pagare, allegati, firma, sdi, stato_sdi (consegnata, scartata,\n"
            "mancata_consegna, accettata, rifiutata, decorrenza_termini,\n"
            "non_recapitabile, o vuoto), messaggi (i tipi dei messaggi SdI della\n"
            "fattura, dal più vecchio) e controlli; con --csv il CSV di \"Esporta CSV\";\n"
            "con --righe una riga per linea di fattura. Con --controlli ogni fattura\n"
            "passa anche i controlli dello SdI (come controlla) e controlli è il numero\n"
            "dei rilievi del suo corpo e della testata (anche nella tabella); senza, o\n"
            "quando la fattura non si può controllare, controlli è vuoto (null). Con\n"
            "--messaggi i messaggi dello SdI invece delle fatture: tipo, file,\n"
            "identificativo, data e fattura; con --json le chiavi di info. Con\n"
            "--riepilogo-iva imponibile e imposta per valuta, aliquota, natura ed\n"
            "esigibilità, con il numero di fatture (le note di credito TD04 e TD08 col\n"
            "segno meno); con --partita-iva, una o più volte, divisi in fatture emesse e\n"
            "ricevute da quella partita IVA. Con --json un oggetto per riga con le chiavi\n"
            "verso, valuta, aliquota, natura, esigibilita, imponibile, imposta, fatture.\n"
            "I file che non sono né fatture né messaggi, e le buste firmate che non si\n"
            "leggono, vanno sullo standard error, uno per riga; i caratteri di controllo\n"
            "dei file si scrivono come \\x1b.",
            ComandoElenco },
    };
    return tabella;
}
} // namespace

QString TestoAiuto()
{
    return TestoAiutoComandi(
        QStringLiteral("Uso: lentiva-cli COMANDO FILE... [OPZIONI]\n"
                       "\n"
                       "Le operazioni di Lentiva senza finestra, per gli script. FILE è una fattura .xml\n"
                       "o una fattura firmata .p7m, la cui busta si apre prima, come fa la finestra; html,\n"
                       "pdf e info leggono anche i messaggi del Sistema di Interscambio (SdI).\n"
                       "\n"
                       "Comandi:\n"),
        comandi(),
        QStringLiteral("  --help     questo aiuto\n"
                       "  --version  la versione\n"
                       "\n"
                       "Gli errori vanno sullo standard error come \"FILE: messaggio\", con le parole della\n"
                       "finestra. Codice di uscita: 0 se ogni file è andato bene, 1 se qualcuno no (gli\n"
                       "altri si elaborano comunque), 2 se la riga di comando è sbagliata; un'opzione\n"
                       "data due volte è un errore della riga di comando.\n"));
}

int EseguiComando(
    const QStringList &argomenti, const QString &dirProgramma, QIODevice &out, QIODevice &err, const PaginaInPdf &inPdf)
{
    const QString primo = argomenti.value(0);
    if (primo == QLatin1String("--help") || primo == QLatin1String("-h")) {
        out.write(TestoAiuto().toUtf8());
        return UscitaOk;
    }
    if (primo == QLatin1String("--version")) {
        out.write((kVersione + QLatin1Char('\n')).toUtf8());
        return UscitaOk;
    }
    RigaLetta riga;
    try {
        riga = LeggiRiga(argomenti, comandi());
    } catch (const ErroreUso &e) {
        err.write(
            QStringLiteral("lentiva-cli: %1\nPer l'aiuto: lentiva-cli --help\n").arg(PerTerminale(e.testo)).toUtf8());
        return UscitaUso;
    }
    AmbienteComando ambiente { dirProgramma, out, err, inPdf };
    return riga.comando->esegui(riga, ambiente);
}

int EseguiRigaDiComando(const PaginaInPdf &inPdf)
{
    QCoreApplication::setApplicationName(QStringLiteral("lentiva-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.1.0.0"));
    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    QStringList argomenti = QCoreApplication::arguments();
    argomenti.removeFirst();
    return EseguiComando(argomenti, QCoreApplication::applicationDirPath() + QDir::separator(), out, err, inPdf);
}
