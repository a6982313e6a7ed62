// The Italian texts with which the attachment tools refuse what they cannot do.
#pragma once

#include <QString>

// %1: the name as shown in the list.
inline const QString MsgNomeAllegatoNonValido = QStringLiteral("Nome allegato non valido: %1");
// %1: the name as shown; %2: the character, quoted, or its byte value.
inline const QString MsgCarattereNonBase64
    = QStringLiteral("Contenuto dell'allegato %1 non valido: carattere non Base64 %2");
inline const QString MsgRiempimentoFuoriPosto
    = QStringLiteral("Contenuto dell'allegato %1 non valido: \"=\" fuori posto");
// %1: the file; %2: its size; %3: the largest size handled.
inline const QString MsgFileTroppoGrande = QStringLiteral("File troppo grande: %1 (%2 byte, al massimo %3)");
inline const QString MsgMemoriaInsufficiente = QStringLiteral("Memoria insufficiente");
inline const QString MsgErroreSconosciuto = QStringLiteral("Errore sconosciuto");
