// The command line of lentiva-cli as a table: every command is a row with its
// operands, its options (each a row of its own, in groups that exclude one
// another) and its help; the one parser and the one help text read the
// table, so a new command or option is a new row.
#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <string>
#include <vector>

class QIODevice;

struct OpzioneRiga {
    const char *nome; // "--json", "-o"
    const char *valore = nullptr; // the value's name ("CARTELLA"); none: a flag
    bool ripetibile = false; // may come again, its values gathering ("IT..." in the help)
    const char *richiede = nullptr; // only together with this option
    const char *unSoloFile = nullptr; // only with one operand; the advice for more
};

struct RigaLetta;
struct AmbienteComando;

struct ComandoRiga {
    const char *nome;
    // "FILE..." for any number, "FILE" for exactly one.
    const char *operandi;
    // Each group's options exclude one another: [-o USCITA | -d CARTELLA].
    std::vector<std::vector<OpzioneRiga>> gruppi;
    // The help's lines after the usage line, each indented by the help.
    const char *aiuto;
    int (*esegui)(const RigaLetta &riga, AmbienteComando &ambiente);
    // Several operands need this option.
    const char *piuOperandiVogliono = nullptr;
};

// What the command line says.
struct RigaLetta {
    const ComandoRiga *comando = nullptr;
    QStringList operandi;
    std::map<std::string, QStringList> opzioni; // each given option, with its values

    bool ha(const char *opzione) const { return opzioni.count(opzione) > 0; }
    QString valore(const char *opzione) const;
    QStringList valori(const char *opzione) const;
};

// The mistake in a command line, as the text after "lentiva-cli: ".
struct ErroreUso {
    QString testo;
};

// Reads the arguments (those after the program's name) by the table: the
// command, then options anywhere ("--" ends them, "-" is an operand). Throws
// ErroreUso.
RigaLetta LeggiRiga(const QStringList &argomenti, const std::vector<ComandoRiga> &comandi);

// The usage line of each command and its help lines, between the text before
// and the text after.
QString TestoAiutoComandi(const QString &prima, const std::vector<ComandoRiga> &comandi, const QString &dopo);
