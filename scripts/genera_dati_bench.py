#!/usr/bin/env python3
"""Writes the benchmark inputs into a folder (default bench/data), each only when missing:

  piccola_fpa.xml     the official small FPA example when the shared corpus is there, else our PA sample
  righe_5000.xml      an ordinary invoice with 5,000 lines
  allegati_20mb.xml   about 20 MB: lines, and three attachments of 5 MB of Base64 text each
  allegato_50mb.xml   about 50 MB: lines, and one attachment of 40 MB of Base64 text (a single text node)

Usage: genera_dati_bench.py [FOLDER]
"""
import base64
import os
import random
import shutil
import subprocess
import sys

qui = os.path.dirname(os.path.abspath(__file__))
radice = os.path.dirname(qui)
cartella = sys.argv[1] if len(sys.argv) > 1 else os.path.join(radice, "bench", "data")
os.makedirs(cartella, exist_ok=True)


def percorso(nome):
    return os.path.join(cartella, nome)


def righe(n):
    """The invoice of genera_fattura_grande.py with n lines, as text."""
    return subprocess.run([sys.executable, os.path.join(qui, "genera_fattura_grande.py"), str(n)],
                          check=True, capture_output=True, text=True).stdout


def con_allegati(totale, allegati):
    """An invoice of about totale bytes: as many lines as fit beside the attachments."""
    testo_allegati = sum(allegati)
    # One line of genera_fattura_grande.py is about 420 bytes.
    n = max(1, (totale - testo_allegati) // 420)
    fattura = righe(n)
    caso = random.Random(6)
    blocchi = []
    for i, dimensione in enumerate(allegati, 1):
        dati = caso.randbytes(dimensione * 3 // 4)
        blocchi.append(f"<Allegati><NomeAttachment>allegato{i}.bin</NomeAttachment>"
                       f"<FormatoAttachment>BIN</FormatoAttachment><Attachment>"
                       f"{base64.b64encode(dati).decode()}</Attachment></Allegati>\n")
    return fattura.replace("</DatiBeniServizi>", "</DatiBeniServizi>\n" + "".join(blocchi))


def scrivi(nome, crea):
    if os.path.exists(percorso(nome)):
        return
    testo = crea()
    with open(percorso(nome) + ".tmp", "w", newline="") as f:
        f.write(testo)
    os.replace(percorso(nome) + ".tmp", percorso(nome))
    print(f"{nome}: {os.path.getsize(percorso(nome)):,} byte")


ufficiale = os.path.join(radice, "..", "shared", "corpus", "xml", "official", "IT01234567890_FPA01.xml")
if not os.path.exists(percorso("piccola_fpa.xml")):
    sorgente = ufficiale if os.path.exists(ufficiale) else os.path.join(radice, "samples", "IT00000000001_ESEMPIO_PA.xml")
    shutil.copyfile(sorgente, percorso("piccola_fpa.xml"))
scrivi("righe_5000.xml", lambda: righe(5000))
scrivi("allegati_20mb.xml", lambda: con_allegati(20_000_000, [5_000_000] * 3))
scrivi("allegato_50mb.xml", lambda: con_allegati(50_000_000, [40_000_000]))
