// The numbers the published tables of the ordinary invoice (FPA12, FPR12)
// give each element: "2.2.1.11" for PrezzoTotale of a detail line. The tree
// is written once below, one blank of indentation per level; a number is the
// element's position among its siblings, counted from 1, after its parent's
// number. "@Name" stands for a block that recurs under several parents.
#include "controlli/controlli_p.h"

#include <QHash>
#include <QStringList>

namespace {
const char *const Blocchi[][2] = {
    { "IdFiscaleIVA", "IdFiscaleIVA\n IdPaese\n IdCodice" },
    { "Anagrafica", "Anagrafica\n Denominazione\n Nome\n Cognome\n Titolo\n CodEORI" },
    { "Indirizzo", "Indirizzo\nNumeroCivico\nCAP\nComune\nProvincia\nNazione" },
    { "Documento",
        "RiferimentoNumeroLinea\nIdDocumento\nData\nNumItem\nCodiceCommessaConvenzione\nCodiceCUP\nCodiceCIG" },
    { "Sconto", "ScontoMaggiorazione\n Tipo\n Percentuale\n Importo" },
};

const char *const Albero = R"(FatturaElettronicaHeader
 DatiTrasmissione
  IdTrasmittente
   IdPaese
   IdCodice
  ProgressivoInvio
  FormatoTrasmissione
  CodiceDestinatario
  ContattiTrasmittente
   Telefono
   Email
  PECDestinatario
 CedentePrestatore
  DatiAnagrafici
   @IdFiscaleIVA
   CodiceFiscale
   @Anagrafica
   AlboProfessionale
   ProvinciaAlbo
   NumeroIscrizioneAlbo
   DataIscrizioneAlbo
   RegimeFiscale
  Sede
   @Indirizzo
  StabileOrganizzazione
   @Indirizzo
  IscrizioneREA
   Ufficio
   NumeroREA
   CapitaleSociale
   SocioUnico
   StatoLiquidazione
  Contatti
   Telefono
   Fax
   Email
  RiferimentoAmministrazione
 RappresentanteFiscale
  DatiAnagrafici
   @IdFiscaleIVA
   CodiceFiscale
   @Anagrafica
 CessionarioCommittente
  DatiAnagrafici
   @IdFiscaleIVA
   CodiceFiscale
   @Anagrafica
  Sede
   @Indirizzo
  StabileOrganizzazione
   @Indirizzo
  RappresentanteFiscale
   @IdFiscaleIVA
   Denominazione
   Nome
   Cognome
 TerzoIntermediarioOSoggettoEmittente
  DatiAnagrafici
   @IdFiscaleIVA
   CodiceFiscale
   @Anagrafica
 SoggettoEmittente
FatturaElettronicaBody
 DatiGenerali
  DatiGeneraliDocumento
   TipoDocumento
   Divisa
   Data
   Numero
   DatiRitenuta
    TipoRitenuta
    ImportoRitenuta
    AliquotaRitenuta
    CausalePagamento
   DatiBollo
    BolloVirtuale
    ImportoBollo
   DatiCassaPrevidenziale
    TipoCassa
    AlCassa
    ImportoContributoCassa
    ImponibileCassa
    AliquotaIVA
    Ritenuta
    Natura
    RiferimentoAmministrazione
   @Sconto
   ImportoTotaleDocumento
   Arrotondamento
   Causale
   Art73
  DatiOrdineAcquisto
   @Documento
  DatiContratto
   @Documento
  DatiConvenzione
   @Documento
  DatiRicezione
   @Documento
  DatiFattureCollegate
   @Documento
  DatiSAL
   RiferimentoFase
  DatiDDT
   NumeroDDT
   DataDDT
   RiferimentoNumeroLinea
  DatiTrasporto
   DatiAnagraficiVettore
    @IdFiscaleIVA
    CodiceFiscale
    @Anagrafica
    NumeroLicenzaGuida
   MezzoTrasporto
   CausaleTrasporto
   NumeroColli
   Descrizione
   UnitaMisuraPeso
   PesoLordo
   PesoNetto
   DataOraRitiro
   DataInizioTrasporto
   TipoResa
   IndirizzoResa
    @Indirizzo
   DataOraConsegna
  FatturaPrincipale
   NumeroFatturaPrincipale
   DataFatturaPrincipale
 DatiBeniServizi
  DettaglioLinee
   NumeroLinea
   TipoCessionePrestazione
   CodiceArticolo
    CodiceTipo
    CodiceValore
   Descrizione
   Quantita
   UnitaMisura
   DataInizioPeriodo
   DataFinePeriodo
   PrezzoUnitario
   @Sconto
   PrezzoTotale
   AliquotaIVA
   Ritenuta
   Natura
   RiferimentoAmministrazione
   AltriDatiGestionali
    TipoDato
    RiferimentoTesto
    RiferimentoNumero
    RiferimentoData
  DatiRiepilogo
   AliquotaIVA
   Natura
   SpeseAccessorie
   Arrotondamento
   ImponibileImporto
   Imposta
   EsigibilitaIVA
   RiferimentoNormativo
 DatiVeicoli
  Data
  TotalePercorso
 DatiPagamento
  CondizioniPagamento
  DettaglioPagamento
   Beneficiario
   ModalitaPagamento
   DataRiferimentoTerminiPagamento
   GiorniTerminiPagamento
   DataScadenzaPagamento
   ImportoPagamento
   CodUfficioPostale
   CognomeQuietanzante
   NomeQuietanzante
   CFQuietanzante
   TitoloQuietanzante
   IstitutoFinanziario
   IBAN
   ABI
   CAB
   BIC
   ScontoPagamentoAnticipato
   DataLimitePagamentoAnticipato
   PenalitaPagamentiRitardati
   DataDecorrenzaPenale
   CodicePagamento
 Allegati
  NomeAttachment
  AlgoritmoCompressione
  FormatoAttachment
  DescrizioneAttachment
  Attachment
)";

// The lines of the tree with every "@Name" replaced by its block.
void espandi(const QString &testo, const QString &rientro, QStringList &righe)
{
    for (const QString &riga : testo.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype spazi = riga.size() - riga.trimmed().size();
        const QString nome = riga.trimmed();
        if (!nome.startsWith(QLatin1Char('@'))) {
            righe << rientro + riga;
            continue;
        }
        for (const auto &[chiave, blocco] : Blocchi)
            if (nome.mid(1) == QLatin1String(chiave))
                espandi(QString::fromLatin1(blocco), rientro + riga.left(spazi), righe);
    }
}

// "parent number/name" -> number; the elements below the root have an empty parent.
QHash<QString, QString> costruisciNumeri()
{
    QStringList righe;
    espandi(QString::fromLatin1(Albero), QString(), righe);
    QHash<QString, QString> numeri;
    QList<int> contatori;
    QStringList numeriAperti; // the number of the last element at each level
    for (const QString &riga : righe) {
        const auto livello = riga.size() - riga.trimmed().size();
        // Deeper counts are dropped: the next child of this element starts at 1.
        contatori.resize(livello + 1);
        numeriAperti.resize(livello + 1);
        ++contatori[livello];
        const QString padre = livello == 0 ? QString() : numeriAperti[livello - 1];
        const QString numero
            = (padre.isEmpty() ? QString() : padre + QLatin1Char('.')) + QString::number(contatori[livello]);
        numeri.insert(padre + QLatin1Char('/') + riga.trimmed(), numero);
        numeriAperti[livello] = numero;
    }
    return numeri;
}
} // namespace

QString NumeroCampo(const QStringList &nomi)
{
    static const QHash<QString, QString> numeri = costruisciNumeri();
    QString numero;
    for (const QString &nome : nomi) {
        numero = numeri.value(numero + QLatin1Char('/') + nome);
        if (numero.isEmpty())
            return QString();
    }
    return numero;
}
