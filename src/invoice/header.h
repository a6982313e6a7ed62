// The document header: supplier, type (code and description), date, number,
// read with the path query, and the table of document types.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class MessageSink;

struct TipoDocumento {
    const char *codice;
    const char *descrizione;
};

extern const TipoDocumento TabTipiDocumento[23];

// Code, a blank and the description of the first row whose code equals the
// argument exactly; empty when none does.
QByteArray DescrTipoDoc(const QByteArray &codice);

enum class CampoTestata { Fornitore, TipoDocumento, Data, Numero };

// Runs the four queries in order and hands each found value to setField as
// soon as it is read (a field whose element is missing is not touched). An
// error of the query ends the run there.
void LeggiDatiDocumento(const QString &fileXml, MessageSink &messages,
    const std::function<void(CampoTestata, const QByteArray &)> &setField);
