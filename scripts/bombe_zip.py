#!/usr/bin/env python3
"""Writes the two ZIP bombs the archive must refuse quickly into a folder (default bench/data/bombe), each only
when missing, with a minimal ZIP writer (the compressed bytes made once and reused, so it takes a second):

  sovrapposta.zip  200 central entries all pointing at one local entry of 99 MB of zeros (about 107 KB)
  annidata.zip     ZIP archives nested 16 x 16 x 16, each innermost holding 16 entries of 99 MB of zeros
                   (4,096 of them: about 405 GB once inflated, about 30 KB on disk)

Usage: bombe_zip.py [FOLDER]
"""
import os
import struct
import sys
import zlib

qui = os.path.dirname(os.path.abspath(__file__))
cartella = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(qui), "bench", "data", "bombe")
MB99 = 99 * 1000 * 1000


def deflate(dati):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(dati) + c.flush()


def zeri_compressi():
    """99 MB of zeros, deflated, with their CRC-32."""
    c, crc, blocco = zlib.compressobj(9, zlib.DEFLATED, -15), 0, bytes(1 << 20)
    pezzi, resto = [], MB99
    while resto:
        b = blocco[:min(resto, len(blocco))]
        pezzi.append(c.compress(b))
        crc = zlib.crc32(b, crc)
        resto -= len(b)
    pezzi.append(c.flush())
    return b"".join(pezzi), crc


def locale(nome, compressi, crc, dimensione):
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, 0, 0, crc, len(compressi), dimensione, len(nome),
                       0) + nome + compressi


def centrale(nome, crc, compressa, dimensione, dove):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0, crc, compressa, dimensione, len(nome),
                       0, 0, 0, 0, 0, dove) + nome


def fine(voci, indice, dove):
    return struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, voci, voci, len(indice), dove, 0)


def archivio(voci):
    """A ZIP of (name, deflated bytes, crc, size) entries."""
    dati, indice = b"", b""
    for nome, compressi, crc, dimensione in voci:
        indice += centrale(nome, crc, len(compressi), dimensione, len(dati))
        dati += locale(nome, compressi, crc, dimensione)
    return dati + indice + fine(len(voci), indice, len(dati))


def voce(nome, contenuto):
    return nome, deflate(contenuto), zlib.crc32(contenuto), len(contenuto)


def scrivi(nome, fai):
    percorso = os.path.join(cartella, nome)
    if not os.path.exists(percorso):
        with open(percorso + ".tmp", "wb") as f:
            f.write(fai())
        os.replace(percorso + ".tmp", percorso)
    print(f"{percorso}: {os.path.getsize(percorso):,} bytes")


os.makedirs(cartella, exist_ok=True)
zeri, crc = zeri_compressi()


def sovrapposta():
    dati = locale(b"bomba.xml", zeri, crc, MB99)
    indice = b"".join(centrale(b"bomba%03d.xml" % i, crc, len(zeri), MB99, 0) for i in range(200))
    return dati + indice + fine(200, indice, len(dati))


def annidata():
    foglia = archivio([(b"f%02d.xml" % i, zeri, crc, MB99) for i in range(16)])
    medio = archivio([voce(b"c%02d.zip" % i, foglia) for i in range(16)])
    return archivio([voce(b"b%02d.zip" % i, medio) for i in range(16)])


scrivi("sovrapposta.zip", sovrapposta)
scrivi("annidata.zip", annidata)
