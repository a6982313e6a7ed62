// A message as the window and the command line show it: the page rendered
// with the messages' stylesheet, the header fields, the info object.
#pragma once

#include "invoice/header.h"
#include "messaggi/messaggi.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

class FogliCompilati;
class InvoiceDisplay;

// The messages' stylesheet in FODISTILE/.
inline const QString FoglioMessaggi = QStringLiteral("lentiva_messaggi.xsl");
QString FoglioMessaggiIn(const QString &dirProgramma);

// The stylesheet's output for the message in the bytes, as it came (what
// `html` writes). Before the transform the program adds to the document, in a
// namespace of its own, the kind, the outcome, the warnings and each error's
// explanation, so that the stylesheet itself stays plain XSLT 1.0. Throws
// Exception: "Errore nel caricamento XML: %1" (with nome) when the bytes are
// not well-formed, "Documento xml non gestito, visualizzazione non possibile!"
// when they are no message, else what the rendering throws.
QString HtmlMessaggio(const QByteArray &bytes, const QString &nome, const QString &foglioStile, FogliCompilati &fogli);
// The same from the file (read whole; throws what reading throws).
QString HtmlMessaggio(const QString &fileXml, const QString &foglioStile, FogliCompilati &fogli);
// The page bytes the pane receives: the output transliterated, code page 1252.
QByteArray PaginaMessaggio(const QString &fileXml, const QString &foglioStile, FogliCompilati &fogli);

// The message in the file, read with one parse; nullopt when the file cannot
// be read, is not well-formed XML or is no message (never an error).
std::optional<MessaggioSdI> LeggiFileMessaggio(const QString &fileXml);

// A message shown the way the open of an invoice shows one, from one parse
// of the file: the stylesheet's output to pageRendered, the page bytes to
// showPage, then the four header fields; there are no attachments. nullopt,
// showing nothing, for what LeggiFileMessaggio turns away; throws what the
// rendering throws.
std::optional<MessaggioSdI> MostraMessaggio(
    const QString &fileXml, const QString &dirProgramma, InvoiceDisplay &display, FogliCompilati &fogli);

// The four header fields, all of them, in the invoices' order (supplier,
// type, date, number), as 8-bit text: no supplier; "NS Notifica di scarto";
// the reception date as written (the date part of DataOraRicezione, empty
// when the message has none); the SdI identifier.
std::vector<std::pair<CampoTestata, QByteArray>> TestataMessaggio(const MessaggioSdI &messaggio);

// The outcome shown on the page's card: a word and how it is coloured.
struct EsitoPagina {
    QString parola; // "Consegnata", "Scartata", ...
    const char *colore; // "ok" green, "ko" red, "attenzione" amber, "neutro"
};
EsitoPagina EsitoDi(const MessaggioSdI &messaggio);

// One key of `info` for a message: the JSON key, the label of the plain text
// form, the value (a string, or for errori a list of objects codice,
// descrizione, spiegazione).
struct VoceInfo {
    QString chiave;
    QString etichetta;
    QJsonValue valore;
};

// file, messaggio, descrizione, identificativo_sdi, nome_file, data_ora,
// esito, errori, in this order; the caller appends firma.
std::vector<VoceInfo> InfoMessaggio(const QString &file, const MessaggioSdI &messaggio);
// The keys as one compact JSON object, in their order, without a line end
// (named apart from the command line's JSON writer, which it writes like).
QByteArray OggettoJsonInfo(const std::vector<VoceInfo> &voci);
// "Etichetta: valore" lines (UTF-8, each ending in "\n"); each error on a line
// of its own, "  CODICE descrizione - spiegazione"; control characters of the
// texts shown as blanks.
QByteArray TestoInfo(const std::vector<VoceInfo> &voci);
