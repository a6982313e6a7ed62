// Test archives written with libzip.
#include "zipprova.h"

#include "support/testsupport.h"

#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>
#include <zip.h>

QByteArray scriviZip(const QString &percorso, const VociZip &voci)
{
    int errore = 0;
    zip_t *zip = zip_open(QFile::encodeName(percorso).constData(), ZIP_CREATE | ZIP_TRUNCATE, &errore);
    EXPECT_NE(zip, nullptr) << errore;
    for (const auto &[nome, bytes] : voci) {
        zip_source_t *s = zip_source_buffer(zip, bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0);
        EXPECT_GE(zip_file_add(zip, nome.toUtf8().constData(), s, ZIP_FL_ENC_UTF_8), 0) << nome.toStdString();
    }
    EXPECT_EQ(zip_close(zip), 0);
    return readBytes(percorso);
}

QByteArray dimensioneDichiarata(QByteArray zip, const QByteArray &nome, quint32 dimensione)
{
    // Local header: name length at 26, name at 30, size at 22; central: 28, 46, 24.
    for (const auto &[firma, lunghezza, inizio, campo] :
        { std::tuple { "PK\x03\x04", 26, 30, 22 }, std::tuple { "PK\x01\x02", 28, 46, 24 } }) {
        for (qsizetype p = zip.indexOf(firma); p >= 0; p = zip.indexOf(firma, p + 4)) {
            const auto n = qFromLittleEndian<quint16>(zip.constData() + p + lunghezza);
            if (zip.mid(p + inizio, n) == nome)
                qToLittleEndian(dimensione, zip.data() + p + campo);
        }
    }
    return zip;
}
