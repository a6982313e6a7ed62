<?xml version="1.0" encoding="UTF-8"?>
<!--
  Lentiva: the page of a message of the exchange system (SdI): receipts, rejections, outcomes, the lapse of
  terms, metadata. Pure XSLT 1.0 (no extension functions), with the look of the invoice pages.
  Elements are matched by local name, whatever their prefix or namespace. The program adds to the root, in
  the namespace urn:lentiva:messaggi, an element <lv:messaggio sigla tipo esito colore> with the warnings
  (<lv:avviso>) and, per error in order, <lv:errore codice spiegazione noto>; without it (any other XSLT
  processor) the page still shows every field, naming the message by its element.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform" xmlns:lv="urn:lentiva:messaggi"
  exclude-result-prefixes="lv">

  <!-- Imported, not included: the labels below take the place of the invoices' ones. -->
  <xsl:import href="lentiva_base.xsl"/>

  <xsl:output method="html" encoding="UTF-8" indent="no" doctype-system="about:legacy-compat"/>

  <xsl:variable name="radice" select="/*"/>
  <xsl:variable name="info" select="$radice/lv:messaggio[last()]"/>
  <xsl:variable name="sigla" select="string($info/@sigla)"/>
  <xsl:variable name="tipo">
    <xsl:choose>
      <xsl:when test="$info/@tipo"><xsl:value-of select="$info/@tipo"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="local-name($radice)"/></xsl:otherwise>
    </xsl:choose>
  </xsl:variable>
  <xsl:variable name="errori" select="$radice/*[local-name() = 'ListaErrori'][1]/*[local-name() = 'Errore']"/>
  <xsl:variable name="id" select="$radice/*[local-name() = 'IdentificativoSdI'][1]"/>

  <xsl:template match="/">
    <html lang="it">
      <head>
        <title>
          <xsl:if test="$sigla != ''"><xsl:value-of select="$sigla"/><xsl:text> </xsl:text></xsl:if>
          <xsl:value-of select="$tipo"/>
          <xsl:if test="normalize-space($id) != ''"> - identificativo SdI <xsl:value-of select="normalize-space($id)"/></xsl:if>
        </title>
        <xsl:call-template name="stile"/>
        <style type="text/css">
.esito{display:inline-block;padding:1px 10px;border-radius:4px;border:1px solid}
.esito-ok{background:#e4f3e7;color:#1b6e2d;border-color:#1b6e2d}
.esito-ko{background:#fbe7e7;color:#a31b1b;border-color:#a31b1b}
.esito-attenzione{background:#fff3d6;color:#875700;border-color:#c98a00}
.esito-neutro{background:#eef1f4;color:#3d4852;border-color:#9aa6b2}
.sintesi.ok{border-color:#1b6e2d}
.sintesi.ko{border-color:#a31b1b}
.sintesi.attenzione{border-color:#c98a00}
table.errori td:first-child{font-weight:bold;white-space:nowrap}
table.errori .sconosciuto{color:#875700}
</style>
      </head>
      <body>
        <div class="pagina">
          <div class="formato">
            <xsl:text>Messaggio del Sistema di Interscambio - </xsl:text>
            <xsl:value-of select="local-name($radice)"/>
            <xsl:if test="$radice/@versione"> - versione <xsl:value-of select="$radice/@versione"/></xsl:if>
          </div>
          <xsl:for-each select="$info/lv:avviso">
            <div class="avviso"><xsl:value-of select="."/></div>
          </xsl:for-each>
          <xsl:call-template name="sintesi"/>
          <xsl:if test="$errori">
            <xsl:call-template name="tabella-errori"/>
          </xsl:if>
          <div class="sezione">
            <h2>Dati del messaggio</h2>
            <div class="box">
              <xsl:apply-templates mode="campi"
                select="$radice/*[not(local-name() = 'ListaErrori' and count(preceding-sibling::*[local-name() = 'ListaErrori']) = 0)
                                  and namespace-uri() != 'urn:lentiva:messaggi']"/>
              <xsl:for-each select="$radice/@*">
                <div class="c">
                  <span class="l"><xsl:call-template name="etichetta"><xsl:with-param name="n" select="local-name()"/></xsl:call-template></span>
                  <span class="v"><xsl:value-of select="."/></span>
                </div>
              </xsl:for-each>
              <xsl:if test="not($radice/*) and normalize-space($radice) != ''">
                <div class="c w pre"><span class="l">Testo</span><span class="v"><xsl:value-of select="$radice"/></span></div>
              </xsl:if>
            </div>
          </div>
        </div>
      </body>
    </html>
  </xsl:template>

  <!-- The essentials: kind, outcome, identifier, reception; then the invoice named and the recipient. -->
  <xsl:template name="sintesi">
    <xsl:variable name="rif" select="($radice | $radice/*[local-name() = 'EsitoCommittente'])/*[local-name() = 'RiferimentoFattura'][1]"/>
    <xsl:variable name="dest" select="$radice/*[local-name() = 'Destinatario'][1]"/>
    <div class="sintesi {$info/@colore}">
      <table>
        <colgroup><col style="width:38%"/><col style="width:22%"/><col style="width:20%"/><col style="width:20%"/></colgroup>
        <tr class="riga">
          <td>
            <span class="l">Tipo di messaggio</span>
            <div class="grande">
              <xsl:if test="$sigla != ''"><span class="cod"><xsl:value-of select="$sigla"/></span> - </xsl:if>
              <xsl:value-of select="$tipo"/>
            </div>
          </td>
          <td>
            <span class="l">Esito</span>
            <div class="grande">
              <xsl:choose>
                <xsl:when test="$info/@esito">
                  <span class="esito esito-{$info/@colore}"><xsl:value-of select="$info/@esito"/></span>
                </xsl:when>
                <xsl:otherwise>-</xsl:otherwise>
              </xsl:choose>
            </div>
          </td>
          <td><span class="l">Identificativo SdI</span><div class="grande"><xsl:value-of select="$id"/></div></td>
          <td>
            <!-- The date large, its time and zone below it. -->
            <xsl:variable name="ricezione" select="normalize-space($radice/*[local-name() = 'DataOraRicezione'][1])"/>
            <xsl:if test="$ricezione != ''">
              <span class="l">Ricezione</span>
              <div class="grande">
                <xsl:call-template name="data"><xsl:with-param name="v" select="substring($ricezione, 1, 10)"/></xsl:call-template>
              </div>
              <xsl:if test="substring($ricezione, 11) != ''">
                <div class="sub">ore <xsl:value-of select="translate(substring($ricezione, 11), 'T', '')"/></div>
              </xsl:if>
            </xsl:if>
          </td>
        </tr>
      </table>
      <table class="due">
        <tr>
          <td>
            <span class="l">File della fattura</span>
            <div class="nome">
              <xsl:value-of select="$radice/*[local-name() = 'NomeFile'][1]"/>
              <xsl:if test="not($radice/*[local-name() = 'NomeFile'])">-</xsl:if>
            </div>
            <xsl:if test="$rif">
              <div class="sub">
                <xsl:text>Fattura n. </xsl:text><xsl:value-of select="$rif/*[local-name() = 'NumeroFattura']"/>
                <xsl:text> del </xsl:text><xsl:value-of select="$rif/*[local-name() = 'AnnoFattura']"/>
                <xsl:if test="$rif/*[local-name() = 'PosizioneFattura']">
                  <xsl:text>, posizione </xsl:text><xsl:value-of select="$rif/*[local-name() = 'PosizioneFattura']"/>
                </xsl:if>
              </div>
            </xsl:if>
          </td>
          <td>
            <xsl:choose>
              <xsl:when test="$dest">
                <span class="l">Destinatario</span>
                <div class="nome"><xsl:value-of select="$dest/*[local-name() = 'Descrizione']"/></div>
                <div class="sub">Codice <xsl:value-of select="$dest/*[local-name() = 'Codice']"/></div>
              </xsl:when>
              <xsl:when test="$radice/*[local-name() = 'CodiceDestinatario']">
                <span class="l">Codice destinatario</span>
                <div class="nome"><xsl:value-of select="$radice/*[local-name() = 'CodiceDestinatario']"/></div>
              </xsl:when>
            </xsl:choose>
            <xsl:for-each select="$radice/*[local-name() = 'DataOraConsegna'][1]">
              <div class="sub">Consegnata il <xsl:call-template name="data"><xsl:with-param name="v" select="."/></xsl:call-template></div>
            </xsl:for-each>
          </td>
        </tr>
      </table>
    </div>
  </xsl:template>

  <!-- Each error: its code, the system's own words (and suggestion), and what it means. -->
  <xsl:template name="tabella-errori">
    <div class="sezione">
      <h2>Errori riscontrati (<xsl:value-of select="count($errori)"/>)</h2>
      <table class="t errori">
        <colgroup><col style="width:9%"/><col style="width:45%"/><col/></colgroup>
        <thead><tr><th>Codice</th><th>Descrizione del Sistema di Interscambio</th><th>Che cosa significa e che cosa fare</th></tr></thead>
        <tbody>
          <xsl:for-each select="$errori">
            <xsl:variable name="i" select="position()"/>
            <xsl:variable name="lv" select="$info/lv:errore[$i]"/>
            <tr>
              <td><xsl:value-of select="*[local-name() = 'Codice']"/></td>
              <td class="d">
                <xsl:value-of select="*[local-name() = 'Descrizione']"/>
                <xsl:for-each select="*[local-name() = 'Suggerimento'][normalize-space(.) != '']">
                  <div class="sub">Suggerimento: <xsl:value-of select="."/></div>
                </xsl:for-each>
                <xsl:call-template name="extra">
                  <xsl:with-param name="noti" select="'|Codice|Descrizione|Suggerimento|'"/>
                </xsl:call-template>
              </td>
              <td>
                <xsl:if test="$lv/@noto = 'no'"><xsl:attribute name="class">sconosciuto</xsl:attribute></xsl:if>
                <xsl:value-of select="$lv/@spiegazione"/>
              </td>
            </tr>
          </xsl:for-each>
        </tbody>
      </table>
    </div>
  </xsl:template>

  <!-- Outcome codes with their meaning. -->
  <xsl:template match="*[local-name() = 'Esito' or local-name() = 'Scarto']" mode="valore">
    <xsl:variable name="v" select="normalize-space(.)"/>
    <span class="cod"><xsl:value-of select="$v"/></span>
    <xsl:choose>
      <xsl:when test="$v = 'EC01'"> - accettazione</xsl:when>
      <xsl:when test="$v = 'EC02'"> - rifiuto</xsl:when>
      <xsl:when test="$v = 'EN00'"> - notifica non conforme al formato</xsl:when>
      <xsl:when test="$v = 'EN01'"> - notifica non ammissibile</xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- The program's own additions are not data of the message. -->
  <xsl:template match="*[namespace-uri() = 'urn:lentiva:messaggi']" mode="campi" priority="5"/>

  <!-- The messages' labels; anything else by its own name. -->
  <xsl:template name="etichetta">
    <xsl:param name="n" select="local-name()"/>
    <xsl:choose>
      <xsl:when test="$n = 'IdentificativoSdI'">Identificativo SdI</xsl:when>
      <xsl:when test="$n = 'NomeFile'">Nome file</xsl:when>
      <xsl:when test="$n = 'Hash'">Impronta del file (hash)</xsl:when>
      <xsl:when test="$n = 'HashFileOriginale'">Impronta del file originale (hash)</xsl:when>
      <xsl:when test="$n = 'DataOraRicezione'">Data e ora di ricezione</xsl:when>
      <xsl:when test="$n = 'DataOraConsegna'">Data e ora di consegna</xsl:when>
      <xsl:when test="$n = 'DataMessaADisposizione'">Data di messa a disposizione</xsl:when>
      <xsl:when test="$n = 'Destinatario'">Destinatario</xsl:when>
      <xsl:when test="$n = 'Codice'">Codice</xsl:when>
      <xsl:when test="$n = 'Descrizione'">Descrizione</xsl:when>
      <xsl:when test="$n = 'RiferimentoArchivio'">Riferimento all'archivio inviato</xsl:when>
      <xsl:when test="$n = 'ListaErrori'">Altri errori</xsl:when>
      <xsl:when test="$n = 'Errore'">Errore</xsl:when>
      <xsl:when test="$n = 'Suggerimento'">Suggerimento</xsl:when>
      <xsl:when test="$n = 'MessageId'">Identificativo del messaggio</xsl:when>
      <xsl:when test="$n = 'MessageIdCommittente'">Identificativo del messaggio del committente</xsl:when>
      <xsl:when test="$n = 'PecMessageId'">Identificativo del messaggio PEC</xsl:when>
      <xsl:when test="$n = 'Note'">Note</xsl:when>
      <xsl:when test="$n = 'EsitoCommittente'">Esito del committente</xsl:when>
      <xsl:when test="$n = 'Esito'">Esito</xsl:when>
      <xsl:when test="$n = 'Scarto'">Esito dello scarto</xsl:when>
      <xsl:when test="$n = 'RiferimentoFattura'">Riferimento alla fattura</xsl:when>
      <xsl:when test="$n = 'NumeroFattura'">Numero fattura</xsl:when>
      <xsl:when test="$n = 'AnnoFattura'">Anno fattura</xsl:when>
      <xsl:when test="$n = 'PosizioneFattura'">Posizione nel file</xsl:when>
      <xsl:when test="$n = 'CodiceDestinatario'">Codice destinatario</xsl:when>
      <xsl:when test="$n = 'Formato'">Formato</xsl:when>
      <xsl:when test="$n = 'TentativiInvio'">Tentativi di invio</xsl:when>
      <xsl:when test="$n = 'versione'">Versione</xsl:when>
      <xsl:when test="$n = 'IntermediarioConDupliceRuolo'">Intermediario con duplice ruolo</xsl:when>
      <xsl:otherwise><xsl:value-of select="$n"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

</xsl:stylesheet>
