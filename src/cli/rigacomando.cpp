// The one parser and the one help text of lentiva-cli's table of commands.
#include "cli/rigacomando.h"

namespace {
const OpzioneRiga *cerca(const ComandoRiga &comando, const QString &nome)
{
    for (const std::vector<OpzioneRiga> &gruppo : comando.gruppi)
        for (const OpzioneRiga &o : gruppo)
            if (nome == QLatin1String(o.nome))
                return &o;
    return nullptr;
}

QString uso(const OpzioneRiga &o)
{
    QString t = QString::fromLatin1(o.nome);
    if (o.valore != nullptr)
        t += u' ' + QString::fromUtf8(o.valore) + (o.ripetibile ? QStringLiteral("...") : QString());
    return t;
}
} // namespace

QString RigaLetta::valore(const char *opzione) const
{
    return valori(opzione).value(0);
}

QStringList RigaLetta::valori(const char *opzione) const
{
    const auto it = opzioni.find(opzione);
    return it == opzioni.end() ? QStringList() : it->second;
}

RigaLetta LeggiRiga(const QStringList &argomenti, const std::vector<ComandoRiga> &comandi)
{
    RigaLetta riga;
    const QString nome = argomenti.value(0);
    for (const ComandoRiga &c : comandi)
        if (nome == QLatin1String(c.nome))
            riga.comando = &c;
    if (riga.comando == nullptr)
        throw ErroreUso { nome.isEmpty() ? QStringLiteral("comando mancante")
                                         : QStringLiteral("comando sconosciuto: ") + nome };
    const ComandoRiga &comando = *riga.comando;

    bool soloOperandi = false;
    for (qsizetype i = 1; i < argomenti.size(); ++i) {
        const QString &a = argomenti[i];
        if (soloOperandi || a == QLatin1String("-") || !a.startsWith(u'-')) {
            riga.operandi << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            soloOperandi = true;
            continue;
        }
        const OpzioneRiga *o = cerca(comando, a);
        if (o == nullptr)
            throw ErroreUso { QStringLiteral("opzione non valida per %1: %2").arg(QLatin1String(comando.nome), a) };
        if (riga.ha(o->nome) && !o->ripetibile)
            throw ErroreUso { QStringLiteral("opzione ripetuta: ") + a };
        QStringList &valori = riga.opzioni[o->nome];
        if (o->valore != nullptr) {
            if (i + 1 >= argomenti.size() || argomenti[i + 1].isEmpty())
                throw ErroreUso { QStringLiteral("manca il valore di ") + a };
            valori << argomenti[++i];
        }
    }

    const QString nomeComando = QLatin1String(comando.nome);
    if (riga.operandi.isEmpty())
        throw ErroreUso { QStringLiteral("nessun file indicato") };
    if (!QLatin1String(comando.operandi).endsWith(QLatin1String("...")) && riga.operandi.size() > 1)
        throw ErroreUso { QStringLiteral("%1 vuole un solo file").arg(nomeComando) };
    for (const std::vector<OpzioneRiga> &gruppo : comando.gruppi) {
        const OpzioneRiga *primo = nullptr;
        for (const OpzioneRiga &o : gruppo) {
            if (!riga.ha(o.nome))
                continue;
            if (primo != nullptr)
                throw ErroreUso {
                    QStringLiteral("%1 e %2 non vanno insieme").arg(QLatin1String(primo->nome), QLatin1String(o.nome))
                };
            primo = &o;
        }
    }
    for (const std::vector<OpzioneRiga> &gruppo : comando.gruppi)
        for (const OpzioneRiga &o : gruppo) {
            if (!riga.ha(o.nome))
                continue;
            if (o.unSoloFile != nullptr && riga.operandi.size() > 1)
                throw ErroreUso { QStringLiteral("%1 vale per un solo file; %2")
                                      .arg(QLatin1String(o.nome), QString::fromUtf8(o.unSoloFile)) };
            if (o.richiede != nullptr && !riga.ha(o.richiede))
                throw ErroreUso {
                    QStringLiteral("%1 vale solo con %2").arg(QLatin1String(o.nome), QLatin1String(o.richiede))
                };
        }
    if (comando.piuOperandiVogliono != nullptr && riga.operandi.size() > 1 && !riga.ha(comando.piuOperandiVogliono))
        throw ErroreUso { QStringLiteral("più file vogliono ")
            + uso(*cerca(comando, QLatin1String(comando.piuOperandiVogliono))) };
    return riga;
}

QString TestoAiutoComandi(const QString &prima, const std::vector<ComandoRiga> &comandi, const QString &dopo)
{
    QString t = prima;
    for (const ComandoRiga &c : comandi) {
        t += QStringLiteral("  ") + QLatin1String(c.nome) + u' ' + QString::fromUtf8(c.operandi);
        for (const std::vector<OpzioneRiga> &gruppo : c.gruppi) {
            QStringList scelte;
            for (const OpzioneRiga &o : gruppo)
                scelte << uso(o);
            t += QStringLiteral(" [") + scelte.join(QStringLiteral(" | ")) + u']';
        }
        t += u'\n';
        for (const QString &r : QString::fromUtf8(c.aiuto).split(u'\n', Qt::SkipEmptyParts))
            t += QStringLiteral("      ") + r + u'\n';
    }
    return t + dopo;
}
