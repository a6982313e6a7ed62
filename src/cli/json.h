// JSON text of a string for the commands' one-object-per-line output.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

// The string as a JSON value, quotes and escapes included.
inline QByteArray TestoJson(const QString &testo)
{
    const QByteArray array = QJsonDocument(QJsonArray { testo }).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}
