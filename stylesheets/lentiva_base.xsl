<?xml version="1.0" encoding="UTF-8"?>
<!--
  Lentiva: shared pieces of the three invoice stylesheets.
  Pure XSLT 1.0 (no extension functions), so that any XSLT 1.0 processor renders it.
  Elements are always matched by local name: invoices arrive with any prefix, the default namespace,
  the legacy namespace or none at all.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

  <xsl:decimal-format name="it" decimal-separator="," grouping-separator="." NaN="" infinity=""/>

  <!-- Names of elements whose text is an amount, a rate or a code: looked up as '|Name|'. -->
  <xsl:variable name="nomi-importo"
    select="'|ImportoTotaleDocumento|Arrotondamento|ImportoRitenuta|ImportoBollo|ImportoContributoCassa|ImponibileCassa|Importo|PrezzoUnitario|PrezzoTotale|ImponibileImporto|Imposta|SpeseAccessorie|ImportoPagamento|ScontoPagamentoAnticipato|PenalitaPagamentiRitardati|CapitaleSociale|RiferimentoNumero|Quantita|PesoLordo|PesoNetto|'"/>
  <xsl:variable name="nomi-valuta"
    select="'|ImportoTotaleDocumento|ImportoRitenuta|ImportoBollo|ImportoContributoCassa|ImponibileCassa|Importo|ImportoPagamento|ScontoPagamentoAnticipato|PenalitaPagamentiRitardati|'"/>
  <xsl:variable name="nomi-aliquota" select="'|AliquotaIVA|AliquotaRitenuta|AlCassa|Percentuale|Aliquota|'"/>
  <xsl:variable name="nomi-codice"
    select="'|TipoDocumento|RegimeFiscale|Natura|ModalitaPagamento|CondizioniPagamento|TipoCassa|TipoRitenuta|CausalePagamento|EsigibilitaIVA|SocioUnico|StatoLiquidazione|Tipo|TipoCessionePrestazione|SoggettoEmittente|FormatoTrasmissione|Ritenuta|Art73|BolloVirtuale|'"/>
  <xsl:variable name="nomi-anagrafica" select="'|Titolo|Nome|Cognome|Denominazione|'"/>
  <xsl:variable name="ns-firma" select="'http://www.w3.org/2000/09/xmldsig#'"/>

  <!-- ===================================================================== numbers and dates -->

  <!-- Italian form (1.234,50), keeping every significant decimal the invoice gives; text that is
       not a plain decimal number is shown as written. -->
  <xsl:template name="numero">
    <xsl:param name="v"/>
    <xsl:param name="min" select="2"/>
    <xsl:variable name="t" select="normalize-space($v)"/>
    <xsl:variable name="a">
      <xsl:choose>
        <xsl:when test="starts-with($t, '-')"><xsl:value-of select="substring($t, 2)"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="$t"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="int" select="substring-before(concat($a, '.'), '.')"/>
    <xsl:choose>
      <xsl:when test="$t = '' or string(number($t)) = 'NaN' or translate($a, '0123456789.', '') != ''
                      or string-length($int) &gt; 15">
        <xsl:value-of select="$v"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:variable name="frac">
          <xsl:call-template name="taglia-zeri">
            <xsl:with-param name="s" select="substring-after($a, '.')"/>
            <xsl:with-param name="min" select="$min"/>
          </xsl:call-template>
        </xsl:variable>
        <xsl:if test="starts-with($t, '-')">-</xsl:if>
        <xsl:choose>
          <xsl:when test="$int = ''">0</xsl:when>
          <xsl:otherwise><xsl:value-of select="format-number($int, '#.##0', 'it')"/></xsl:otherwise>
        </xsl:choose>
        <xsl:if test="$frac != ''">,<xsl:value-of select="$frac"/></xsl:if>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Drops trailing zeros of a fraction, keeping at least $min digits. -->
  <xsl:template name="taglia-zeri">
    <xsl:param name="s"/>
    <xsl:param name="min"/>
    <xsl:choose>
      <xsl:when test="string-length($s) &lt; $min">
        <xsl:call-template name="taglia-zeri">
          <xsl:with-param name="s" select="concat($s, '0')"/>
          <xsl:with-param name="min" select="$min"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="string-length($s) &gt; $min and substring($s, string-length($s)) = '0'">
        <xsl:call-template name="taglia-zeri">
          <xsl:with-param name="s" select="substring($s, 1, string-length($s) - 1)"/>
          <xsl:with-param name="min" select="$min"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$s"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A computed sum, two decimals; empty when it is not a number. -->
  <xsl:template name="somma">
    <xsl:param name="n"/>
    <xsl:if test="string($n) != 'NaN'">
      <xsl:value-of select="format-number($n, '#.##0,00', 'it')"/>
    </xsl:if>
  </xsl:template>

  <!-- 2019-01-31 becomes 31/01/2019; a time or zone after the date is kept; anything else as written. -->
  <xsl:template name="data">
    <xsl:param name="v"/>
    <xsl:variable name="t" select="normalize-space($v)"/>
    <xsl:choose>
      <xsl:when test="substring($t, 5, 1) = '-' and substring($t, 8, 1) = '-'
                      and translate(substring($t, 1, 10), '0123456789', '') = '--'">
        <xsl:value-of select="concat(substring($t, 9, 2), '/', substring($t, 6, 2), '/', substring($t, 1, 4))"/>
        <xsl:variable name="resto" select="substring($t, 11)"/>
        <xsl:if test="$resto != ''">
          <xsl:text> </xsl:text>
          <xsl:choose>
            <xsl:when test="starts-with($resto, 'T')"><xsl:value-of select="substring($resto, 2)"/></xsl:when>
            <xsl:otherwise><xsl:value-of select="$resto"/></xsl:otherwise>
          </xsl:choose>
        </xsl:if>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$v"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- ===================================================================== code tables -->

  <!-- "CODE - meaning" for the coded elements. -->
  <xsl:template name="codice">
    <xsl:param name="nome" select="local-name()"/>
    <xsl:param name="v" select="normalize-space(.)"/>
    <xsl:variable name="d">
      <xsl:call-template name="descrizione-codice">
        <xsl:with-param name="nome" select="$nome"/>
        <xsl:with-param name="v" select="$v"/>
      </xsl:call-template>
    </xsl:variable>
    <span class="cod"><xsl:value-of select="$v"/></span>
    <xsl:choose>
      <xsl:when test="$d != ''"> - <xsl:value-of select="$d"/></xsl:when>
      <xsl:otherwise><span class="sub"> (codice non previsto)</span></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="descrizione-codice">
    <xsl:param name="nome"/>
    <xsl:param name="v"/>
    <xsl:choose>
      <xsl:when test="$nome = 'TipoDocumento'">
        <xsl:choose>
          <xsl:when test="$v = 'TD01'">Fattura</xsl:when>
          <xsl:when test="$v = 'TD02'">Acconto/anticipo su fattura</xsl:when>
          <xsl:when test="$v = 'TD03'">Acconto/anticipo su parcella</xsl:when>
          <xsl:when test="$v = 'TD04'">Nota di credito</xsl:when>
          <xsl:when test="$v = 'TD05'">Nota di debito</xsl:when>
          <xsl:when test="$v = 'TD06'">Parcella</xsl:when>
          <xsl:when test="$v = 'TD07'">Fattura semplificata</xsl:when>
          <xsl:when test="$v = 'TD08'">Nota di credito semplificata</xsl:when>
          <xsl:when test="$v = 'TD09'">Nota di debito semplificata</xsl:when>
          <xsl:when test="$v = 'TD16'">Integrazione fattura reverse charge interno</xsl:when>
          <xsl:when test="$v = 'TD17'">Integrazione/autofattura per acquisto servizi dall'estero</xsl:when>
          <xsl:when test="$v = 'TD18'">Integrazione per acquisto di beni intracomunitari</xsl:when>
          <xsl:when test="$v = 'TD19'">Integrazione/autofattura per acquisto di beni ex art. 17 c.2 DPR 633/72</xsl:when>
          <xsl:when test="$v = 'TD20'">Autofattura per regolarizzazione e integrazione delle fatture (art. 6 c.9-bis D.Lgs. 471/97 o art. 46 c.5 D.L. 331/93)</xsl:when>
          <xsl:when test="$v = 'TD21'">Autofattura per splafonamento</xsl:when>
          <xsl:when test="$v = 'TD22'">Estrazione beni da Deposito IVA</xsl:when>
          <xsl:when test="$v = 'TD23'">Estrazione beni da Deposito IVA con versamento dell'IVA</xsl:when>
          <xsl:when test="$v = 'TD24'">Fattura differita (art. 21, comma 4, terzo periodo, lett. a) DPR 633/72)</xsl:when>
          <xsl:when test="$v = 'TD25'">Fattura differita (art. 21, comma 4, terzo periodo, lett. b) DPR 633/72)</xsl:when>
          <xsl:when test="$v = 'TD26'">Cessione di beni ammortizzabili e per passaggi interni (art. 36 DPR 633/72)</xsl:when>
          <xsl:when test="$v = 'TD27'">Fattura per autoconsumo o per cessioni gratuite senza rivalsa</xsl:when>
          <xsl:when test="$v = 'TD28'">Acquisti da San Marino con IVA (fattura cartacea)</xsl:when>
          <xsl:when test="$v = 'TD29'">Comunicazione per omessa o irregolare fatturazione (art. 6, comma 8, D.Lgs. 471/97)</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'RegimeFiscale'">
        <xsl:choose>
          <xsl:when test="$v = 'RF01'">Regime ordinario</xsl:when>
          <xsl:when test="$v = 'RF02'">Regime dei contribuenti minimi (art. 1, c.96-117, L. 244/2007)</xsl:when>
          <xsl:when test="$v = 'RF03'">Nuove iniziative produttive (art. 13, L. 388/2000)</xsl:when>
          <xsl:when test="$v = 'RF04'">Agricoltura e attività connesse e pesca (artt. 34 e 34-bis, DPR 633/1972)</xsl:when>
          <xsl:when test="$v = 'RF05'">Vendita sali e tabacchi (art. 74, c.1, DPR 633/1972)</xsl:when>
          <xsl:when test="$v = 'RF06'">Commercio dei fiammiferi (art. 74, c.1, DPR 633/1972)</xsl:when>
          <xsl:when test="$v = 'RF07'">Editoria (art. 74, c.1, DPR 633/1972)</xsl:when>
          <xsl:when test="$v = 'RF08'">Gestione di servizi di telefonia pubblica (art. 74, c.1, DPR 633/1972)</xsl:when>
          <xsl:when test="$v = 'RF09'">Rivendita di documenti di trasporto pubblico e di sosta (art. 74, c.1, DPR 633/1972)</xsl:when>
          <xsl:when test="$v = 'RF10'">Intrattenimenti, giochi e altre attività di cui alla tariffa allegata al DPR 640/72 (art. 74, c.6, DPR 633/1972)</xsl:when>
          <xsl:when test="$v = 'RF11'">Agenzie di viaggi e turismo (art. 74-ter, DPR 633/1972)</xsl:when>
          <xsl:when test="$v = 'RF12'">Agriturismo (art. 5, c.2, L. 413/1991)</xsl:when>
          <xsl:when test="$v = 'RF13'">Vendite a domicilio (art. 25-bis, c.6, DPR 600/1973)</xsl:when>
          <xsl:when test="$v = 'RF14'">Rivendita di beni usati, di oggetti d'arte, d'antiquariato o da collezione (art. 36, D.L. 41/1995)</xsl:when>
          <xsl:when test="$v = 'RF15'">Agenzie di vendite all'asta di oggetti d'arte, antiquariato o da collezione (art. 40-bis, D.L. 41/1995)</xsl:when>
          <xsl:when test="$v = 'RF16'">IVA per cassa P.A. (art. 6, c.5, DPR 633/1972)</xsl:when>
          <xsl:when test="$v = 'RF17'">IVA per cassa (art. 32-bis, D.L. 83/2012)</xsl:when>
          <xsl:when test="$v = 'RF18'">Altro</xsl:when>
          <xsl:when test="$v = 'RF19'">Regime forfettario</xsl:when>
          <xsl:when test="$v = 'RF20'">Regime transfrontaliero di franchigia IVA (Direttiva UE 2020/285)</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'Natura'">
        <xsl:choose>
          <xsl:when test="$v = 'N1'">Escluse ex art. 15 DPR 633/72</xsl:when>
          <xsl:when test="$v = 'N2'">Non soggette</xsl:when>
          <xsl:when test="$v = 'N2.1'">Non soggette ad IVA ai sensi degli artt. da 7 a 7-septies DPR 633/72</xsl:when>
          <xsl:when test="$v = 'N2.2'">Non soggette - altri casi</xsl:when>
          <xsl:when test="$v = 'N3'">Non imponibili</xsl:when>
          <xsl:when test="$v = 'N3.1'">Non imponibili - esportazioni</xsl:when>
          <xsl:when test="$v = 'N3.2'">Non imponibili - cessioni intracomunitarie</xsl:when>
          <xsl:when test="$v = 'N3.3'">Non imponibili - cessioni verso San Marino</xsl:when>
          <xsl:when test="$v = 'N3.4'">Non imponibili - operazioni assimilate alle cessioni all'esportazione</xsl:when>
          <xsl:when test="$v = 'N3.5'">Non imponibili - a seguito di dichiarazioni d'intento</xsl:when>
          <xsl:when test="$v = 'N3.6'">Non imponibili - altre operazioni che non concorrono alla formazione del plafond</xsl:when>
          <xsl:when test="$v = 'N4'">Esenti</xsl:when>
          <xsl:when test="$v = 'N5'">Regime del margine / IVA non esposta in fattura</xsl:when>
          <xsl:when test="$v = 'N6'">Inversione contabile (reverse charge)</xsl:when>
          <xsl:when test="$v = 'N6.1'">Inversione contabile - cessione di rottami e altri materiali di recupero</xsl:when>
          <xsl:when test="$v = 'N6.2'">Inversione contabile - cessione di oro e argento puro</xsl:when>
          <xsl:when test="$v = 'N6.3'">Inversione contabile - subappalto nel settore edile</xsl:when>
          <xsl:when test="$v = 'N6.4'">Inversione contabile - cessione di fabbricati</xsl:when>
          <xsl:when test="$v = 'N6.5'">Inversione contabile - cessione di telefoni cellulari</xsl:when>
          <xsl:when test="$v = 'N6.6'">Inversione contabile - cessione di prodotti elettronici</xsl:when>
          <xsl:when test="$v = 'N6.7'">Inversione contabile - prestazioni comparto edile e settori connessi</xsl:when>
          <xsl:when test="$v = 'N6.8'">Inversione contabile - operazioni settore energetico</xsl:when>
          <xsl:when test="$v = 'N6.9'">Inversione contabile - altri casi</xsl:when>
          <xsl:when test="$v = 'N7'">IVA assolta in altro Stato UE (vendite a distanza e servizi di telecomunicazione, teleradiodiffusione ed elettronici)</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'ModalitaPagamento'">
        <xsl:choose>
          <xsl:when test="$v = 'MP01'">Contanti</xsl:when>
          <xsl:when test="$v = 'MP02'">Assegno</xsl:when>
          <xsl:when test="$v = 'MP03'">Assegno circolare</xsl:when>
          <xsl:when test="$v = 'MP04'">Contanti presso Tesoreria</xsl:when>
          <xsl:when test="$v = 'MP05'">Bonifico</xsl:when>
          <xsl:when test="$v = 'MP06'">Vaglia cambiario</xsl:when>
          <xsl:when test="$v = 'MP07'">Bollettino bancario</xsl:when>
          <xsl:when test="$v = 'MP08'">Carta di pagamento</xsl:when>
          <xsl:when test="$v = 'MP09'">RID</xsl:when>
          <xsl:when test="$v = 'MP10'">RID utenze</xsl:when>
          <xsl:when test="$v = 'MP11'">RID veloce</xsl:when>
          <xsl:when test="$v = 'MP12'">RiBa</xsl:when>
          <xsl:when test="$v = 'MP13'">MAV</xsl:when>
          <xsl:when test="$v = 'MP14'">Quietanza erario</xsl:when>
          <xsl:when test="$v = 'MP15'">Giroconto su conti di contabilità speciale</xsl:when>
          <xsl:when test="$v = 'MP16'">Domiciliazione bancaria</xsl:when>
          <xsl:when test="$v = 'MP17'">Domiciliazione postale</xsl:when>
          <xsl:when test="$v = 'MP18'">Bollettino di c/c postale</xsl:when>
          <xsl:when test="$v = 'MP19'">SEPA Direct Debit</xsl:when>
          <xsl:when test="$v = 'MP20'">SEPA Direct Debit CORE</xsl:when>
          <xsl:when test="$v = 'MP21'">SEPA Direct Debit B2B</xsl:when>
          <xsl:when test="$v = 'MP22'">Trattenuta su somme già riscosse</xsl:when>
          <xsl:when test="$v = 'MP23'">PagoPA</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'CondizioniPagamento'">
        <xsl:choose>
          <xsl:when test="$v = 'TP01'">Pagamento a rate</xsl:when>
          <xsl:when test="$v = 'TP02'">Pagamento completo</xsl:when>
          <xsl:when test="$v = 'TP03'">Anticipo</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'TipoCassa'">
        <xsl:choose>
          <xsl:when test="$v = 'TC01'">Cassa nazionale previdenza e assistenza avvocati e procuratori legali</xsl:when>
          <xsl:when test="$v = 'TC02'">Cassa previdenza dottori commercialisti</xsl:when>
          <xsl:when test="$v = 'TC03'">Cassa previdenza e assistenza geometri</xsl:when>
          <xsl:when test="$v = 'TC04'">Cassa nazionale previdenza e assistenza ingegneri e architetti liberi professionisti</xsl:when>
          <xsl:when test="$v = 'TC05'">Cassa nazionale del notariato</xsl:when>
          <xsl:when test="$v = 'TC06'">Cassa nazionale previdenza e assistenza ragionieri e periti commerciali</xsl:when>
          <xsl:when test="$v = 'TC07'">Ente nazionale assistenza agenti e rappresentanti di commercio (ENASARCO)</xsl:when>
          <xsl:when test="$v = 'TC08'">Ente nazionale previdenza e assistenza consulenti del lavoro (ENPACL)</xsl:when>
          <xsl:when test="$v = 'TC09'">Ente nazionale previdenza e assistenza medici (ENPAM)</xsl:when>
          <xsl:when test="$v = 'TC10'">Ente nazionale previdenza e assistenza farmacisti (ENPAF)</xsl:when>
          <xsl:when test="$v = 'TC11'">Ente nazionale previdenza e assistenza veterinari (ENPAV)</xsl:when>
          <xsl:when test="$v = 'TC12'">Ente nazionale previdenza e assistenza impiegati dell'agricoltura (ENPAIA)</xsl:when>
          <xsl:when test="$v = 'TC13'">Fondo previdenza impiegati imprese di spedizione e agenzie marittime</xsl:when>
          <xsl:when test="$v = 'TC14'">Istituto nazionale previdenza giornalisti italiani (INPGI)</xsl:when>
          <xsl:when test="$v = 'TC15'">Opera nazionale assistenza orfani sanitari italiani (ONAOSI)</xsl:when>
          <xsl:when test="$v = 'TC16'">Cassa autonoma assistenza integrativa giornalisti italiani (CASAGIT)</xsl:when>
          <xsl:when test="$v = 'TC17'">Ente previdenza periti industriali e periti industriali laureati (EPPI)</xsl:when>
          <xsl:when test="$v = 'TC18'">Ente previdenza e assistenza pluricategoriale (EPAP)</xsl:when>
          <xsl:when test="$v = 'TC19'">Ente nazionale previdenza e assistenza biologi (ENPAB)</xsl:when>
          <xsl:when test="$v = 'TC20'">Ente nazionale previdenza e assistenza professione infermieristica (ENPAPI)</xsl:when>
          <xsl:when test="$v = 'TC21'">Ente nazionale previdenza e assistenza psicologi (ENPAP)</xsl:when>
          <xsl:when test="$v = 'TC22'">INPS</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'TipoRitenuta'">
        <xsl:choose>
          <xsl:when test="$v = 'RT01'">Ritenuta di acconto persone fisiche</xsl:when>
          <xsl:when test="$v = 'RT02'">Ritenuta di acconto persone giuridiche</xsl:when>
          <xsl:when test="$v = 'RT03'">Contributo INPS</xsl:when>
          <xsl:when test="$v = 'RT04'">Contributo ENASARCO</xsl:when>
          <xsl:when test="$v = 'RT05'">Contributo ENPAM</xsl:when>
          <xsl:when test="$v = 'RT06'">Altro contributo previdenziale</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'CausalePagamento'">
        <xsl:choose>
          <xsl:when test="$v = 'A'">Prestazioni di lavoro autonomo rientranti nell'esercizio di arte o professione abituale</xsl:when>
          <xsl:when test="$v = 'B'">Utilizzazione economica, da parte dell'autore o dell'inventore, di opere dell'ingegno, brevetti industriali, processi, formule o informazioni</xsl:when>
          <xsl:when test="$v = 'C'">Utili da contratti di associazione in partecipazione e di cointeressenza, con apporto costituito esclusivamente da lavoro</xsl:when>
          <xsl:when test="$v = 'D'">Utili spettanti ai soci promotori e ai soci fondatori delle società di capitali</xsl:when>
          <xsl:when test="$v = 'E'">Levata di protesti cambiari da parte dei segretari comunali</xsl:when>
          <xsl:when test="$v = 'G'">Indennità corrisposte per la cessazione di attività sportiva professionale</xsl:when>
          <xsl:when test="$v = 'H'">Indennità corrisposte per la cessazione dei rapporti di agenzia</xsl:when>
          <xsl:when test="$v = 'I'">Indennità corrisposte per la cessazione da funzioni notarili</xsl:when>
          <xsl:when test="$v = 'L'">Redditi da utilizzazione economica di opere dell'ingegno, brevetti e processi, percepiti dagli aventi causa a titolo gratuito</xsl:when>
          <xsl:when test="$v = 'L1'">Redditi da utilizzazione economica di opere dell'ingegno, brevetti e processi, percepiti da chi ne ha acquistato i diritti a titolo oneroso</xsl:when>
          <xsl:when test="$v = 'M'">Prestazioni di lavoro autonomo non esercitate abitualmente</xsl:when>
          <xsl:when test="$v = 'M1'">Redditi derivanti dall'assunzione di obblighi di fare, di non fare o permettere</xsl:when>
          <xsl:when test="$v = 'M2'">Prestazioni di lavoro autonomo non esercitate abitualmente, con obbligo di iscrizione alla Gestione separata ENPAPI</xsl:when>
          <xsl:when test="$v = 'N'">Indennità di trasferta, rimborsi forfetari di spese, premi e compensi per attività sportive dilettantistiche</xsl:when>
          <xsl:when test="$v = 'O'">Prestazioni di lavoro autonomo non esercitate abitualmente, senza obbligo di iscrizione alla gestione separata</xsl:when>
          <xsl:when test="$v = 'O1'">Redditi dall'assunzione di obblighi di fare, di non fare o permettere, senza obbligo di iscrizione alla gestione separata</xsl:when>
          <xsl:when test="$v = 'P'">Compensi a non residenti senza stabile organizzazione per l'uso di attrezzature industriali, commerciali o scientifiche situate in Italia</xsl:when>
          <xsl:when test="$v = 'Q'">Provvigioni ad agente o rappresentante di commercio monomandatario</xsl:when>
          <xsl:when test="$v = 'R'">Provvigioni ad agente o rappresentante di commercio plurimandatario</xsl:when>
          <xsl:when test="$v = 'S'">Provvigioni a commissionario</xsl:when>
          <xsl:when test="$v = 'T'">Provvigioni a mediatore</xsl:when>
          <xsl:when test="$v = 'U'">Provvigioni a procacciatore di affari</xsl:when>
          <xsl:when test="$v = 'V'">Provvigioni a incaricato per le vendite a domicilio o per la vendita porta a porta e ambulante di giornali</xsl:when>
          <xsl:when test="$v = 'V1'">Redditi derivanti da attività commerciali non esercitate abitualmente</xsl:when>
          <xsl:when test="$v = 'V2'">Redditi da prestazioni non esercitate abitualmente rese dagli incaricati alla vendita diretta a domicilio</xsl:when>
          <xsl:when test="$v = 'W'">Corrispettivi per prestazioni relative a contratti d'appalto (art. 25-ter DPR 600/1973)</xsl:when>
          <xsl:when test="$v = 'X'">Canoni corrisposti da società o enti residenti o da stabili organizzazioni di società estere (art. 26-quater DPR 600/1973)</xsl:when>
          <xsl:when test="$v = 'Y'">Canoni corrisposti dal 1° gennaio 2005 al 26 luglio 2005 da società o enti residenti</xsl:when>
          <xsl:when test="$v = 'Z'">Titolo diverso dai precedenti</xsl:when>
          <xsl:when test="$v = 'ZO'">Titolo diverso dai precedenti (altri casi)</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'EsigibilitaIVA'">
        <xsl:choose>
          <xsl:when test="$v = 'I'">Esigibilità immediata</xsl:when>
          <xsl:when test="$v = 'D'">Esigibilità differita</xsl:when>
          <xsl:when test="$v = 'S'">Scissione dei pagamenti</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'SocioUnico'">
        <xsl:choose>
          <xsl:when test="$v = 'SU'">Socio unico</xsl:when>
          <xsl:when test="$v = 'SM'">Più soci</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'StatoLiquidazione'">
        <xsl:choose>
          <xsl:when test="$v = 'LS'">In liquidazione</xsl:when>
          <xsl:when test="$v = 'LN'">Non in liquidazione</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'Tipo'">
        <xsl:choose>
          <xsl:when test="$v = 'SC'">Sconto</xsl:when>
          <xsl:when test="$v = 'MG'">Maggiorazione</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'TipoCessionePrestazione'">
        <xsl:choose>
          <xsl:when test="$v = 'SC'">Sconto</xsl:when>
          <xsl:when test="$v = 'PR'">Premio</xsl:when>
          <xsl:when test="$v = 'AB'">Abbuono</xsl:when>
          <xsl:when test="$v = 'AC'">Spesa accessoria</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'SoggettoEmittente'">
        <xsl:choose>
          <xsl:when test="$v = 'CC'">Cessionario/committente</xsl:when>
          <xsl:when test="$v = 'TZ'">Terzo</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'FormatoTrasmissione'">
        <xsl:choose>
          <xsl:when test="$v = 'FPA12'">Fattura verso pubblica amministrazione</xsl:when>
          <xsl:when test="$v = 'FPR12'">Fattura verso privati</xsl:when>
          <xsl:when test="$v = 'FSM10'">Fattura semplificata</xsl:when>
          <xsl:when test="$v = 'SDI11'">Fattura verso pubblica amministrazione (formato 1.1)</xsl:when>
          <xsl:when test="$v = 'SDI10'">Fattura verso pubblica amministrazione (formato 1.0)</xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$nome = 'Ritenuta'">
        <xsl:if test="$v = 'SI'">Soggetta a ritenuta</xsl:if>
      </xsl:when>
      <xsl:when test="$nome = 'BolloVirtuale'">
        <xsl:if test="$v = 'SI'">Imposta di bollo assolta in modo virtuale</xsl:if>
      </xsl:when>
      <xsl:when test="$nome = 'Art73'">
        <xsl:if test="$v = 'SI'">Documento emesso secondo modalità e termini stabiliti con decreto ministeriale (art. 73 DPR 633/72)</xsl:if>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- ===================================================================== labels -->

  <xsl:template name="etichetta">
    <xsl:param name="n" select="local-name()"/>
    <xsl:choose>
      <xsl:when test="$n = 'IdTrasmittente'">Trasmittente</xsl:when>
      <xsl:when test="$n = 'ProgressivoInvio'">Progressivo invio</xsl:when>
      <xsl:when test="$n = 'FormatoTrasmissione'">Formato di trasmissione</xsl:when>
      <xsl:when test="$n = 'CodiceDestinatario' and ../*[local-name() = 'FormatoTrasmissione'] = 'FPA12'">Codice univoco ufficio</xsl:when>
      <xsl:when test="$n = 'CodiceDestinatario'">Codice destinatario</xsl:when>
      <xsl:when test="$n = 'ContattiTrasmittente'">Contatti del trasmittente</xsl:when>
      <xsl:when test="$n = 'PECDestinatario'">PEC destinatario</xsl:when>
      <xsl:when test="$n = 'Email'">E-mail</xsl:when>
      <xsl:when test="$n = 'IdFiscaleIVA'">Partita IVA</xsl:when>
      <xsl:when test="$n = 'CodiceFiscale'">Codice fiscale</xsl:when>
      <xsl:when test="$n = 'CodEORI'">Codice EORI</xsl:when>
      <xsl:when test="$n = 'AlboProfessionale'">Albo professionale</xsl:when>
      <xsl:when test="$n = 'ProvinciaAlbo'">Provincia albo</xsl:when>
      <xsl:when test="$n = 'NumeroIscrizioneAlbo'">Numero iscrizione albo</xsl:when>
      <xsl:when test="$n = 'DataIscrizioneAlbo'">Data iscrizione albo</xsl:when>
      <xsl:when test="$n = 'RegimeFiscale'">Regime fiscale</xsl:when>
      <xsl:when test="$n = 'StabileOrganizzazione'">Stabile organizzazione</xsl:when>
      <xsl:when test="$n = 'IscrizioneREA'">Iscrizione REA</xsl:when>
      <xsl:when test="$n = 'Ufficio'">Ufficio REA</xsl:when>
      <xsl:when test="$n = 'NumeroREA'">Numero REA</xsl:when>
      <xsl:when test="$n = 'CapitaleSociale'">Capitale sociale</xsl:when>
      <xsl:when test="$n = 'SocioUnico'">Soci</xsl:when>
      <xsl:when test="$n = 'StatoLiquidazione'">Stato di liquidazione</xsl:when>
      <xsl:when test="$n = 'RiferimentoAmministrazione'">Riferimento amministrazione</xsl:when>
      <xsl:when test="$n = 'RappresentanteFiscale'">Rappresentante fiscale</xsl:when>
      <xsl:when test="$n = 'SoggettoEmittente'">Soggetto emittente</xsl:when>
      <xsl:when test="$n = 'TerzoIntermediarioOSoggettoEmittente'">Terzo intermediario o soggetto emittente</xsl:when>
      <xsl:when test="$n = 'NumeroLicenzaGuida'">Numero licenza di guida</xsl:when>
      <xsl:when test="$n = 'NumeroCivico'">Numero civico</xsl:when>
      <xsl:when test="$n = 'TipoDocumento'">Tipo documento</xsl:when>
      <xsl:when test="$n = 'Divisa'">Valuta</xsl:when>
      <xsl:when test="$n = 'ImportoTotaleDocumento'">Importo totale documento</xsl:when>
      <xsl:when test="$n = 'Art73'">Art. 73 DPR 633/72</xsl:when>
      <xsl:when test="$n = 'DatiBollo'">Bollo</xsl:when>
      <xsl:when test="$n = 'BolloVirtuale'">Bollo virtuale</xsl:when>
      <xsl:when test="$n = 'ImportoBollo'">Importo bollo</xsl:when>
      <xsl:when test="$n = 'DatiRitenuta'">Ritenuta</xsl:when>
      <xsl:when test="$n = 'TipoRitenuta'">Tipo ritenuta</xsl:when>
      <xsl:when test="$n = 'ImportoRitenuta'">Importo ritenuta</xsl:when>
      <xsl:when test="$n = 'AliquotaRitenuta'">Aliquota ritenuta</xsl:when>
      <xsl:when test="$n = 'CausalePagamento'">Causale pagamento</xsl:when>
      <xsl:when test="$n = 'DatiCassaPrevidenziale'">Cassa previdenziale</xsl:when>
      <xsl:when test="$n = 'TipoCassa'">Cassa previdenziale</xsl:when>
      <xsl:when test="$n = 'AlCassa'">Aliquota contributo</xsl:when>
      <xsl:when test="$n = 'ImportoContributoCassa'">Importo contributo</xsl:when>
      <xsl:when test="$n = 'ImponibileCassa'">Imponibile previdenziale</xsl:when>
      <xsl:when test="$n = 'AliquotaIVA'">Aliquota IVA</xsl:when>
      <xsl:when test="$n = 'Aliquota'">Aliquota IVA</xsl:when>
      <xsl:when test="$n = 'Ritenuta'">Ritenuta</xsl:when>
      <xsl:when test="$n = 'Natura'">Natura IVA</xsl:when>
      <xsl:when test="$n = 'ScontoMaggiorazione'">Sconto/maggiorazione</xsl:when>
      <xsl:when test="$n = 'IdDocumento'">Documento</xsl:when>
      <xsl:when test="$n = 'NumItem'">Numero item</xsl:when>
      <xsl:when test="$n = 'CodiceCommessaConvenzione'">Codice commessa/convenzione</xsl:when>
      <xsl:when test="$n = 'CodiceCUP'">Codice CUP</xsl:when>
      <xsl:when test="$n = 'CodiceCIG'">Codice CIG</xsl:when>
      <xsl:when test="$n = 'RiferimentoNumeroLinea'">Riferimento linea</xsl:when>
      <xsl:when test="$n = 'DatiOrdineAcquisto'">Ordine di acquisto</xsl:when>
      <xsl:when test="$n = 'DatiContratto'">Contratto</xsl:when>
      <xsl:when test="$n = 'DatiConvenzione'">Convenzione</xsl:when>
      <xsl:when test="$n = 'DatiRicezione'">Ricezione</xsl:when>
      <xsl:when test="$n = 'DatiFattureCollegate'">Fattura collegata</xsl:when>
      <xsl:when test="$n = 'DatiSAL'">Stato avanzamento lavori</xsl:when>
      <xsl:when test="$n = 'RiferimentoFase'">Fase SAL</xsl:when>
      <xsl:when test="$n = 'DatiDDT'">Documento di trasporto</xsl:when>
      <xsl:when test="$n = 'NumeroDDT'">Numero DDT</xsl:when>
      <xsl:when test="$n = 'DataDDT'">Data DDT</xsl:when>
      <xsl:when test="$n = 'DatiTrasporto'">Trasporto</xsl:when>
      <xsl:when test="$n = 'DatiAnagraficiVettore'">Vettore</xsl:when>
      <xsl:when test="$n = 'MezzoTrasporto'">Mezzo di trasporto</xsl:when>
      <xsl:when test="$n = 'CausaleTrasporto'">Causale trasporto</xsl:when>
      <xsl:when test="$n = 'NumeroColli'">Numero colli</xsl:when>
      <xsl:when test="$n = 'UnitaMisuraPeso'">Unità di misura peso</xsl:when>
      <xsl:when test="$n = 'PesoLordo'">Peso lordo</xsl:when>
      <xsl:when test="$n = 'PesoNetto'">Peso netto</xsl:when>
      <xsl:when test="$n = 'DataOraRitiro'">Data e ora ritiro</xsl:when>
      <xsl:when test="$n = 'DataInizioTrasporto'">Data inizio trasporto</xsl:when>
      <xsl:when test="$n = 'TipoResa'">Tipo di resa</xsl:when>
      <xsl:when test="$n = 'IndirizzoResa'">Indirizzo di resa</xsl:when>
      <xsl:when test="$n = 'DataOraConsegna'">Data e ora consegna</xsl:when>
      <xsl:when test="$n = 'FatturaPrincipale'">Fattura principale</xsl:when>
      <xsl:when test="$n = 'NumeroFatturaPrincipale'">Numero fattura principale</xsl:when>
      <xsl:when test="$n = 'DataFatturaPrincipale'">Data fattura principale</xsl:when>
      <xsl:when test="$n = 'DatiVeicoli'">Veicoli</xsl:when>
      <xsl:when test="$n = 'TotalePercorso'">Totale percorso</xsl:when>
      <xsl:when test="$n = 'DatiPagamento'">Pagamento</xsl:when>
      <xsl:when test="$n = 'CondizioniPagamento'">Condizioni di pagamento</xsl:when>
      <xsl:when test="$n = 'DettaglioPagamento'">Dettaglio pagamento</xsl:when>
      <xsl:when test="$n = 'ModalitaPagamento'">Modalità di pagamento</xsl:when>
      <xsl:when test="$n = 'DataRiferimentoTerminiPagamento'">Data riferimento termini</xsl:when>
      <xsl:when test="$n = 'GiorniTerminiPagamento'">Giorni termini di pagamento</xsl:when>
      <xsl:when test="$n = 'DataScadenzaPagamento'">Scadenza</xsl:when>
      <xsl:when test="$n = 'ImportoPagamento'">Importo</xsl:when>
      <xsl:when test="$n = 'CodUfficioPostale'">Codice ufficio postale</xsl:when>
      <xsl:when test="$n = 'CognomeQuietanzante'">Cognome quietanzante</xsl:when>
      <xsl:when test="$n = 'NomeQuietanzante'">Nome quietanzante</xsl:when>
      <xsl:when test="$n = 'CFQuietanzante'">Codice fiscale quietanzante</xsl:when>
      <xsl:when test="$n = 'TitoloQuietanzante'">Titolo quietanzante</xsl:when>
      <xsl:when test="$n = 'IstitutoFinanziario'">Istituto finanziario</xsl:when>
      <xsl:when test="$n = 'ScontoPagamentoAnticipato'">Sconto pagamento anticipato</xsl:when>
      <xsl:when test="$n = 'DataLimitePagamentoAnticipato'">Data limite pagamento anticipato</xsl:when>
      <xsl:when test="$n = 'PenalitaPagamentiRitardati'">Penale per pagamento ritardato</xsl:when>
      <xsl:when test="$n = 'DataDecorrenzaPenale'">Data decorrenza penale</xsl:when>
      <xsl:when test="$n = 'CodicePagamento'">Codice pagamento</xsl:when>
      <xsl:when test="$n = 'Allegati'">Allegato</xsl:when>
      <xsl:when test="$n = 'NomeAttachment'">Nome file</xsl:when>
      <xsl:when test="$n = 'AlgoritmoCompressione'">Compressione</xsl:when>
      <xsl:when test="$n = 'FormatoAttachment'">Formato</xsl:when>
      <xsl:when test="$n = 'DescrizioneAttachment'">Descrizione</xsl:when>
      <xsl:when test="$n = 'Attachment'">Contenuto allegato</xsl:when>
      <xsl:when test="$n = 'DettaglioLinee'">Linea</xsl:when>
      <xsl:when test="$n = 'NumeroLinea'">Numero linea</xsl:when>
      <xsl:when test="$n = 'TipoCessionePrestazione'">Tipo cessione/prestazione</xsl:when>
      <xsl:when test="$n = 'CodiceArticolo'">Codice articolo</xsl:when>
      <xsl:when test="$n = 'CodiceTipo'">Tipo codice</xsl:when>
      <xsl:when test="$n = 'CodiceValore'">Codice</xsl:when>
      <xsl:when test="$n = 'Quantita'">Quantità</xsl:when>
      <xsl:when test="$n = 'UnitaMisura'">Unità di misura</xsl:when>
      <xsl:when test="$n = 'DataInizioPeriodo'">Inizio periodo</xsl:when>
      <xsl:when test="$n = 'DataFinePeriodo'">Fine periodo</xsl:when>
      <xsl:when test="$n = 'PrezzoUnitario'">Prezzo unitario</xsl:when>
      <xsl:when test="$n = 'PrezzoTotale'">Prezzo totale</xsl:when>
      <xsl:when test="$n = 'AltriDatiGestionali'">Altri dati gestionali</xsl:when>
      <xsl:when test="$n = 'TipoDato'">Tipo dato</xsl:when>
      <xsl:when test="$n = 'RiferimentoTesto'">Riferimento testo</xsl:when>
      <xsl:when test="$n = 'RiferimentoNumero'">Riferimento numero</xsl:when>
      <xsl:when test="$n = 'RiferimentoData'">Riferimento data</xsl:when>
      <xsl:when test="$n = 'DatiRiepilogo'">Riepilogo IVA</xsl:when>
      <xsl:when test="$n = 'SpeseAccessorie'">Spese accessorie</xsl:when>
      <xsl:when test="$n = 'ImponibileImporto'">Imponibile</xsl:when>
      <xsl:when test="$n = 'EsigibilitaIVA'">Esigibilità IVA</xsl:when>
      <xsl:when test="$n = 'RiferimentoNormativo'">Riferimento normativo</xsl:when>
      <xsl:when test="$n = 'IdentificativiFiscali'">Identificativi fiscali</xsl:when>
      <xsl:when test="$n = 'AltriDatiIdentificativi'">Altri dati identificativi</xsl:when>
      <xsl:when test="$n = 'DatiFatturaRettificata'">Fattura rettificata</xsl:when>
      <xsl:when test="$n = 'NumeroFR'">Numero fattura rettificata</xsl:when>
      <xsl:when test="$n = 'DataFR'">Data fattura rettificata</xsl:when>
      <xsl:when test="$n = 'ElementiRettificati'">Elementi rettificati</xsl:when>
      <xsl:when test="$n = 'DatiIVA'">Dati IVA</xsl:when>
      <xsl:when test="$n = 'DatiTrasmissione'">Dati della trasmissione</xsl:when>
      <xsl:when test="$n = 'CedentePrestatore'">Cedente/prestatore</xsl:when>
      <xsl:when test="$n = 'CessionarioCommittente'">Cessionario/committente</xsl:when>
      <xsl:when test="$n = 'DatiAnagrafici'">Dati anagrafici</xsl:when>
      <xsl:when test="$n = 'DatiGenerali'">Dati generali</xsl:when>
      <xsl:when test="$n = 'DatiGeneraliDocumento'">Dati generali del documento</xsl:when>
      <xsl:when test="$n = 'DatiBeniServizi'">Beni e servizi</xsl:when>
      <xsl:when test="$n = 'FatturaElettronicaHeader'">Intestazione</xsl:when>
      <xsl:when test="$n = 'FatturaElettronicaBody'">Corpo del documento</xsl:when>
      <xsl:otherwise><xsl:value-of select="$n"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- ===================================================================== values -->

  <xsl:template match="*" mode="valore">
    <xsl:value-of select="."/>
  </xsl:template>

  <xsl:template match="*[contains('|ImportoTotaleDocumento|Arrotondamento|ImportoRitenuta|ImportoBollo|ImportoContributoCassa|ImponibileCassa|Importo|PrezzoUnitario|PrezzoTotale|ImponibileImporto|Imposta|SpeseAccessorie|ImportoPagamento|ScontoPagamentoAnticipato|PenalitaPagamentiRitardati|CapitaleSociale|RiferimentoNumero|Quantita|PesoLordo|PesoNetto|', concat('|', local-name(), '|'))]" mode="valore">
    <xsl:call-template name="numero">
      <xsl:with-param name="v" select="."/>
    </xsl:call-template>
    <xsl:if test="contains($nomi-valuta, concat('|', local-name(), '|'))">
      <xsl:variable name="divisa"
        select="ancestor::*[local-name() = 'FatturaElettronicaBody']/*[local-name() = 'DatiGenerali']/*[local-name() = 'DatiGeneraliDocumento']/*[local-name() = 'Divisa']"/>
      <xsl:if test="normalize-space($divisa[1]) != ''">
        <xsl:text> </xsl:text><xsl:value-of select="normalize-space($divisa[1])"/>
      </xsl:if>
    </xsl:if>
  </xsl:template>

  <xsl:template match="*[contains('|AliquotaIVA|AliquotaRitenuta|AlCassa|Percentuale|Aliquota|', concat('|', local-name(), '|'))]" mode="valore">
    <xsl:call-template name="aliquota"/>
  </xsl:template>

  <xsl:template match="*[contains('|TipoDocumento|RegimeFiscale|Natura|ModalitaPagamento|CondizioniPagamento|TipoCassa|TipoRitenuta|CausalePagamento|EsigibilitaIVA|SocioUnico|StatoLiquidazione|Tipo|TipoCessionePrestazione|SoggettoEmittente|FormatoTrasmissione|Ritenuta|Art73|BolloVirtuale|', concat('|', local-name(), '|'))]" mode="valore">
    <xsl:call-template name="codice"/>
  </xsl:template>

  <xsl:template match="*[starts-with(local-name(), 'Data') or local-name() = 'RiferimentoData']" mode="valore">
    <xsl:call-template name="data">
      <xsl:with-param name="v" select="."/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template name="aliquota">
    <xsl:param name="v" select="."/>
    <xsl:call-template name="numero">
      <xsl:with-param name="v" select="$v"/>
    </xsl:call-template>
    <xsl:if test="string(number($v)) != 'NaN'"> %</xsl:if>
  </xsl:template>

  <!-- ===================================================================== generic fields -->

  <!-- Each element as a labelled field; containers as labelled groups. Anything the invoice holds,
       known or not, in or out of order, shows up this way. -->
  <xsl:template match="*" mode="campi">
    <xsl:choose>
      <xsl:when test="*">
        <div class="gruppo">
          <div class="gt"><xsl:call-template name="etichetta"/></div>
          <xsl:apply-templates select="*" mode="campi"/>
        </div>
      </xsl:when>
      <xsl:when test="normalize-space(.) != ''">
        <xsl:call-template name="campo"/>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="campo">
    <xsl:param name="classe" select="'c'"/>
    <div class="{$classe}">
      <span class="l"><xsl:call-template name="etichetta"/></span>
      <span class="v"><xsl:apply-templates select="." mode="valore"/></span>
    </div>
  </xsl:template>

  <!-- Containers that only group fields. -->
  <xsl:template match="*[local-name() = 'DatiAnagrafici' or local-name() = 'Anagrafica' or local-name() = 'Contatti'
                         or local-name() = 'DatiBollo' or local-name() = 'IdentificativiFiscali'
                         or local-name() = 'AltriDatiIdentificativi']" mode="campi">
    <xsl:apply-templates select="*" mode="campi"/>
  </xsl:template>

  <!-- Country code and number as one tax identifier (IT01234567890). -->
  <xsl:template match="*[local-name() = 'IdFiscaleIVA' or local-name() = 'IdTrasmittente']" mode="campi">
    <div class="c">
      <span class="l"><xsl:call-template name="etichetta"/></span>
      <span class="v"><xsl:call-template name="id-fiscale"/></span>
    </div>
    <xsl:apply-templates select="*[local-name() != 'IdPaese' and local-name() != 'IdCodice']" mode="campi"/>
  </xsl:template>

  <xsl:template name="id-fiscale">
    <xsl:param name="n" select="."/>
    <xsl:value-of select="normalize-space($n/*[local-name() = 'IdPaese'])"/>
    <xsl:value-of select="normalize-space($n/*[local-name() = 'IdCodice'])"/>
    <xsl:for-each select="$n/*[local-name() = 'IdPaese'][position() &gt; 1] | $n/*[local-name() = 'IdCodice'][position() &gt; 1]">
      <xsl:text> </xsl:text><xsl:value-of select="."/>
    </xsl:for-each>
  </xsl:template>

  <!-- An address on one line. -->
  <xsl:template match="*[local-name() = 'Sede' or local-name() = 'StabileOrganizzazione' or local-name() = 'IndirizzoResa']" mode="campi">
    <div class="c w">
      <span class="l"><xsl:call-template name="etichetta"/></span>
      <span class="v"><xsl:call-template name="indirizzo"/></span>
    </div>
  </xsl:template>

  <xsl:template name="indirizzo">
    <xsl:for-each select="*[local-name() = 'Indirizzo']"><xsl:value-of select="."/><xsl:text> </xsl:text></xsl:for-each>
    <xsl:for-each select="*[local-name() = 'NumeroCivico']"><xsl:value-of select="."/><xsl:text> </xsl:text></xsl:for-each>
    <xsl:text>- </xsl:text>
    <xsl:for-each select="*[local-name() = 'CAP']"><xsl:value-of select="."/><xsl:text> </xsl:text></xsl:for-each>
    <xsl:for-each select="*[local-name() = 'Comune']"><xsl:value-of select="."/><xsl:text> </xsl:text></xsl:for-each>
    <xsl:for-each select="*[local-name() = 'Provincia']">(<xsl:value-of select="."/>) </xsl:for-each>
    <xsl:for-each select="*[local-name() = 'Nazione']"><xsl:value-of select="."/><xsl:text> </xsl:text></xsl:for-each>
    <xsl:call-template name="extra">
      <xsl:with-param name="noti" select="'|Indirizzo|NumeroCivico|CAP|Comune|Provincia|Nazione|'"/>
    </xsl:call-template>
  </xsl:template>

  <!-- Iscrizione REA: office and number together, then the rest. -->
  <xsl:template match="*[local-name() = 'IscrizioneREA']" mode="campi">
    <div class="c">
      <span class="l">Iscrizione REA</span>
      <span class="v">
        <xsl:value-of select="*[local-name() = 'Ufficio']"/>
        <xsl:if test="*[local-name() = 'Ufficio'] and *[local-name() = 'NumeroREA']"> - </xsl:if>
        <xsl:value-of select="*[local-name() = 'NumeroREA']"/>
      </span>
    </div>
    <xsl:apply-templates select="*[local-name() != 'Ufficio' and local-name() != 'NumeroREA']
                                 | *[local-name() = 'Ufficio'][position() &gt; 1]
                                 | *[local-name() = 'NumeroREA'][position() &gt; 1]" mode="campi"/>
  </xsl:template>

  <xsl:template match="*[local-name() = 'Causale' or local-name() = 'Descrizione' or local-name() = 'ElementiRettificati']" mode="campi">
    <xsl:if test="normalize-space(.) != ''">
      <xsl:call-template name="campo">
        <xsl:with-param name="classe" select="'c w pre'"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <xsl:template match="*[local-name() = 'Attachment']" mode="campi">
    <div class="c">
      <span class="l">Contenuto allegato</span>
      <span class="v sub">dati Base64 non mostrati (<xsl:value-of select="string-length(.)"/> caratteri)</span>
    </div>
  </xsl:template>

  <!-- Payment details numbered: instalments when paying in instalments. -->
  <xsl:template match="*[local-name() = 'DettaglioPagamento']" mode="campi">
    <div class="gruppo">
      <div class="gt">
        <xsl:choose>
          <xsl:when test="normalize-space(../*[local-name() = 'CondizioniPagamento']) = 'TP01'">Rata </xsl:when>
          <xsl:otherwise>Pagamento </xsl:otherwise>
        </xsl:choose>
        <xsl:value-of select="count(preceding-sibling::*[local-name() = 'DettaglioPagamento']) + 1"/>
      </div>
      <xsl:apply-templates select="*" mode="campi"/>
    </div>
  </xsl:template>

  <!-- An XML signature is not invoice data. -->
  <xsl:template match="*[namespace-uri() = 'http://www.w3.org/2000/09/xmldsig#']" mode="campi" priority="5"/>

  <!-- Children a table has no column for, shown in its last cell. -->
  <xsl:template name="extra">
    <xsl:param name="noti"/>
    <xsl:variable name="altri" select="*[not(contains($noti, concat('|', local-name(), '|')))]"/>
    <xsl:if test="$altri">
      <div class="altri"><xsl:apply-templates select="$altri" mode="campi"/></div>
    </xsl:if>
  </xsl:template>

  <!-- The name of a party: title, first and last name, company name. -->
  <xsl:template name="nominativo">
    <xsl:param name="n"/>
    <xsl:variable name="nomi"
      select="($n | $n/*[local-name() = 'DatiAnagrafici' or local-name() = 'AltriDatiIdentificativi']
               | $n/*[local-name() = 'DatiAnagrafici']/*[local-name() = 'Anagrafica'])
              /*[contains($nomi-anagrafica, concat('|', local-name(), '|'))]"/>
    <xsl:choose>
      <xsl:when test="normalize-space($nomi) != ''">
        <xsl:for-each select="$nomi[local-name() = 'Titolo']"><xsl:value-of select="."/><xsl:text> </xsl:text></xsl:for-each>
        <xsl:for-each select="$nomi[local-name() = 'Nome']"><xsl:value-of select="."/><xsl:text> </xsl:text></xsl:for-each>
        <xsl:for-each select="$nomi[local-name() = 'Cognome']"><xsl:value-of select="."/><xsl:text> </xsl:text></xsl:for-each>
        <xsl:for-each select="$nomi[local-name() = 'Denominazione']">
          <xsl:if test="position() &gt; 1"><xsl:text> </xsl:text></xsl:if>
          <xsl:value-of select="."/>
        </xsl:for-each>
      </xsl:when>
      <xsl:otherwise>(nominativo non indicato)</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Tax identifiers of a party on one short line, for the summary. -->
  <xsl:template name="identificativi">
    <xsl:param name="n"/>
    <xsl:variable name="iva" select="($n | $n/*[local-name() = 'DatiAnagrafici' or local-name() = 'IdentificativiFiscali'])/*[local-name() = 'IdFiscaleIVA']"/>
    <xsl:variable name="cf" select="($n | $n/*[local-name() = 'DatiAnagrafici' or local-name() = 'IdentificativiFiscali'])/*[local-name() = 'CodiceFiscale']"/>
    <xsl:if test="$iva">P. IVA <xsl:call-template name="id-fiscale"><xsl:with-param name="n" select="$iva[1]"/></xsl:call-template></xsl:if>
    <xsl:if test="$iva and $cf"> - </xsl:if>
    <xsl:if test="$cf">C.F. <xsl:value-of select="$cf[1]"/></xsl:if>
  </xsl:template>

  <!-- A party box: the name on top, then every field it holds except the name. -->
  <xsl:template name="soggetto">
    <xsl:param name="n"/>
    <xsl:param name="titolo"/>
    <div class="box">
      <div class="bt"><xsl:value-of select="$titolo"/></div>
      <div class="nome"><xsl:call-template name="nominativo"><xsl:with-param name="n" select="$n"/></xsl:call-template></div>
      <xsl:apply-templates mode="campi"
        select="$n/*[not(contains('|DatiAnagrafici|AltriDatiIdentificativi|IdentificativiFiscali|', concat('|', local-name(), '|'))
                         or contains($nomi-anagrafica, concat('|', local-name(), '|')))]
                | $n/*[contains('|DatiAnagrafici|AltriDatiIdentificativi|IdentificativiFiscali|', concat('|', local-name(), '|'))]
                   /*[not(local-name() = 'Anagrafica' or contains($nomi-anagrafica, concat('|', local-name(), '|')))]
                | $n/*[local-name() = 'DatiAnagrafici']/*[local-name() = 'Anagrafica']
                   /*[not(contains($nomi-anagrafica, concat('|', local-name(), '|')))]"/>
    </div>
  </xsl:template>

  <!-- ===================================================================== tables -->

  <!-- One cell with every occurrence of a child element. -->
  <xsl:template name="td">
    <xsl:param name="nome"/>
    <xsl:param name="classe" select="''"/>
    <td class="{$classe}">
      <xsl:for-each select="*[local-name() = $nome]">
        <xsl:if test="position() &gt; 1"><br/></xsl:if>
        <xsl:apply-templates select="." mode="valore"/>
      </xsl:for-each>
    </td>
  </xsl:template>

  <xsl:template name="tabella-allegati">
    <xsl:param name="r"/>
    <table class="t">
      <colgroup><col style="width:30%"/><col style="width:10%"/><col style="width:12%"/><col/></colgroup>
      <thead><tr><th>Nome file</th><th>Formato</th><th>Compressione</th><th>Descrizione</th></tr></thead>
      <tbody>
        <xsl:for-each select="$r">
          <tr>
            <xsl:call-template name="td"><xsl:with-param name="nome" select="'NomeAttachment'"/></xsl:call-template>
            <xsl:call-template name="td"><xsl:with-param name="nome" select="'FormatoAttachment'"/></xsl:call-template>
            <xsl:call-template name="td"><xsl:with-param name="nome" select="'AlgoritmoCompressione'"/></xsl:call-template>
            <td>
              <xsl:for-each select="*[local-name() = 'DescrizioneAttachment']"><div><xsl:value-of select="."/></div></xsl:for-each>
              <xsl:call-template name="extra">
                <xsl:with-param name="noti" select="'|NomeAttachment|FormatoAttachment|AlgoritmoCompressione|DescrizioneAttachment|Attachment|'"/>
              </xsl:call-template>
            </td>
          </tr>
        </xsl:for-each>
      </tbody>
    </table>
  </xsl:template>

  <!-- ===================================================================== documents not recognised -->

  <xsl:template name="non-riconosciuto">
    <xsl:param name="atteso"/>
    <div class="avviso">
      <b>Documento non riconosciuto.</b>
      Questo foglio di stile visualizza <xsl:value-of select="$atteso"/>; il file contiene invece
      l'elemento &lt;<xsl:value-of select="local-name(/*)"/>&gt;.
      Sono mostrati di seguito tutti i dati trovati nel file.
    </div>
    <div class="box">
      <xsl:choose>
        <xsl:when test="/*/*"><xsl:apply-templates select="/*/*" mode="campi"/></xsl:when>
        <xsl:when test="normalize-space(/*) != ''"><xsl:apply-templates select="/*" mode="campi"/></xsl:when>
        <xsl:otherwise><span class="sub">Il file non contiene dati.</span></xsl:otherwise>
      </xsl:choose>
    </div>
  </xsl:template>

  <!-- ===================================================================== page style -->

  <xsl:template name="stile">
    <style type="text/css">
body{margin:0;background:#fff;color:#1c2630;font:13px/1.35 "Segoe UI",Arial,Helvetica,sans-serif}
.pagina{max-width:1120px;margin:0 auto;padding:12px 16px}
table{border-collapse:collapse;width:100%;table-layout:fixed}
.formato{color:#5b6773;font-size:11px;margin:0 0 6px}
.sintesi{border:2px solid #1f5f8b;border-radius:6px;padding:8px 12px;margin:0 0 14px;background:#f2f7fb}
.sintesi td{vertical-align:top;padding:3px 10px 5px 0}
.sintesi .riga td{border-bottom:1px solid #d3e0ea}
.l{display:block;font-size:10px;color:#5b6773;text-transform:uppercase;letter-spacing:.04em}
.grande{font-size:16px;font-weight:bold}
.totale .grande{font-size:21px;color:#0b4f7c}
.nome{font-size:15px;font-weight:bold;margin:0 0 4px}
.sezione{margin:0 0 12px}
h2{font-size:14px;margin:0 0 6px;padding:4px 8px;background:#1f5f8b;color:#fff;border-radius:3px}
h3{font-size:12px;margin:8px 0 4px;color:#1f5f8b}
.corpo{border-top:3px solid #1f5f8b;margin:18px 0 10px;padding-top:4px;font-size:15px;font-weight:bold;color:#1f5f8b}
.box{border:1px solid #c7d2dc;border-radius:4px;padding:6px 8px;margin:0 0 8px}
.bt{font-size:10px;color:#1f5f8b;font-weight:bold;text-transform:uppercase;letter-spacing:.04em}
.due td{vertical-align:top;padding:0 4px 0 0}
.due td+td{padding:0 0 0 4px}
.c{display:inline-block;vertical-align:top;max-width:100%;margin:0 16px 5px 0}
.c .v{font-weight:600}
.w{display:block}
.pre .v{white-space:pre-line;font-weight:normal}
.gruppo{border-top:1px dotted #c7d2dc;padding:3px 0 0;margin:2px 0 4px}
.gt{font-weight:bold;color:#1f5f8b;font-size:11px;margin:0 0 2px}
.cod{font-weight:bold}
table.t{margin:0 0 6px}
table.t th{background:#e5edf4;font-size:10.5px;text-align:left;padding:3px 4px;border-bottom:1px solid #9db2c5;vertical-align:bottom}
table.t td{padding:3px 4px;border-bottom:1px solid #e0e6ec;vertical-align:top;word-wrap:break-word}
table.t .n{text-align:right}
table.t .b{font-weight:bold}
table.t .d{white-space:pre-line}
table.t tr.tot td{font-weight:bold;border-top:1px solid #9db2c5;border-bottom:0}
table.linee td{text-align:right}
table.linee td:nth-child(2),table.linee.cc td:nth-child(3){text-align:left;white-space:pre-line}
table.linee td:nth-last-child(2){font-weight:bold}
table.linee.cs td:nth-last-child(3){font-size:11px;color:#4b5864}
table.linee.cc td:nth-child(2) span{font-size:11px;color:#4b5864}
.sub{font-size:11px;color:#4b5864}
.altri{font-size:11px;color:#4b5864}
.altri .c{margin-right:8px}
.avviso{border:1px solid #c98a00;background:#fff5d6;padding:8px 10px;margin:0 0 12px}
.piede{color:#8794a0;font-size:10px;margin-top:14px}
@media screen{table.t{content-visibility:auto;contain-intrinsic-size:auto 2400px}}
@page{size:A4;margin:12mm}
@media print{
body{font-size:11px}
.pagina{max-width:none;padding:0}
thead{display:table-header-group}
tr{page-break-inside:avoid}
h2,h3,.corpo{page-break-after:avoid}
.sintesi,.box{page-break-inside:avoid}
}
</style>
  </xsl:template>

</xsl:stylesheet>
