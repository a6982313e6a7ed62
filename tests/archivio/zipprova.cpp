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

QByteArray vociSovrapposte(const QByteArray &zip, int volte)
{
    const qsizetype centrale = zip.indexOf("PK\x01\x02"), fine = zip.indexOf("PK\x05\x06");
    const QByteArray voce = zip.mid(centrale, fine - centrale);
    const auto n = qFromLittleEndian<quint16>(voce.constData() + 28);
    const QByteArray nome = voce.mid(46, n);
    QByteArray indice;
    for (int i = 0; i < volte; ++i) {
        const QByteArray altro = nome.first(nome.lastIndexOf('.')) + QByteArray::number(i).rightJustified(3, '0')
            + nome.mid(nome.lastIndexOf('.'));
        QByteArray copia = voce;
        qToLittleEndian(quint16(altro.size()), copia.data() + 28);
        indice += copia.replace(46, n, altro);
    }
    QByteArray eocd = zip.mid(fine, 22);
    qToLittleEndian(quint16(volte), eocd.data() + 8);
    qToLittleEndian(quint16(volte), eocd.data() + 10);
    qToLittleEndian(quint32(indice.size()), eocd.data() + 12);
    return zip.first(centrale) + indice + eocd;
}
