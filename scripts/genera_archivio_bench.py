#!/usr/bin/env python3
"""Writes the archive benchmark's inputs into a folder (default bench/data), each only when missing:

  archivio/        10,000 small invoices (about 5 KB each) in 100 folders of 100; one in ten is a signed
                   envelope (.xml.p7m), signed with the openssl tool and a throwaway key made here
  archivio.zip     the same files in one ZIP archive
  archivio_xml/    the same 10,000 invoices as plain XML (the envelopes' content), for xmllint
  archivio_sdi/    the 10,000 invoices of archivio/ (hard links) with one message of the exchange system beside
                   each (delivery receipts, one in ten a rejection with errors, one in ten an outcome), about 3.5 kB
                   with a signature block of the size the system's have (not a valid signature: elenco does not
                   check the messages' own)

Usage: genera_archivio_bench.py [FOLDER]
"""
import base64
import os
import random
import shutil
import subprocess
import sys
import tempfile
import zipfile

qui = os.path.dirname(os.path.abspath(__file__))
cartella = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(qui), "bench", "data")
QUANTE = 10_000

FORNITORI = ["Rossi S.r.l.", "Bianchi &amp; Figli S.p.A.", "Officina Verdi", "Città Nuova soc. coop.", "Neri Luigi"]
ARTICOLI = ["Viti inox M6", "Bulloni zincati", "Guarnizioni in gomma", "Ore di manodopera", "Trasporto",
            "Cavo elettrico 3x2,5", "Vernice acrilica", "Pannello isolante"]


def partita_iva(dieci):
    """The ten digits with their check digit: the archive's invoices pass the exchange system's checks."""
    somma = 0
    for i, c in enumerate(dieci):
        d = int(c)
        if i % 2 == 1:
            d = d * 2 - 9 if d * 2 > 9 else d * 2
        somma += d
    return dieci + str((10 - somma % 10) % 10)


def fattura(n, caso):
    righe, imponibile = [], 0
    for i in range(1, 9):
        quantita = caso.randint(1, 40)
        prezzo = caso.randint(100, 50_000)  # cents
        totale = quantita * prezzo
        imponibile += totale
        righe.append(f"""      <DettaglioLinee>
        <NumeroLinea>{i}</NumeroLinea>
        <CodiceArticolo><CodiceTipo>INTERNO</CodiceTipo><CodiceValore>ART{caso.randint(1000, 9999)}</CodiceValore></CodiceArticolo>
        <Descrizione>{caso.choice(ARTICOLI)}</Descrizione>
        <Quantita>{quantita}.00</Quantita>
        <UnitaMisura>PZ</UnitaMisura>
        <PrezzoUnitario>{prezzo // 100}.{prezzo % 100:02d}</PrezzoUnitario>
        <PrezzoTotale>{totale // 100}.{totale % 100:02d}</PrezzoTotale>
        <AliquotaIVA>22.00</AliquotaIVA>
      </DettaglioLinee>
""")
    imposta = (imponibile * 22 + 50) // 100
    def euro(c):
        return f"{c // 100}.{c % 100:02d}"
    fornitore = FORNITORI[n % len(FORNITORI)]
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<p:FatturaElettronica versione="FPR12" xmlns:p="http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2">
  <FatturaElettronicaHeader>
    <DatiTrasmissione>
      <IdTrasmittente><IdPaese>IT</IdPaese><IdCodice>01234567897</IdCodice></IdTrasmittente>
      <ProgressivoInvio>{n:05d}</ProgressivoInvio>
      <FormatoTrasmissione>FPR12</FormatoTrasmissione>
      <CodiceDestinatario>0000000</CodiceDestinatario>
    </DatiTrasmissione>
    <CedentePrestatore>
      <DatiAnagrafici>
        <IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>{partita_iva(f"{1_000_000_000 + n % 97:010d}")}</IdCodice></IdFiscaleIVA>
        <Anagrafica><Denominazione>{fornitore}</Denominazione></Anagrafica>
        <RegimeFiscale>RF01</RegimeFiscale>
      </DatiAnagrafici>
      <Sede><Indirizzo>Via Roma 1</Indirizzo><CAP>00100</CAP><Comune>Roma</Comune><Nazione>IT</Nazione></Sede>
    </CedentePrestatore>
    <CessionarioCommittente>
      <DatiAnagrafici>
        <CodiceFiscale>BNCLGU90T10L219J</CodiceFiscale>
        <Anagrafica><Nome>Anna</Nome><Cognome>Bianchi</Cognome></Anagrafica>
      </DatiAnagrafici>
      <Sede><Indirizzo>Via Milano 2</Indirizzo><CAP>20100</CAP><Comune>Milano</Comune><Nazione>IT</Nazione></Sede>
    </CessionarioCommittente>
  </FatturaElettronicaHeader>
  <FatturaElettronicaBody>
    <DatiGenerali>
      <DatiGeneraliDocumento>
        <TipoDocumento>TD01</TipoDocumento>
        <Divisa>EUR</Divisa>
        <Data>2026-{1 + n % 12:02d}-{1 + n % 28:02d}</Data>
        <Numero>FT/{n}</Numero>
        <ImportoTotaleDocumento>{euro(imponibile + imposta)}</ImportoTotaleDocumento>
      </DatiGeneraliDocumento>
    </DatiGenerali>
    <DatiBeniServizi>
{"".join(righe)}      <DatiRiepilogo>
        <AliquotaIVA>22.00</AliquotaIVA>
        <ImponibileImporto>{euro(imponibile)}</ImponibileImporto>
        <Imposta>{euro(imposta)}</Imposta>
        <EsigibilitaIVA>I</EsigibilitaIVA>
      </DatiRiepilogo>
    </DatiBeniServizi>
    <DatiPagamento>
      <CondizioniPagamento>TP02</CondizioniPagamento>
      <DettaglioPagamento><ModalitaPagamento>MP05</ModalitaPagamento><ImportoPagamento>{euro(imponibile + imposta)}</ImportoPagamento></DettaglioPagamento>
    </DatiPagamento>
  </FatturaElettronicaBody>
</p:FatturaElettronica>
"""


def genera():
    caso = random.Random(11)
    cartelle = [os.path.join(cartella, d) for d in ("archivio", "archivio_xml")]
    provvisorie = [c + ".tmp" for c in cartelle]
    for p in provvisorie:
        shutil.rmtree(p, ignore_errors=True)
    with tempfile.TemporaryDirectory() as chiavi:
        chiave, certificato = os.path.join(chiavi, "k.pem"), os.path.join(chiavi, "c.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Prova archivio",
                        "-keyout", chiave, "-out", certificato, "-days", "2"], check=True, capture_output=True)
        for n in range(1, QUANTE + 1):
            sotto = f"{(n - 1) // 100:03d}"
            nome = f"IT01234567890_{n:05d}.xml"
            testo = fattura(n, caso).encode()
            for base in provvisorie:
                os.makedirs(os.path.join(base, sotto), exist_ok=True)
            with open(os.path.join(provvisorie[1], sotto, nome), "wb") as f:
                f.write(testo)
            destinazione = os.path.join(provvisorie[0], sotto, nome)
            if n % 10 == 0:
                subprocess.run(["openssl", "cms", "-sign", "-binary", "-nodetach", "-outform", "DER",
                                "-signer", certificato, "-inkey", chiave, "-out", destinazione + ".p7m"],
                               input=testo, check=True, capture_output=True)
            else:
                with open(destinazione, "wb") as f:
                    f.write(testo)
    for p, c in zip(provvisorie, cartelle):
        os.replace(p, c)


FIRMA = ("<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" Id=\"firma\"><ds:SignedInfo>"
         "<ds:CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
         "<ds:SignatureMethod Algorithm=\"http://www.w3.org/2001/04/xmldsig-more#rsa-sha256\"/>"
         "<ds:Reference URI=\"\"><ds:Transforms><ds:Transform "
         "Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/></ds:Transforms>"
         "<ds:DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/><ds:DigestValue>{d}"
         "</ds:DigestValue></ds:Reference></ds:SignedInfo><ds:SignatureValue>{v}</ds:SignatureValue><ds:KeyInfo>"
         "<ds:X509Data><ds:X509Certificate>{c}</ds:X509Certificate></ds:X509Data></ds:KeyInfo></ds:Signature>")


def messaggio(n, caso):
    """The exchange system's message about invoice n, in the later namespace."""
    nome = f"IT01234567890_{n:05d}.xml" + (".p7m" if n % 10 == 0 else "")
    testa = (f"<IdentificativoSdI>{100000 + n}</IdentificativoSdI><NomeFile>{nome}</NomeFile>"
             f"<Hash>{caso.randbytes(32).hex()}</Hash>")
    ora = f"2026-{1 + n % 12:02d}-{1 + n % 28:02d}T10:{n % 60:02d}:00.000+01:00"
    if n % 10 == 3:
        tipo, radice = "NS", "RicevutaScarto"
        corpo = testa + f"<DataOraRicezione>{ora}</DataOraRicezione><ListaErrori>" + "".join(
            f"<Errore><Codice>00{c}</Codice><Descrizione>Errore di prova {c}</Descrizione></Errore>"
            for c in (200, 305, 423)) + "</ListaErrori>"
    elif n % 10 == 7:
        tipo, radice = "NE", "NotificaEsito"
        corpo = testa + f"<EsitoCommittente><IdentificativoSdI>{100000 + n}</IdentificativoSdI><Esito>EC01</Esito>" \
                        "</EsitoCommittente>"
    else:
        tipo, radice = "RC", "RicevutaConsegna"
        corpo = testa + f"<DataOraRicezione>{ora}</DataOraRicezione><DataOraConsegna>{ora}</DataOraConsegna>" \
                        "<Destinatario><Codice>0000000</Codice><Descrizione>Destinatario</Descrizione></Destinatario>"
    firma = FIRMA.format(d=base64.b64encode(caso.randbytes(32)).decode(),
                         v=base64.b64encode(caso.randbytes(256)).decode(),
                         c=base64.b64encode(caso.randbytes(1300)).decode())
    testo = (f'<?xml version="1.0" encoding="UTF-8"?>\n<ns3:{radice} '
             f'xmlns:ns3="http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fattura/messaggi/v1.0" versione="1.0">'
             f"{corpo}<MessageId>{n}</MessageId>{firma}</ns3:{radice}>\n")
    return f"IT01234567890_{n:05d}_{tipo}_001.xml", testo.encode()


def genera_sdi():
    caso = random.Random(18)
    finale = os.path.join(cartella, "archivio_sdi")
    provvisoria = finale + ".tmp"
    shutil.rmtree(provvisoria, ignore_errors=True)
    subprocess.run(["cp", "-al", os.path.join(cartella, "archivio"), provvisoria], check=True)
    for n in range(1, QUANTE + 1):
        nome, testo = messaggio(n, caso)
        with open(os.path.join(provvisoria, f"{(n - 1) // 100:03d}", nome), "wb") as f:
            f.write(testo)
    os.replace(provvisoria, finale)


os.makedirs(cartella, exist_ok=True)
if not all(os.path.isdir(os.path.join(cartella, d)) for d in ("archivio", "archivio_xml")):
    genera()
    print(f"archivio/: {QUANTE:,} fatture")
zip_finale = os.path.join(cartella, "archivio.zip")
if not os.path.exists(zip_finale):
    sorgente = os.path.join(cartella, "archivio")
    with zipfile.ZipFile(zip_finale + ".tmp", "w", zipfile.ZIP_DEFLATED) as z:
        for radice, _, nomi in sorted(os.walk(sorgente)):
            for nome in sorted(nomi):
                pieno = os.path.join(radice, nome)
                z.write(pieno, os.path.relpath(pieno, sorgente))
    os.replace(zip_finale + ".tmp", zip_finale)
    print(f"archivio.zip: {os.path.getsize(zip_finale):,} byte")
if not os.path.isdir(os.path.join(cartella, "archivio_sdi")):
    genera_sdi()
    print(f"archivio_sdi/: {QUANTE:,} fatture e {QUANTE:,} messaggi")
