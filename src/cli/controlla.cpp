// The "controlla" command: each file checked as the exchange system would,
// written as the window's details or as JSON; and the checks of one file for
// info --json.
#include "cli/controlla.h"

#include "common/errors.h"
#include "common/fileio.h"
#include "common/filenames.h"
#include "common/folders.h"
#include "common/messages.h"
#include "controlli/controlli.h"
#include "controlli/uscita.h"
#include "firma/busta.h"

#include <QDir>
#include <QIODevice>

QString CartellaSchemi(const QString &dirProgramma)
{
    return QDir::cleanPath(dirProgramma + DirSchemi);
}

RisultatoControlli ControllaFile(const SchemiFattura &schemi, const QString &file, QDate oggi)
{
    const QByteArray bytes = readWholeFile(file);
    if (!hasExtension(file, u".p7m"))
        return ControllaFattura(schemi, bytes, oggi);
    BustaAperta busta;
    try {
        busta = ApriBusta(bytes);
    } catch (const Exception &e) {
        RisultatoControlli r;
        r.motivo = QStringLiteral("La busta firmata non si apre (%1): non c'è una fattura da controllare.")
                       .arg(e.message().trimmed());
        return r;
    }
    return ControllaFattura(schemi, busta.contenuto, oggi);
}

int ComandoControlla(const RigaLetta &riga, AmbienteComando &ambiente)
{
    const bool comeJson = riga.ha("--json");
    SchemiPigri schemi(CartellaSchemi(ambiente.dirProgramma));
    const QDate oggi = QDate::currentDate();
    bool tuttoBene = true;
    bool primo = true;
    for (const QString &file : riga.operandi) {
        try {
            const RisultatoControlli r = ControllaFile(schemi.schemi(), file, oggi);
            tuttoBene = tuttoBene && r.esito == EsitoControllo::Conforme;
            ambiente.out.write(comeJson
                    ? RisultatoJson(file, r)
                    : ((primo ? QString() : QStringLiteral("\n")) + RisultatoTesto(file, r)).toUtf8());
            primo = false;
        } catch (const Exception &e) {
            ambiente.err.write((file + QStringLiteral(": ") + testoErrore(e.message()) + QLatin1Char('\n')).toUtf8());
            tuttoBene = false;
        }
    }
    return tuttoBene ? UscitaOk : UscitaErrori;
}
