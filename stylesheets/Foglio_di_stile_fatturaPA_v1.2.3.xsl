<?xml version="1.0" encoding="UTF-8"?>
<!--
  Lentiva: electronic invoice to a public administration (FPA12), schema 1.2.3.
  The page itself is built by lentiva_fattura.xsl, shared with the FPR12 stylesheet.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:include href="lentiva_fattura.xsl"/>
</xsl:stylesheet>
