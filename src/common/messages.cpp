// The error text shared by the window and the command line.
#include "common/messages.h"

QString testoErrore(const QString &messaggio)
{
    if (!messaggio.isEmpty() && messaggio.back().unicode() > u'.')
        return messaggio + QLatin1Char('.');
    return messaggio;
}
