// ZIP archives made for tests with libzip: entries under any name ("../x" and
// "/x" too), and a way to make an entry lie about its size.
#pragma once

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

using VociZip = std::vector<std::pair<QString, QByteArray>>;

// Writes the archive to the path and returns its bytes.
QByteArray scriviZip(const QString &percorso, const VociZip &voci);

// The archive with the size the entry claims (in both of its headers) changed.
QByteArray dimensioneDichiarata(QByteArray zip, const QByteArray &nome, quint32 dimensione);

// An archive of one entry whose central directory lists it that many times,
// each under a name of its own ("a.xml" gives "a000.xml"...), all pointing
// at the same bytes: the shape of an overlapping bomb.
QByteArray vociSovrapposte(const QByteArray &zip, int volte);
