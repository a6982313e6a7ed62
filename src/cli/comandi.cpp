// The commands of lentiva-cli. html, pdf and info drive the window's open road
// through a display of their own; the others call the routines behind the
// window's buttons. Each file starts from the state the window starts with.
#include "cli/comandi.h"
#include "cli/elenco.h"
#include "cli/json.h"

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
#include "firma/elenco.h"
#include "invoice/openflow.h"
#include "invoice/xmlquery.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QSet>
#include <QStandardPaths>
#include <map>

namespace {
const QString kVersione = QStringLiteral("lentiva-cli 1.1.0");

struct ErroreUso {
    QString testo;
};

// The options each command accepts.
struct Comando {
    const char *nome;
    bool uscita; // -o
    bool cartella; // -d
    bool utf8;
    bool json;
};

constexpr Comando kComandi[] = {
    { "html", true, true, true, false },
    { "info", false, false, false, true },
    { "allegati", false, false, false, false },
    { "estrai", false, true, false, false },
    { "base64", false, false, false, false },
    { "p7m", false, false, false, false },
    { "pdf", true, true, false, false },
};

struct Opzioni {
    QString comando;
    QStringList file;
    QString uscita;
    QString cartella;
    bool conUscita = false;
    bool conCartella = false;
    bool utf8 = false;
    bool json = false;
};

Opzioni leggiOpzioni(const QStringList &argomenti)
{
    Opzioni o;
    o.comando = argomenti.value(0);
    const Comando *comando = nullptr;
    for (const Comando &c : kComandi)
        if (o.comando == QLatin1String(c.nome))
            comando = &c;
    if (comando == nullptr)
        throw ErroreUso { o.comando.isEmpty() ? QStringLiteral("comando mancante")
                                              : QStringLiteral("comando sconosciuto: ") + o.comando };

    bool soloFile = false;
    for (qsizetype i = 1; i < argomenti.size(); ++i) {
        const QString &a = argomenti[i];
        if (soloFile || a == QLatin1String("-") || !a.startsWith(QLatin1Char('-'))) {
            o.file << a;
            continue;
        }
        const auto valore = [&](bool ammessa, bool &data, QString &destinazione) {
            if (!ammessa)
                throw ErroreUso { QStringLiteral("opzione non valida per %1: %2").arg(o.comando, a) };
            if (data)
                throw ErroreUso { QStringLiteral("opzione ripetuta: ") + a };
            if (i + 1 >= argomenti.size() || argomenti[i + 1].isEmpty())
                throw ErroreUso { QStringLiteral("manca il valore di ") + a };
            destinazione = argomenti[++i];
            data = true;
        };
        if (a == QLatin1String("--"))
            soloFile = true;
        else if (a == QLatin1String("-o"))
            valore(comando->uscita, o.conUscita, o.uscita);
        else if (a == QLatin1String("-d"))
            valore(comando->cartella, o.conCartella, o.cartella);
        else if (a == QLatin1String("--utf8") && comando->utf8)
            o.utf8 = true;
        else if (a == QLatin1String("--json") && comando->json)
            o.json = true;
        else
            throw ErroreUso { QStringLiteral("opzione non valida per %1: %2").arg(o.comando, a) };
    }
    if (o.file.isEmpty())
        throw ErroreUso { QStringLiteral("nessun file indicato") };
    if (o.comando == QLatin1String("base64") && o.file.size() > 1)
        throw ErroreUso { QStringLiteral("base64 vuole un solo file") };
    if (o.conUscita && o.conCartella)
        throw ErroreUso { QStringLiteral("-o e -d non vanno insieme") };
    if (o.conUscita && o.file.size() > 1)
        throw ErroreUso { QStringLiteral("-o vale per un solo file; per più file si usa -d CARTELLA") };
    if ((o.comando == QLatin1String("html") || o.comando == QLatin1String("pdf")) && o.file.size() > 1
        && !o.conCartella)
        throw ErroreUso { QStringLiteral("più file vogliono -d CARTELLA") };
    return o;
}

// The program folder, the two output streams and the stylesheets compiled in
// this run; remembers whether any file failed.
class Sessione final {
public:
    Sessione(const QString &dirProgramma, QIODevice &out, QIODevice &err)
        : dir(dirProgramma)
        , out_(out)
        , err_(err)
    {
    }

    void scrivi(const QByteArray &bytes)
    {
        if (out_.write(bytes) != bytes.size())
            fallito = true;
    }
    void scrivi(const QString &testo) { scrivi(testo.toUtf8()); }
    void errore(const QString &file, const QString &messaggio)
    {
        err_.write((file + QStringLiteral(": ") + messaggio + QLatin1Char('\n')).toUtf8());
        fallito = true;
    }
    QIODevice &uscita() { return out_; }
    // A note on standard error that is no failure.
    void avviso(const QString &file, const QString &messaggio)
    {
        err_.write((file + QStringLiteral(": ") + messaggio + QLatin1Char('\n')).toUtf8());
    }

    const QString dir;
    FogliCompilati fogli;
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

    QByteArray pagina;
    std::map<CampoTestata, QByteArray> campi;
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

void intestazione(Sessione &s, const Opzioni &o, const QString &file, bool primo)
{
    if (o.file.size() < 2)
        return;
    s.scrivi(QString((primo ? QString() : QStringLiteral("\n")) + QStringLiteral("File: ") + file + QLatin1Char('\n')));
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
void comandoPagina(Sessione &s, const Opzioni &o, const QString &estensione, const PaginaInPdf &converti)
{
    // A folder that cannot be made shows as each file's creation error.
    if (o.conCartella && !directoryExists(o.cartella))
        forceDirectories(o.cartella);
    QSet<QString> usati; // the pages this run wrote into the folder
    for (const QString &file : o.file) {
        StatoFattura stato;
        DisplayCli display(s, file, o.utf8);
        if (!apri(s, file, stato, display))
            continue;
        protetto(s, file, [&] {
            const QByteArray risultato = converti ? converti(display.pagina) : display.pagina;
            if (o.conCartella)
                writeFileAtomically(
                    includeTrailingSeparator(o.cartella) + nomePagina(s, file, estensione, usati), risultato);
            else if (o.conUscita)
                writeFileAtomically(o.uscita, risultato);
            else
                s.scrivi(risultato);
        });
    }
}

void comandoInfo(Sessione &s, const Opzioni &o)
{
    bool primo = true;
    // Read only if a file asks for it.
    ElencoPigro elenco(
        CartelleCertificatori(s.dir, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    for (const QString &file : o.file) {
        StatoFattura stato;
        DisplayCli display(s, file, false);
        if (!apri(s, file, stato, display))
            continue;
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
        } righe[] = {
            { "Formato", "formato", fromWindows1252(trimControls(joinLinesCrLf(valori))) },
            { "Tipo documento", "tipo_documento", campo(CampoTestata::TipoDocumento) },
            { "Numero", "numero", campo(CampoTestata::Numero) },
            { "Data", "data", campo(CampoTestata::Data) },
            { "Cedente/Prestatore", "cedente_prestatore", campo(CampoTestata::Fornitore) },
        };
        QByteArray testo;
        if (o.json) {
            testo = "{\"file\":" + TestoJson(file);
            for (const auto &r : righe)
                testo += QByteArray(",\"") + r.chiave + "\":" + TestoJson(r.valore);
            testo += ",\"firma\":" + TestoJson(ParolaFirmaFile(file, elenco)) + "}\n";
        } else {
            intestazione(s, o, file, primo);
            for (const auto &r : righe)
                testo += QByteArray(r.etichetta) + ": " + r.valore.toUtf8() + '\n';
        }
        s.scrivi(testo);
        primo = false;
    }
}

void comandoAllegati(Sessione &s, const Opzioni &o)
{
    bool primo = true;
    for (const QString &file : o.file) {
        QList<TAllegatoItem> lista;
        if (!protetto(s, file, [&] { LeggiAllegati(xmlDi(s, file), lista); }))
            continue;
        intestazione(s, o, file, primo);
        primo = false;
        for (const TAllegatoItem &item : lista) {
            const QString nome = NomeVisibile(item.Nome);
            // The size of what "Salva allegato" writes, by the same rules.
            protetto(s, file, [&] {
                const qsizetype dimensione
                    = TDecoderMIME::DecodeText<TDecoderMIME>(TestoBase64Allegato(item.Contenuto, nome)).size();
                s.scrivi(QString::number(dimensione) + QLatin1Char('\t') + nome + QLatin1Char('\n'));
            });
        }
    }
}

void comandoEstrai(Sessione &s, const Opzioni &o)
{
    const QString cartella = o.conCartella
        ? o.cartella
        : CartellaAllegati(s.dir, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    for (const QString &file : o.file) {
        protetto(s, file, [&] {
            const QString xml = xmlDi(s, file);
            // The bulk extraction passes over a missing file in silence; here it is an error.
            if (!fileExists(xml))
                throw Exception(QStringLiteral("Errore: ") + xml + QStringLiteral(" non trovato!"));
            QString messaggio;
            const qint32 quanti = EstraiAllegati(xml, cartella, messaggio);
            s.scrivi(QStringLiteral("%1: %2 %3 in %4\n")
                         .arg(file)
                         .arg(quanti)
                         .arg(quanti == 1 ? QStringLiteral("allegato estratto") : QStringLiteral("allegati estratti"),
                             cartella));
            if (!messaggio.isEmpty())
                s.errore(file, testoErrore(messaggio));
        });
    }
}

void comandoBase64(Sessione &s, const Opzioni &o)
{
    const QString &file = o.file.first();
    protetto(s, file, [&] {
        // Written as it is made: any size, in little memory.
        QString messaggio;
        if (FileToBase64InPezzi(file, s.uscita(), messaggio))
            s.scrivi(QByteArray("\n"));
        else
            s.errore(file, messaggio);
    });
}

void comandoP7m(Sessione &s, const Opzioni &o)
{
    for (const QString &busta : o.file) {
        // The tool writes beside the envelope under its name less the last
        // extension: anything but an envelope could be overwritten that way.
        if (!hasExtension(busta, u".p7m")) {
            s.errore(busta, QStringLiteral("Non è una busta firmata (.p7m)"));
            continue;
        }
        protetto(s, busta, [&] {
            QString xml;
            EstraiXmlDaP7m(busta, xml, s.dir);
            s.scrivi(xml + QLatin1Char('\n'));
        });
    }
}
} // namespace

QString TestoAiuto()
{
    return QStringLiteral("Uso: lentiva-cli COMANDO FILE... [OPZIONI]\n"
                          "\n"
                          "Le operazioni di Lentiva senza finestra, per gli script. FILE è una fattura .xml\n"
                          "o una fattura firmata .p7m, la cui busta si apre prima, come fa la finestra.\n"
                          "\n"
                          "Comandi:\n"
                          "  html FILE... [-o USCITA | -d CARTELLA] [--utf8]\n"
                          "      la pagina della fattura, gli stessi byte che riceve la finestra (code page\n"
                          "      1252). Un file va sullo standard output o in USCITA; più file vanno in\n"
                          "      CARTELLA/<nome senza l'ultima estensione>.html, con un numero quando due\n"
                          "      file hanno lo stesso nome. Con --utf8 il risultato del foglio di stile in\n"
                          "      UTF-8, così com'è.\n"
                          "  pdf FILE... [-o USCITA | -d CARTELLA]\n"
                          "      la pagina della fattura come PDF A4, come \"Esporta PDF\" della finestra;\n"
                          "      uscita come per html, in CARTELLA/<nome senza l'ultima estensione>.pdf. Non\n"
                          "      serve uno schermo.\n"
                          "  info FILE... [--json]\n"
                          "      una riga ciascuno in UTF-8: \"Formato: \", \"Tipo documento: \", \"Numero: \",\n"
                          "      \"Data: \", \"Cedente/Prestatore: \"; con più file ogni blocco comincia con\n"
                          "      \"File: \". Con --json un oggetto per file, uno per riga, con le chiavi file,\n"
                          "      formato, tipo_documento, numero, data, cedente_prestatore e firma (l'esito\n"
                          "      della firma, come per il comando firma).\n"
                          "  allegati FILE...\n"
                          "      una riga per allegato, nell'ordine del file: la dimensione decodificata in\n"
                          "      byte, una tabulazione, il nome.\n"
                          "  estrai FILE... [-d CARTELLA]\n"
                          "      salva tutti gli allegati in CARTELLA (altrimenti ALLEGATI/ accanto al\n"
                          "      programma o, se lì non si può scrivere, Lentiva/ALLEGATI/ nei Documenti\n"
                          "      dell'utente) e dice quanti ne ha salvati.\n"
                          "  base64 FILE\n"
                          "      il contenuto del file come testo Base64.\n"
                          "  p7m BUSTA...\n"
                          "      estrae l'XML dalla busta firmata, accanto ad essa, e ne scrive il percorso.\n"
                          "  firma FILE... [--json] [--elenco ELENCO.xml]\n"
                          "      chi ha firmato ogni file e se è integro: l'esito (valida, non_verificata,\n"
                          "      non_valida, assente) e il suo motivo, ogni firmatario col suo certificato,\n"
                          "      l'elenco dei certificatori usato (quelli di CERTIFICATORI/ accanto al\n"
                          "      programma, o ELENCO.xml). Con --json un oggetto per file, uno per riga.\n"
                          "      Codice di uscita 0 se ogni file è valida o assente, 1 altrimenti. La revoca\n"
                          "      dei certificati non è verificata.\n"
                          "  elenco PERCORSO... [--json | --csv] [--righe]\n"
                          "      file, cartelle (con le sottocartelle) e archivi .zip: una riga per fattura\n"
                          "      (per corpo) con file, tipo, numero, data, cedente, cessionario, importi,\n"
                          "      allegati, esito della firma; in fondo il numero e i totali. Con --json un\n"
                          "      oggetto per riga con le chiavi file, voce, corpo, formato, tipo_documento,\n"
                          "      numero, data, cedente, cedente_id, cessionario, cessionario_id, valuta,\n"
                          "      imponibile, imposta, totale, da_pagare, allegati, firma, sdi; con --csv il\n"
                          "      CSV di \"Esporta CSV\"; con --righe una riga per linea di fattura. I file\n"
                          "      che non sono fatture vanno sullo standard error, uno per riga.\n"
                          "  --help     questo aiuto\n"
                          "  --version  la versione\n"
                          "\n"
                          "Gli errori vanno sullo standard error come \"FILE: messaggio\", con le parole della\n"
                          "finestra. Codice di uscita: 0 se ogni file è andato bene, 1 se qualcuno no (gli\n"
                          "altri si elaborano comunque), 2 se la riga di comando è sbagliata.\n");
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
    if (primo == QLatin1String("firma"))
        return ComandoFirma(argomenti.mid(1), dirProgramma, out, err);
    if (primo == QLatin1String("elenco"))
        return ComandoElenco(argomenti.mid(1), dirProgramma, out, err);
    Opzioni o;
    try {
        o = leggiOpzioni(argomenti);
    } catch (const ErroreUso &e) {
        err.write(QStringLiteral("lentiva-cli: %1\nPer l'aiuto: lentiva-cli --help\n").arg(e.testo).toUtf8());
        return UscitaUso;
    }

    if (o.comando == QLatin1String("pdf") && !inPdf) {
        err.write("lentiva-cli: il comando pdf manca in questa compilazione (senza la finestra)\n");
        return UscitaErrori;
    }

    Sessione s(dirProgramma, out, err);
    if (o.comando == QLatin1String("html"))
        comandoPagina(s, o, QStringLiteral(".html"), {});
    else if (o.comando == QLatin1String("pdf"))
        comandoPagina(s, o, QStringLiteral(".pdf"), inPdf);
    else if (o.comando == QLatin1String("info"))
        comandoInfo(s, o);
    else if (o.comando == QLatin1String("allegati"))
        comandoAllegati(s, o);
    else if (o.comando == QLatin1String("estrai"))
        comandoEstrai(s, o);
    else if (o.comando == QLatin1String("base64"))
        comandoBase64(s, o);
    else
        comandoP7m(s, o);
    return s.fallito ? UscitaErrori : UscitaOk;
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
