#!/usr/bin/env python3
"""Writes an ordinary invoice with many lines, to measure how fast the stylesheets render it.

Usage: genera_fattura_grande.py [LINES] [--errate] > big.xml   (default 5000 lines)
With --errate every line's total is wrong twice: one decimal only (a schema error) and one cent off.
"""
import sys

argomenti = [a for a in sys.argv[1:] if a != "--errate"]
errate = "--errate" in sys.argv[1:]
righe = int(argomenti[0]) if argomenti else 5000
out = sys.stdout
out.write("""<?xml version="1.0" encoding="UTF-8"?>
<p:FatturaElettronica versione="FPR12" xmlns:p="http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2">
<FatturaElettronicaHeader>
<DatiTrasmissione><IdTrasmittente><IdPaese>IT</IdPaese><IdCodice>00000000001</IdCodice></IdTrasmittente>
<ProgressivoInvio>99999</ProgressivoInvio><FormatoTrasmissione>FPR12</FormatoTrasmissione>
<CodiceDestinatario>0000000</CodiceDestinatario></DatiTrasmissione>
<CedentePrestatore><DatiAnagrafici><IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>00000000001</IdCodice></IdFiscaleIVA>
<Anagrafica><Denominazione>Ingrosso Alimentari Esempio S.p.A.</Denominazione></Anagrafica><RegimeFiscale>RF01</RegimeFiscale>
</DatiAnagrafici><Sede><Indirizzo>Via del Mercato 1</Indirizzo><CAP>00100</CAP><Comune>Roma</Comune><Provincia>RM</Provincia>
<Nazione>IT</Nazione></Sede></CedentePrestatore>
<CessionarioCommittente><DatiAnagrafici><IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>09876543210</IdCodice></IdFiscaleIVA>
<Anagrafica><Denominazione>Supermercato di Prova S.r.l.</Denominazione></Anagrafica></DatiAnagrafici>
<Sede><Indirizzo>Via Roma 2</Indirizzo><CAP>00100</CAP><Comune>Roma</Comune><Nazione>IT</Nazione></Sede></CessionarioCommittente>
</FatturaElettronicaHeader>
<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01</TipoDocumento><Divisa>EUR</Divisa>
<Data>2024-06-30</Data><Numero>G-1</Numero></DatiGeneraliDocumento></DatiGenerali>
<DatiBeniServizi>
""")
totale = 0
for n in range(1, righe + 1):
    centesimi = 100 + (n * 37) % 9000
    qta = 1 + n % 12
    totale += centesimi * qta
    riga = centesimi * qta + (10 if errate else 0)
    prezzo_totale = f"{riga // 100}.{riga % 100 // 10}" if errate else f"{riga // 100}.{riga % 100:02d}"
    out.write(f"<DettaglioLinee><NumeroLinea>{n}</NumeroLinea>"
              f"<CodiceArticolo><CodiceTipo>EAN</CodiceTipo><CodiceValore>80{n:011d}</CodiceValore></CodiceArticolo>"
              f"<Descrizione>Articolo di prova numero {n}, confezione da {qta} pezzi</Descrizione>"
              f"<Quantita>{qta}.00</Quantita><UnitaMisura>PZ</UnitaMisura>"
              f"<PrezzoUnitario>{centesimi // 100}.{centesimi % 100:02d}000000</PrezzoUnitario>"
              f"<PrezzoTotale>{prezzo_totale}</PrezzoTotale>"
              f"<AliquotaIVA>10.00</AliquotaIVA></DettaglioLinee>\n")
imposta = (totale * 10 + 50) // 100
out.write(f"<DatiRiepilogo><AliquotaIVA>10.00</AliquotaIVA><ImponibileImporto>{totale // 100}.{totale % 100:02d}"
          f"</ImponibileImporto><Imposta>{imposta // 100}.{imposta % 100:02d}</Imposta>"
          f"<EsigibilitaIVA>I</EsigibilitaIVA></DatiRiepilogo>\n")
out.write("</DatiBeniServizi></FatturaElettronicaBody></p:FatturaElettronica>\n")
