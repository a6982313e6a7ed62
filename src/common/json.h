// The JSON of every output (the commands', the checks'): strings escaped one
// way (as Qt's own JSON writer does: \" \\ \b \f \n \r \t, the other control
// characters, DEL, the C1 controls and lone surrogates as \u00xx, everything
// else as UTF-8), objects on one line with their keys in the order given.
#pragma once

#include <QByteArray>
#include <QStringView>

// Appends the text as a JSON string, quotes included.
void AggiungiTestoJson(QByteArray &out, QStringView testo);

inline QByteArray TestoJson(QStringView testo)
{
    QByteArray out;
    AggiungiTestoJson(out, testo);
    return out;
}

// One JSON object, built key by key.
class OggettoJson final {
public:
    OggettoJson &testo(const char *chiave, QStringView valore)
    {
        AggiungiTestoJson(chiave_(chiave), valore);
        return *this;
    }
    OggettoJson &numero(const char *chiave, qint64 valore)
    {
        chiave_(chiave) += QByteArray::number(valore);
        return *this;
    }
    OggettoJson &booleano(const char *chiave, bool valore)
    {
        chiave_(chiave) += valore ? "true" : "false";
        return *this;
    }
    // A value already in JSON: an object, an array, null.
    OggettoJson &json(const char *chiave, const QByteArray &valore)
    {
        chiave_(chiave) += valore;
        return *this;
    }
    // "{...}", and a line end when asked for.
    QByteArray fine(bool aCapo = false) const
    {
        return (testo_.isEmpty() ? QByteArray("{") : testo_) + (aCapo ? "}\n" : "}");
    }

private:
    // The program's own keys: plain ASCII, nothing to escape.
    QByteArray &chiave_(const char *chiave)
    {
        testo_ += testo_.isEmpty() ? "{\"" : ",\"";
        testo_ += chiave;
        testo_ += "\":";
        return testo_;
    }
    QByteArray testo_;
};
