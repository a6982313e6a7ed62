<?xml version="1.0" encoding="UTF-8"?>
<!--
  Lentiva: ordinary electronic invoice (FPR12), schema 1.2.3. Also the default stylesheet, used for
  invoices of the legacy 1.1 schema and of any format the program does not recognise.
  The page itself is built by lentiva_fattura.xsl, shared with the FPA12 stylesheet.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:include href="lentiva_fattura.xsl"/>
</xsl:stylesheet>
