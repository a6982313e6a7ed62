// The fixed sub-folders of the program folder and the stylesheet file names.
// Each sub-folder name ends in the platform's separator and is appended to the
// program folder by plain concatenation.
#pragma once

#include <QString>
#include <QStringList>

#ifdef Q_OS_WIN
#define LENTIVA_SEP "\\"
#else
#define LENTIVA_SEP "/"
#endif

inline const QString DirFogliStile = QStringLiteral("FODISTILE" LENTIVA_SEP);
inline const QString DirFatture = QStringLiteral("FATTURE" LENTIVA_SEP);
inline const QString DirAllegati = QStringLiteral("ALLEGATI" LENTIVA_SEP);
inline const QString DirOpenSSL = QStringLiteral("ossl" LENTIVA_SEP);
inline const QString DirCertificatori = QStringLiteral("CERTIFICATORI" LENTIVA_SEP); // trusted lists
inline const QString DirSchemi = QStringLiteral("SCHEMI" LENTIVA_SEP); // the invoice schemas, for the checks

#undef LENTIVA_SEP

inline const QString FoglioFPA12 = QStringLiteral("Foglio_di_stile_fatturaPA_v1.2.3.xsl");
inline const QString FoglioFPR12 = QStringLiteral("Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl");
inline const QString FoglioFSM10 = QStringLiteral("Foglio_di_stile_VFSM10_v1.0.2.xsl");
inline const QString FoglioPredefinito = FoglioFPR12;

// Where attachments are written: the program folder's ALLEGATI/ when it can be
// written into (or, missing, made), so a folder of one's own works as always;
// otherwise (a program installed for the whole system) Lentiva/ALLEGATI/ in the
// user's documents folder. The program folder's stays when no documents folder
// is known. The result ends in the separator.
QString CartellaAllegati(const QString &dirProgramma, const QString &dirDocumenti);
// The same folder, made first when it is the one in the documents folder; the
// program folder's is left as it is.
QString PreparaCartellaAllegati(const QString &dirProgramma, const QString &dirDocumenti);

// The same choice for any sub-folder the program writes into (the trusted
// lists' CERTIFICATORI/ too): beside the program, or Lentiva/<sub-folder> in
// the documents folder.
QString CartellaScrivibile(const QString &dirProgramma, const QString &sottocartella, const QString &dirDocumenti);

// Where the trusted lists are read from: the program folder's CERTIFICATORI/,
// and the user's too when downloads go there.
QStringList CartelleCertificatori(const QString &dirProgramma, const QString &dirDocumenti);

// The folder part of the program's own path, ending in the separator; empty
// when the path holds no folder.
QString programFolderFrom(const QString &programPath);
