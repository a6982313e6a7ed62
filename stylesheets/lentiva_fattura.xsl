<?xml version="1.0" encoding="UTF-8"?>
<!--
  Lentiva: the page of an ordinary invoice (FPR12) or of an invoice to a public administration (FPA12),
  schema 1.2.x; the legacy 1.1 invoices share the same elements. Included by the two stylesheets of
  these formats, which set $foglio-formato.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

  <xsl:include href="lentiva_base.xsl"/>

  <xsl:output method="html" encoding="UTF-8" indent="no" doctype-system="about:legacy-compat"/>

  <xsl:variable name="radice" select="/*"/>
  <xsl:variable name="testata" select="$radice/*[local-name() = 'FatturaElettronicaHeader']"/>
  <xsl:variable name="corpi" select="$radice/*[local-name() = 'FatturaElettronicaBody']"/>
  <xsl:variable name="trasmissione" select="$testata/*[local-name() = 'DatiTrasmissione']"/>
  <xsl:variable name="cedente" select="$testata/*[local-name() = 'CedentePrestatore']"/>
  <xsl:variable name="cessionario" select="$testata/*[local-name() = 'CessionarioCommittente']"/>
  <!-- Lines per table: several modest tables lay out much faster than one huge one. -->
  <xsl:variable name="linee-per-tabella" select="100"/>

  <xsl:template match="/">
    <html lang="it">
      <head>
        <title>
          <xsl:choose>
            <xsl:when test="$corpi">
              <xsl:variable name="dgd" select="$corpi[1]/*[local-name() = 'DatiGenerali']/*[local-name() = 'DatiGeneraliDocumento']"/>
              <xsl:text>Fattura n. </xsl:text><xsl:value-of select="$dgd/*[local-name() = 'Numero']"/>
              <xsl:text> del </xsl:text>
              <xsl:call-template name="data"><xsl:with-param name="v" select="$dgd/*[local-name() = 'Data']"/></xsl:call-template>
              <xsl:text> - </xsl:text>
              <xsl:call-template name="nominativo"><xsl:with-param name="n" select="$cedente"/></xsl:call-template>
            </xsl:when>
            <xsl:otherwise>Fattura elettronica</xsl:otherwise>
          </xsl:choose>
        </title>
        <xsl:call-template name="stile"/>
      </head>
      <body>
        <div class="pagina">
          <xsl:choose>
            <xsl:when test="local-name($radice) = 'FatturaElettronica'">
              <xsl:call-template name="fattura"/>
            </xsl:when>
            <xsl:otherwise>
              <xsl:call-template name="non-riconosciuto">
                <xsl:with-param name="atteso" select="'le fatture elettroniche ordinarie e verso la pubblica amministrazione (FatturaElettronica)'"/>
              </xsl:call-template>
            </xsl:otherwise>
          </xsl:choose>
        </div>
      </body>
    </html>
  </xsl:template>

  <!-- ===================================================================== the invoice -->

  <xsl:template name="fattura">
    <div class="formato">
      <xsl:text>Fattura elettronica</xsl:text>
      <xsl:for-each select="$trasmissione/*[local-name() = 'FormatoTrasmissione']">
        <xsl:text> - formato </xsl:text><xsl:call-template name="codice"/>
      </xsl:for-each>
      <xsl:if test="$radice/@versione"> - versione <xsl:value-of select="$radice/@versione"/></xsl:if>
      <xsl:if test="$radice/@SistemaEmittente"> - sistema emittente <xsl:value-of select="$radice/@SistemaEmittente"/></xsl:if>
    </div>
    <xsl:if test="not($testata)">
      <div class="avviso">Il file non contiene l'intestazione della fattura (FatturaElettronicaHeader).</div>
    </xsl:if>
    <xsl:if test="not($corpi)">
      <div class="avviso">Il file non contiene alcun corpo della fattura (FatturaElettronicaBody): sono mostrati
        soltanto i dati dell'intestazione.</div>
    </xsl:if>

    <xsl:call-template name="sintesi"/>
    <xsl:call-template name="soggetti"/>

    <xsl:for-each select="$corpi">
      <xsl:call-template name="corpo">
        <xsl:with-param name="i" select="position()"/>
        <xsl:with-param name="n" select="count($corpi)"/>
      </xsl:call-template>
    </xsl:for-each>

    <div class="sezione">
      <h2>Dati della trasmissione</h2>
      <div class="box">
        <xsl:apply-templates select="$trasmissione/*" mode="campi"/>
        <xsl:if test="$radice/@versione">
          <div class="c"><span class="l">Versione</span><span class="v"><xsl:value-of select="$radice/@versione"/></span></div>
        </xsl:if>
        <xsl:if test="$radice/@SistemaEmittente">
          <div class="c"><span class="l">Sistema emittente</span><span class="v"><xsl:value-of select="$radice/@SistemaEmittente"/></span></div>
        </xsl:if>
        <!-- Whatever else the header or the root holds. -->
        <xsl:apply-templates mode="campi"
          select="$testata/*[not(contains('|DatiTrasmissione|CedentePrestatore|CessionarioCommittente|RappresentanteFiscale|TerzoIntermediarioOSoggettoEmittente|SoggettoEmittente|', concat('|', local-name(), '|')))]
                  | $radice/*[local-name() != 'FatturaElettronicaHeader' and local-name() != 'FatturaElettronicaBody']"/>
      </div>
    </div>
  </xsl:template>

  <!-- The essentials at the top: per document its type, number, date and total; then the two parties. -->
  <xsl:template name="sintesi">
    <div class="sintesi">
      <xsl:if test="$corpi">
        <table>
          <colgroup><col style="width:36%"/><col style="width:20%"/><col style="width:16%"/><col style="width:28%"/></colgroup>
          <xsl:for-each select="$corpi">
            <xsl:variable name="dgd" select="*[local-name() = 'DatiGenerali']/*[local-name() = 'DatiGeneraliDocumento']"/>
            <tr class="riga">
              <td>
                <span class="l">
                  <xsl:text>Tipo documento</xsl:text>
                  <xsl:if test="count($corpi) &gt; 1"> (<xsl:value-of select="position()"/> di <xsl:value-of select="count($corpi)"/>)</xsl:if>
                </span>
                <div class="grande">
                  <xsl:for-each select="$dgd/*[local-name() = 'TipoDocumento']"><xsl:call-template name="codice"/></xsl:for-each>
                </div>
              </td>
              <td><span class="l">Numero</span><div class="grande"><xsl:value-of select="$dgd/*[local-name() = 'Numero']"/></div></td>
              <td>
                <span class="l">Data</span>
                <div class="grande"><xsl:call-template name="data"><xsl:with-param name="v" select="$dgd/*[local-name() = 'Data']"/></xsl:call-template></div>
              </td>
              <td class="totale"><xsl:call-template name="da-pagare"/></td>
            </tr>
          </xsl:for-each>
        </table>
      </xsl:if>
      <table class="due">
        <tr>
          <td>
            <span class="l">Cedente/prestatore (fornitore)</span>
            <div class="nome"><xsl:call-template name="nominativo"><xsl:with-param name="n" select="$cedente"/></xsl:call-template></div>
            <div class="sub"><xsl:call-template name="identificativi"><xsl:with-param name="n" select="$cedente"/></xsl:call-template></div>
          </td>
          <td>
            <span class="l">Cessionario/committente (cliente)</span>
            <div class="nome"><xsl:call-template name="nominativo"><xsl:with-param name="n" select="$cessionario"/></xsl:call-template></div>
            <div class="sub"><xsl:call-template name="identificativi"><xsl:with-param name="n" select="$cessionario"/></xsl:call-template></div>
          </td>
        </tr>
      </table>
    </div>
  </xsl:template>

  <!-- The amount to pay of one body: the payment terms when given (instalments add up, alternative
       ways of paying the same amount do not), else the document total, else the VAT summary. -->
  <xsl:template name="da-pagare">
    <xsl:variable name="dgd" select="*[local-name() = 'DatiGenerali']/*[local-name() = 'DatiGeneraliDocumento']"/>
    <xsl:variable name="divisa" select="normalize-space($dgd/*[local-name() = 'Divisa'])"/>
    <xsl:variable name="pag" select="*[local-name() = 'DatiPagamento']/*[local-name() = 'DettaglioPagamento']/*[local-name() = 'ImportoPagamento']"/>
    <xsl:variable name="totale" select="$dgd/*[local-name() = 'ImportoTotaleDocumento']"/>
    <xsl:variable name="riep" select="*[local-name() = 'DatiBeniServizi']/*[local-name() = 'DatiRiepilogo']"/>
    <xsl:variable name="importo-pag">
      <xsl:choose>
        <xsl:when test="count($pag) = 1 or ($pag and not($pag[number(.) != number($pag[1])]))
                        and *[local-name() = 'DatiPagamento']/*[local-name() = 'CondizioniPagamento'][normalize-space(.) != 'TP01']">
          <xsl:call-template name="numero"><xsl:with-param name="v" select="$pag[1]"/></xsl:call-template>
        </xsl:when>
        <xsl:when test="$pag"><xsl:call-template name="somma"><xsl:with-param name="n" select="sum($pag)"/></xsl:call-template></xsl:when>
      </xsl:choose>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="$importo-pag != ''">
        <span class="l">Da pagare</span>
        <div class="grande"><xsl:value-of select="concat($importo-pag, ' ', $divisa)"/></div>
        <xsl:if test="$totale">
          <div class="sub">Totale documento <xsl:apply-templates select="$totale[1]" mode="valore"/></div>
        </xsl:if>
      </xsl:when>
      <xsl:when test="normalize-space($totale) != ''">
        <span class="l">Totale documento</span>
        <div class="grande"><xsl:apply-templates select="$totale[1]" mode="valore"/></div>
      </xsl:when>
      <xsl:when test="$riep">
        <xsl:variable name="calcolato">
          <xsl:call-template name="somma">
            <xsl:with-param name="n" select="sum($riep/*[local-name() = 'ImponibileImporto']) + sum($riep/*[local-name() = 'Imposta'])"/>
          </xsl:call-template>
        </xsl:variable>
        <xsl:if test="$calcolato != ''">
          <span class="l">Totale (imponibile + IVA)</span>
          <div class="grande"><xsl:value-of select="concat($calcolato, ' ', $divisa)"/></div>
        </xsl:if>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="soggetti">
    <xsl:variable name="rappr" select="$testata/*[local-name() = 'RappresentanteFiscale']"/>
    <xsl:variable name="terzo" select="$testata/*[local-name() = 'TerzoIntermediarioOSoggettoEmittente']"/>
    <xsl:variable name="emittente" select="$testata/*[local-name() = 'SoggettoEmittente']"/>
    <div class="sezione">
      <h2>Fornitore e cliente</h2>
      <table class="due">
        <tr>
          <td>
            <xsl:for-each select="$cedente">
              <xsl:call-template name="soggetto">
                <xsl:with-param name="n" select="."/>
                <xsl:with-param name="titolo" select="'Cedente/prestatore (fornitore)'"/>
              </xsl:call-template>
            </xsl:for-each>
            <xsl:for-each select="$rappr">
              <xsl:call-template name="soggetto">
                <xsl:with-param name="n" select="."/>
                <xsl:with-param name="titolo" select="'Rappresentante fiscale del cedente/prestatore'"/>
              </xsl:call-template>
            </xsl:for-each>
          </td>
          <td>
            <xsl:for-each select="$cessionario">
              <xsl:call-template name="soggetto">
                <xsl:with-param name="n" select="."/>
                <xsl:with-param name="titolo" select="'Cessionario/committente (cliente)'"/>
              </xsl:call-template>
            </xsl:for-each>
            <xsl:for-each select="$terzo">
              <xsl:call-template name="soggetto">
                <xsl:with-param name="n" select="."/>
                <xsl:with-param name="titolo" select="'Terzo intermediario o soggetto emittente'"/>
              </xsl:call-template>
            </xsl:for-each>
            <xsl:if test="$emittente">
              <div class="box"><xsl:apply-templates select="$emittente" mode="campi"/></div>
            </xsl:if>
          </td>
        </tr>
      </table>
    </div>
  </xsl:template>

  <!-- ===================================================================== one body -->

  <xsl:template name="corpo">
    <xsl:param name="i"/>
    <xsl:param name="n"/>
    <xsl:variable name="dg" select="*[local-name() = 'DatiGenerali']"/>
    <xsl:variable name="dgd" select="$dg/*[local-name() = 'DatiGeneraliDocumento']"/>
    <xsl:variable name="bs" select="*[local-name() = 'DatiBeniServizi']"/>
    <div class="corpo">
      <xsl:if test="$n &gt; 1">Documento <xsl:value-of select="$i"/> di <xsl:value-of select="$n"/>: </xsl:if>
      <xsl:for-each select="$dgd/*[local-name() = 'TipoDocumento']">
        <xsl:call-template name="descrizione-codice">
          <xsl:with-param name="nome" select="'TipoDocumento'"/>
          <xsl:with-param name="v" select="normalize-space(.)"/>
        </xsl:call-template>
      </xsl:for-each>
      <xsl:if test="not($dgd/*[local-name() = 'TipoDocumento'])">Documento</xsl:if>
      <xsl:for-each select="$dgd/*[local-name() = 'Numero']"> n. <xsl:value-of select="."/></xsl:for-each>
      <xsl:for-each select="$dgd/*[local-name() = 'Data']">
        <xsl:text> del </xsl:text><xsl:call-template name="data"><xsl:with-param name="v" select="."/></xsl:call-template>
      </xsl:for-each>
    </div>
    <xsl:if test="not(*)">
      <div class="avviso">Questo corpo della fattura è vuoto: non contiene alcun dato.</div>
    </xsl:if>

    <xsl:if test="$dg">
      <div class="sezione">
        <h2>Dati generali del documento</h2>
        <div class="box">
          <xsl:apply-templates mode="campi"
            select="$dgd/*[not(contains('|DatiRitenuta|DatiCassaPrevidenziale|ScontoMaggiorazione|', concat('|', local-name(), '|')))]"/>
          <xsl:call-template name="tabella-ritenute"><xsl:with-param name="r" select="$dgd/*[local-name() = 'DatiRitenuta']"/></xsl:call-template>
          <xsl:call-template name="tabella-cassa"><xsl:with-param name="r" select="$dgd/*[local-name() = 'DatiCassaPrevidenziale']"/></xsl:call-template>
          <xsl:call-template name="tabella-sconti"><xsl:with-param name="r" select="$dgd/*[local-name() = 'ScontoMaggiorazione']"/></xsl:call-template>
        </div>
        <xsl:call-template name="documenti-collegati"><xsl:with-param name="dg" select="$dg"/></xsl:call-template>
      </div>
    </xsl:if>

    <xsl:if test="$bs">
      <xsl:variable name="linee" select="$bs/*[local-name() = 'DettaglioLinee']"/>
      <div class="sezione">
        <h2>Dettaglio beni e servizi (<xsl:value-of select="count($linee)"/>
          <xsl:choose><xsl:when test="count($linee) = 1"> linea</xsl:when><xsl:otherwise> linee</xsl:otherwise></xsl:choose>)</h2>
        <xsl:call-template name="linee"><xsl:with-param name="linee" select="$linee"/></xsl:call-template>
      </div>
      <div class="sezione">
        <h2>Riepilogo IVA</h2>
        <xsl:call-template name="riepilogo"><xsl:with-param name="r" select="$bs/*[local-name() = 'DatiRiepilogo']"/></xsl:call-template>
        <xsl:variable name="altri-bs" select="$bs/*[local-name() != 'DettaglioLinee' and local-name() != 'DatiRiepilogo']"/>
        <xsl:if test="$altri-bs"><div class="box"><xsl:apply-templates select="$altri-bs" mode="campi"/></div></xsl:if>
      </div>
    </xsl:if>

    <xsl:if test="*[local-name() = 'DatiVeicoli']">
      <div class="sezione">
        <h2>Veicoli</h2>
        <div class="box"><xsl:apply-templates select="*[local-name() = 'DatiVeicoli']/*" mode="campi"/></div>
      </div>
    </xsl:if>

    <xsl:if test="*[local-name() = 'DatiPagamento']">
      <div class="sezione">
        <h2>Pagamento</h2>
        <xsl:for-each select="*[local-name() = 'DatiPagamento']">
          <div class="box"><xsl:apply-templates select="*" mode="campi"/></div>
        </xsl:for-each>
      </div>
    </xsl:if>

    <xsl:if test="*[local-name() = 'Allegati']">
      <div class="sezione">
        <h2>Allegati</h2>
        <xsl:call-template name="tabella-allegati"><xsl:with-param name="r" select="*[local-name() = 'Allegati']"/></xsl:call-template>
      </div>
    </xsl:if>

    <xsl:variable name="altri-corpo"
      select="*[not(contains('|DatiGenerali|DatiBeniServizi|DatiVeicoli|DatiPagamento|Allegati|', concat('|', local-name(), '|')))]"/>
    <xsl:if test="$altri-corpo">
      <div class="sezione">
        <h2>Altri dati</h2>
        <div class="box"><xsl:apply-templates select="$altri-corpo" mode="campi"/></div>
      </div>
    </xsl:if>
  </xsl:template>

  <!-- ===================================================================== general data tables -->


  <xsl:template name="tabella-ritenute">
    <xsl:param name="r"/>
    <xsl:if test="$r">
      <h3>Ritenute</h3>
      <table class="t">
        <colgroup><col style="width:30%"/><col style="width:14%"/><col style="width:10%"/><col/></colgroup>
        <thead><tr><th>Tipo ritenuta</th><th class="n">Importo</th><th class="n">Aliquota</th><th>Causale pagamento</th></tr></thead>
        <tbody>
          <xsl:for-each select="$r">
            <tr>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'TipoRitenuta'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'ImportoRitenuta'"/><xsl:with-param name="classe" select="'n'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'AliquotaRitenuta'"/><xsl:with-param name="classe" select="'n'"/></xsl:call-template>
              <td>
                <xsl:for-each select="*[local-name() = 'CausalePagamento']"><xsl:call-template name="codice"/></xsl:for-each>
                <xsl:call-template name="extra"><xsl:with-param name="noti" select="'|TipoRitenuta|ImportoRitenuta|AliquotaRitenuta|CausalePagamento|'"/></xsl:call-template>
              </td>
            </tr>
          </xsl:for-each>
        </tbody>
      </table>
    </xsl:if>
  </xsl:template>

  <xsl:template name="tabella-cassa">
    <xsl:param name="r"/>
    <xsl:if test="$r">
      <h3>Cassa previdenziale</h3>
      <table class="t">
        <colgroup><col/><col style="width:9%"/><col style="width:12%"/><col style="width:12%"/><col style="width:9%"/><col style="width:12%"/><col style="width:16%"/></colgroup>
        <thead><tr><th>Cassa</th><th class="n">Aliquota contributo</th><th class="n">Importo contributo</th><th class="n">Imponibile previdenziale</th>
          <th class="n">Aliquota IVA</th><th>Ritenuta</th><th>Natura IVA / rif. amministrazione</th></tr></thead>
        <tbody>
          <xsl:for-each select="$r">
            <tr>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'TipoCassa'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'AlCassa'"/><xsl:with-param name="classe" select="'n'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'ImportoContributoCassa'"/><xsl:with-param name="classe" select="'n'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'ImponibileCassa'"/><xsl:with-param name="classe" select="'n'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'AliquotaIVA'"/><xsl:with-param name="classe" select="'n'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'Ritenuta'"/></xsl:call-template>
              <td>
                <xsl:for-each select="*[local-name() = 'Natura']"><div><xsl:call-template name="codice"/></div></xsl:for-each>
                <xsl:for-each select="*[local-name() = 'RiferimentoAmministrazione']"><div>Rif. amministrazione: <xsl:value-of select="."/></div></xsl:for-each>
                <xsl:call-template name="extra">
                  <xsl:with-param name="noti" select="'|TipoCassa|AlCassa|ImportoContributoCassa|ImponibileCassa|AliquotaIVA|Ritenuta|Natura|RiferimentoAmministrazione|'"/>
                </xsl:call-template>
              </td>
            </tr>
          </xsl:for-each>
        </tbody>
      </table>
    </xsl:if>
  </xsl:template>

  <xsl:template name="tabella-sconti">
    <xsl:param name="r"/>
    <xsl:if test="$r">
      <h3>Sconti e maggiorazioni sul documento</h3>
      <table class="t">
        <colgroup><col style="width:30%"/><col style="width:15%"/><col style="width:18%"/><col/></colgroup>
        <thead><tr><th>Tipo</th><th class="n">Percentuale</th><th class="n">Importo</th><th></th></tr></thead>
        <tbody>
          <xsl:for-each select="$r">
            <tr>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'Tipo'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'Percentuale'"/><xsl:with-param name="classe" select="'n'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'Importo'"/><xsl:with-param name="classe" select="'n'"/></xsl:call-template>
              <td><xsl:call-template name="extra"><xsl:with-param name="noti" select="'|Tipo|Percentuale|Importo|'"/></xsl:call-template></td>
            </tr>
          </xsl:for-each>
        </tbody>
      </table>
    </xsl:if>
  </xsl:template>

  <!-- Orders, contracts, agreements, receipts and linked invoices in one table; then SAL, DDT,
       transport, main invoice and anything else of the general data. -->
  <xsl:template name="documenti-collegati">
    <xsl:param name="dg"/>
    <xsl:variable name="correlati"
      select="$dg/*[contains('|DatiOrdineAcquisto|DatiContratto|DatiConvenzione|DatiRicezione|DatiFattureCollegate|', concat('|', local-name(), '|'))]"/>
    <xsl:if test="$correlati">
      <h3>Documenti collegati</h3>
      <table class="t">
        <colgroup><col style="width:13%"/><col/><col style="width:9%"/><col style="width:9%"/><col style="width:15%"/><col style="width:12%"/><col style="width:12%"/><col style="width:10%"/></colgroup>
        <thead><tr><th>Tipo</th><th>Documento</th><th>Data</th><th>Num. item</th><th>Commessa/convenzione</th><th>CUP</th><th>CIG</th><th>Linee riferite</th></tr></thead>
        <tbody>
          <xsl:for-each select="$correlati">
            <tr>
              <td><xsl:call-template name="etichetta"/></td>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'IdDocumento'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'Data'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'NumItem'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'CodiceCommessaConvenzione'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'CodiceCUP'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'CodiceCIG'"/></xsl:call-template>
              <td>
                <xsl:call-template name="elenco-linee"/>
                <xsl:call-template name="extra">
                  <xsl:with-param name="noti" select="'|RiferimentoNumeroLinea|IdDocumento|Data|NumItem|CodiceCommessaConvenzione|CodiceCUP|CodiceCIG|'"/>
                </xsl:call-template>
              </td>
            </tr>
          </xsl:for-each>
        </tbody>
      </table>
    </xsl:if>
    <xsl:variable name="ddt" select="$dg/*[local-name() = 'DatiDDT']"/>
    <xsl:if test="$ddt">
      <h3>Documenti di trasporto (DDT)</h3>
      <table class="t">
        <colgroup><col style="width:25%"/><col style="width:15%"/><col/></colgroup>
        <thead><tr><th>Numero DDT</th><th>Data DDT</th><th>Linee riferite</th></tr></thead>
        <tbody>
          <xsl:for-each select="$ddt">
            <tr>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'NumeroDDT'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'DataDDT'"/></xsl:call-template>
              <td>
                <xsl:call-template name="elenco-linee"/>
                <xsl:call-template name="extra"><xsl:with-param name="noti" select="'|NumeroDDT|DataDDT|RiferimentoNumeroLinea|'"/></xsl:call-template>
              </td>
            </tr>
          </xsl:for-each>
        </tbody>
      </table>
    </xsl:if>
    <xsl:variable name="resto"
      select="$dg/*[not(contains('|DatiGeneraliDocumento|DatiOrdineAcquisto|DatiContratto|DatiConvenzione|DatiRicezione|DatiFattureCollegate|DatiDDT|', concat('|', local-name(), '|')))]"/>
    <xsl:if test="$resto">
      <div class="box"><xsl:apply-templates select="$resto" mode="campi"/></div>
    </xsl:if>
  </xsl:template>

  <xsl:template name="elenco-linee">
    <xsl:for-each select="*[local-name() = 'RiferimentoNumeroLinea']">
      <xsl:if test="position() &gt; 1">, </xsl:if>
      <xsl:value-of select="."/>
    </xsl:for-each>
  </xsl:template>

  <!-- ===================================================================== lines -->

  <xsl:template name="linee">
    <xsl:param name="linee"/>
    <xsl:variable name="con-codici" select="boolean($linee/*[local-name() = 'CodiceArticolo'])"/>
    <xsl:variable name="con-sconti" select="boolean($linee/*[local-name() = 'ScontoMaggiorazione'])"/>
    <xsl:for-each select="$linee[position() mod $linee-per-tabella = 1]">
      <xsl:variable name="fine" select="position() * $linee-per-tabella"/>
      <!-- Cells carry no classes: on invoices with thousands of lines that
           alone would double the memory of the page; the table's classes
           and the cells' positions style them. -->
      <table>
        <xsl:attribute name="class">
          <xsl:text>t linee</xsl:text>
          <xsl:if test="$con-codici"> cc</xsl:if>
          <xsl:if test="$con-sconti"> cs</xsl:if>
        </xsl:attribute>
        <colgroup>
          <col style="width:4%"/>
          <xsl:if test="$con-codici"><col style="width:12%"/></xsl:if>
          <col/>
          <col style="width:10%"/>
          <col style="width:11%"/>
          <xsl:if test="$con-sconti"><col style="width:13%"/></xsl:if>
          <col style="width:11%"/>
          <col style="width:8%"/>
        </colgroup>
        <thead>
          <tr>
            <th class="n">N.</th>
            <xsl:if test="$con-codici"><th>Codice</th></xsl:if>
            <th>Descrizione</th>
            <th class="n">Quantità</th>
            <th class="n">Prezzo unitario</th>
            <xsl:if test="$con-sconti"><th class="n">Sconti/magg.</th></xsl:if>
            <th class="n">Importo</th>
            <th class="n">IVA</th>
          </tr>
        </thead>
        <tbody>
          <xsl:apply-templates mode="linea"
            select="$linee[position() &gt; $fine - $linee-per-tabella and position() &lt;= $fine]">
            <xsl:with-param name="con-codici" select="$con-codici"/>
            <xsl:with-param name="con-sconti" select="$con-sconti"/>
          </xsl:apply-templates>
        </tbody>
      </table>
    </xsl:for-each>
  </xsl:template>

  <xsl:template match="*" mode="linea">
    <xsl:param name="con-codici"/>
    <xsl:param name="con-sconti"/>
    <tr>
      <td><xsl:value-of select="*[local-name() = 'NumeroLinea']"/></td>
      <xsl:if test="$con-codici">
        <td>
          <xsl:for-each select="*[local-name() = 'CodiceArticolo']">
            <xsl:if test="position() &gt; 1"><br/></xsl:if>
            <xsl:value-of select="*[local-name() = 'CodiceValore']"/>
            <xsl:for-each select="*[local-name() = 'CodiceTipo']"><span> (<xsl:value-of select="."/>)</span></xsl:for-each>
            <xsl:call-template name="extra"><xsl:with-param name="noti" select="'|CodiceValore|CodiceTipo|'"/></xsl:call-template>
          </xsl:for-each>
        </td>
      </xsl:if>
      <td>
        <xsl:for-each select="*[local-name() = 'Descrizione']">
          <xsl:if test="position() &gt; 1"><br/></xsl:if>
          <xsl:value-of select="."/>
        </xsl:for-each>
        <xsl:variable name="altri"
          select="*[not(contains('|NumeroLinea|CodiceArticolo|Descrizione|Quantita|UnitaMisura|PrezzoUnitario|ScontoMaggiorazione|PrezzoTotale|AliquotaIVA|', concat('|', local-name(), '|')))]"/>
        <xsl:if test="$altri"><div class="altri"><xsl:apply-templates select="$altri" mode="campi"/></div></xsl:if>
      </td>
      <td>
        <xsl:for-each select="*[local-name() = 'Quantita']">
          <xsl:call-template name="numero"><xsl:with-param name="v" select="."/></xsl:call-template>
        </xsl:for-each>
        <xsl:for-each select="*[local-name() = 'UnitaMisura']"><xsl:text> </xsl:text><xsl:value-of select="."/></xsl:for-each>
      </td>
      <td>
        <xsl:for-each select="*[local-name() = 'PrezzoUnitario']">
          <xsl:call-template name="numero"><xsl:with-param name="v" select="."/></xsl:call-template>
        </xsl:for-each>
      </td>
      <xsl:if test="$con-sconti">
        <td>
          <xsl:for-each select="*[local-name() = 'ScontoMaggiorazione']">
            <div><xsl:call-template name="sconto"/></div>
          </xsl:for-each>
        </td>
      </xsl:if>
      <td>
        <xsl:for-each select="*[local-name() = 'PrezzoTotale']">
          <xsl:if test="position() &gt; 1"><br/></xsl:if>
          <xsl:call-template name="numero"><xsl:with-param name="v" select="."/></xsl:call-template>
        </xsl:for-each>
      </td>
      <td>
        <xsl:for-each select="*[local-name() = 'AliquotaIVA']"><xsl:call-template name="aliquota"/></xsl:for-each>
        <xsl:for-each select="*[local-name() = 'Natura']"><br/><xsl:value-of select="."/></xsl:for-each>
      </td>
    </tr>
  </xsl:template>

  <!-- A discount or surcharge in a few characters: "SC - Sconto 10 %" or "MG - Maggiorazione 2,50". -->
  <xsl:template name="sconto">
    <xsl:for-each select="*[local-name() = 'Tipo']"><xsl:call-template name="codice"/></xsl:for-each>
    <xsl:for-each select="*[local-name() = 'Percentuale']"><xsl:text> </xsl:text><xsl:call-template name="aliquota"/></xsl:for-each>
    <xsl:for-each select="*[local-name() = 'Importo']">
      <xsl:text> </xsl:text><xsl:call-template name="numero"><xsl:with-param name="v" select="."/></xsl:call-template>
    </xsl:for-each>
    <xsl:call-template name="extra"><xsl:with-param name="noti" select="'|Tipo|Percentuale|Importo|'"/></xsl:call-template>
  </xsl:template>

  <!-- Other management data of a line: its type as label, the reference as value. -->
  <xsl:template match="*[local-name() = 'AltriDatiGestionali']" mode="campi">
    <div class="c">
      <span class="l">Dato gestionale <xsl:value-of select="*[local-name() = 'TipoDato']"/></span>
      <span class="v">
        <xsl:for-each select="*[local-name() = 'RiferimentoTesto']"><xsl:value-of select="."/><xsl:text> </xsl:text></xsl:for-each>
        <xsl:for-each select="*[local-name() = 'RiferimentoNumero']"><xsl:apply-templates select="." mode="valore"/><xsl:text> </xsl:text></xsl:for-each>
        <xsl:for-each select="*[local-name() = 'RiferimentoData']"><xsl:apply-templates select="." mode="valore"/></xsl:for-each>
      </span>
    </div>
    <xsl:apply-templates mode="campi"
      select="*[not(contains('|TipoDato|RiferimentoTesto|RiferimentoNumero|RiferimentoData|', concat('|', local-name(), '|')))]
              | *[local-name() = 'TipoDato'][position() &gt; 1]"/>
  </xsl:template>

  <!-- ===================================================================== VAT summary -->

  <xsl:template name="riepilogo">
    <xsl:param name="r"/>
    <xsl:if test="$r">
      <xsl:variable name="con-spese" select="boolean($r/*[local-name() = 'SpeseAccessorie'])"/>
      <xsl:variable name="con-arr" select="boolean($r/*[local-name() = 'Arrotondamento'])"/>
      <table class="t">
        <colgroup>
          <col style="width:9%"/><col/><col style="width:13%"/><col style="width:12%"/><col style="width:17%"/>
          <xsl:if test="$con-spese"><col style="width:10%"/></xsl:if>
          <xsl:if test="$con-arr"><col style="width:10%"/></xsl:if>
        </colgroup>
        <thead>
          <tr>
            <th class="n">Aliquota</th><th>Natura / riferimento normativo</th><th class="n">Imponibile</th><th class="n">Imposta</th><th>Esigibilità</th>
            <xsl:if test="$con-spese"><th class="n">Spese accessorie</th></xsl:if>
            <xsl:if test="$con-arr"><th class="n">Arrotondamento</th></xsl:if>
          </tr>
        </thead>
        <tbody>
          <xsl:for-each select="$r">
            <tr>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'AliquotaIVA'"/><xsl:with-param name="classe" select="'n'"/></xsl:call-template>
              <td>
                <xsl:for-each select="*[local-name() = 'Natura']"><div><xsl:call-template name="codice"/></div></xsl:for-each>
                <xsl:for-each select="*[local-name() = 'RiferimentoNormativo']"><div class="sub"><xsl:value-of select="."/></div></xsl:for-each>
                <xsl:call-template name="extra">
                  <xsl:with-param name="noti" select="'|AliquotaIVA|Natura|RiferimentoNormativo|ImponibileImporto|Imposta|EsigibilitaIVA|SpeseAccessorie|Arrotondamento|'"/>
                </xsl:call-template>
              </td>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'ImponibileImporto'"/><xsl:with-param name="classe" select="'n'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'Imposta'"/><xsl:with-param name="classe" select="'n'"/></xsl:call-template>
              <xsl:call-template name="td"><xsl:with-param name="nome" select="'EsigibilitaIVA'"/></xsl:call-template>
              <xsl:if test="$con-spese">
                <xsl:call-template name="td"><xsl:with-param name="nome" select="'SpeseAccessorie'"/><xsl:with-param name="classe" select="'n'"/></xsl:call-template>
              </xsl:if>
              <xsl:if test="$con-arr">
                <xsl:call-template name="td"><xsl:with-param name="nome" select="'Arrotondamento'"/><xsl:with-param name="classe" select="'n'"/></xsl:call-template>
              </xsl:if>
            </tr>
          </xsl:for-each>
          <xsl:if test="count($r) &gt; 1">
            <tr class="tot">
              <td></td>
              <td>Totale</td>
              <td class="n"><xsl:call-template name="somma"><xsl:with-param name="n" select="sum($r/*[local-name() = 'ImponibileImporto'])"/></xsl:call-template></td>
              <td class="n"><xsl:call-template name="somma"><xsl:with-param name="n" select="sum($r/*[local-name() = 'Imposta'])"/></xsl:call-template></td>
              <td></td>
              <xsl:if test="$con-spese"><td></td></xsl:if>
              <xsl:if test="$con-arr"><td></td></xsl:if>
            </tr>
          </xsl:if>
        </tbody>
      </table>
    </xsl:if>
  </xsl:template>


</xsl:stylesheet>
