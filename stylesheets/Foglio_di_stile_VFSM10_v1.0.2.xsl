<?xml version="1.0" encoding="UTF-8"?>
<!--
  Lentiva: simplified electronic invoice (FSM10), schema 1.0.2.
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

  <xsl:template match="/">
    <html lang="it">
      <head>
        <title>
          <xsl:variable name="dgd" select="$corpi[1]/*[local-name() = 'DatiGenerali']/*[local-name() = 'DatiGeneraliDocumento']"/>
          <xsl:text>Fattura semplificata</xsl:text>
          <xsl:for-each select="$dgd/*[local-name() = 'Numero']"> n. <xsl:value-of select="."/></xsl:for-each>
          <xsl:for-each select="$dgd/*[local-name() = 'Data']"> del <xsl:call-template name="data"><xsl:with-param name="v" select="."/></xsl:call-template></xsl:for-each>
        </title>
        <xsl:call-template name="stile"/>
      </head>
      <body>
        <div class="pagina">
          <xsl:choose>
            <xsl:when test="local-name($radice) = 'FatturaElettronicaSemplificata'">
              <xsl:call-template name="fattura"/>
            </xsl:when>
            <xsl:otherwise>
              <xsl:call-template name="non-riconosciuto">
                <xsl:with-param name="atteso" select="'le fatture elettroniche semplificate (FatturaElettronicaSemplificata)'"/>
              </xsl:call-template>
            </xsl:otherwise>
          </xsl:choose>
        </div>
      </body>
    </html>
  </xsl:template>

  <xsl:template name="fattura">
    <div class="formato">
      <xsl:text>Fattura elettronica semplificata</xsl:text>
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

    <div class="sintesi">
      <xsl:if test="$corpi">
        <table>
          <colgroup><col style="width:36%"/><col style="width:20%"/><col style="width:16%"/><col style="width:28%"/></colgroup>
          <xsl:for-each select="$corpi">
            <xsl:variable name="dgd" select="*[local-name() = 'DatiGenerali']/*[local-name() = 'DatiGeneraliDocumento']"/>
            <xsl:variable name="importi" select="*[local-name() = 'DatiBeniServizi']/*[local-name() = 'Importo']"/>
            <tr class="riga">
              <td>
                <span class="l">
                  <xsl:text>Tipo documento</xsl:text>
                  <xsl:if test="count($corpi) &gt; 1"> (<xsl:value-of select="position()"/> di <xsl:value-of select="count($corpi)"/>)</xsl:if>
                </span>
                <div class="grande"><xsl:for-each select="$dgd/*[local-name() = 'TipoDocumento']"><xsl:call-template name="codice"/></xsl:for-each></div>
              </td>
              <td><span class="l">Numero</span><div class="grande"><xsl:value-of select="$dgd/*[local-name() = 'Numero']"/></div></td>
              <td>
                <span class="l">Data</span>
                <div class="grande"><xsl:call-template name="data"><xsl:with-param name="v" select="$dgd/*[local-name() = 'Data']"/></xsl:call-template></div>
              </td>
              <td class="totale">
                <xsl:variable name="totale">
                  <xsl:choose>
                    <xsl:when test="count($importi) = 1"><xsl:call-template name="numero"><xsl:with-param name="v" select="$importi"/></xsl:call-template></xsl:when>
                    <xsl:when test="$importi"><xsl:call-template name="somma"><xsl:with-param name="n" select="sum($importi)"/></xsl:call-template></xsl:when>
                  </xsl:choose>
                </xsl:variable>
                <xsl:if test="$totale != ''">
                  <span class="l">Totale importi</span>
                  <div class="grande"><xsl:value-of select="concat($totale, ' ', normalize-space($dgd/*[local-name() = 'Divisa']))"/></div>
                </xsl:if>
              </td>
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
          </td>
          <td>
            <xsl:for-each select="$cessionario">
              <xsl:call-template name="soggetto">
                <xsl:with-param name="n" select="."/>
                <xsl:with-param name="titolo" select="'Cessionario/committente (cliente)'"/>
              </xsl:call-template>
            </xsl:for-each>
            <xsl:if test="$testata/*[local-name() = 'SoggettoEmittente']">
              <div class="box"><xsl:apply-templates select="$testata/*[local-name() = 'SoggettoEmittente']" mode="campi"/></div>
            </xsl:if>
          </td>
        </tr>
      </table>
    </div>

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
        <xsl:apply-templates mode="campi"
          select="$testata/*[not(contains('|DatiTrasmissione|CedentePrestatore|CessionarioCommittente|SoggettoEmittente|', concat('|', local-name(), '|')))]
                  | $radice/*[local-name() != 'FatturaElettronicaHeader' and local-name() != 'FatturaElettronicaBody']"/>
      </div>
    </div>
  </xsl:template>

  <xsl:template name="corpo">
    <xsl:param name="i"/>
    <xsl:param name="n"/>
    <xsl:variable name="dg" select="*[local-name() = 'DatiGenerali']"/>
    <xsl:variable name="dgd" select="$dg/*[local-name() = 'DatiGeneraliDocumento']"/>
    <xsl:variable name="beni" select="*[local-name() = 'DatiBeniServizi']"/>
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
          <xsl:apply-templates select="$dgd/*" mode="campi"/>
          <xsl:apply-templates select="$dg/*[local-name() != 'DatiGeneraliDocumento']" mode="campi"/>
        </div>
      </div>
    </xsl:if>

    <xsl:if test="$beni">
      <div class="sezione">
        <h2>Beni e servizi</h2>
        <table class="t">
          <colgroup><col/><col style="width:13%"/><col style="width:12%"/><col style="width:10%"/><col style="width:26%"/></colgroup>
          <thead><tr><th>Descrizione</th><th class="n">Importo</th><th class="n">di cui IVA</th><th class="n">Aliquota IVA</th><th>Natura / riferimento normativo</th></tr></thead>
          <tbody>
            <xsl:for-each select="$beni">
              <xsl:variable name="iva" select="*[local-name() = 'DatiIVA']"/>
              <tr>
                <td>
                  <xsl:for-each select="*[local-name() = 'Descrizione']"><div class="pre"><span class="v"><xsl:value-of select="."/></span></div></xsl:for-each>
                </td>
                <td class="n"><b><xsl:for-each select="*[local-name() = 'Importo']"><xsl:call-template name="numero"><xsl:with-param name="v" select="."/></xsl:call-template></xsl:for-each></b></td>
                <td class="n"><xsl:for-each select="$iva/*[local-name() = 'Imposta']"><xsl:call-template name="numero"><xsl:with-param name="v" select="."/></xsl:call-template></xsl:for-each></td>
                <td class="n"><xsl:for-each select="$iva/*[local-name() = 'Aliquota']"><xsl:call-template name="aliquota"/></xsl:for-each></td>
                <td>
                  <xsl:for-each select="*[local-name() = 'Natura']"><div><xsl:call-template name="codice"/></div></xsl:for-each>
                  <xsl:for-each select="*[local-name() = 'RiferimentoNormativo']"><div class="sub"><xsl:value-of select="."/></div></xsl:for-each>
                  <xsl:call-template name="extra"><xsl:with-param name="noti" select="'|Descrizione|Importo|DatiIVA|Natura|RiferimentoNormativo|'"/></xsl:call-template>
                  <xsl:for-each select="$iva">
                    <xsl:call-template name="extra"><xsl:with-param name="noti" select="'|Imposta|Aliquota|'"/></xsl:call-template>
                  </xsl:for-each>
                </td>
              </tr>
            </xsl:for-each>
          </tbody>
        </table>
      </div>
    </xsl:if>

    <xsl:if test="*[local-name() = 'Allegati']">
      <div class="sezione">
        <h2>Allegati</h2>
        <xsl:call-template name="tabella-allegati"><xsl:with-param name="r" select="*[local-name() = 'Allegati']"/></xsl:call-template>
      </div>
    </xsl:if>

    <xsl:variable name="altri" select="*[not(contains('|DatiGenerali|DatiBeniServizi|Allegati|', concat('|', local-name(), '|')))]"/>
    <xsl:if test="$altri">
      <div class="sezione">
        <h2>Altri dati</h2>
        <div class="box"><xsl:apply-templates select="$altri" mode="campi"/></div>
      </div>
    </xsl:if>
  </xsl:template>

</xsl:stylesheet>
