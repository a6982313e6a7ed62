#!/usr/bin/env python3
"""The archive figures of BENCHMARKS.md: xmllint --noout over the 10,000 plain invoices in one process (the floor),
lentiva-cli elenco --json over the folder and over the ZIP, and the archive window on both (first rows, whole
table); wall times, median of REPS runs (default 3), and the highest peak memory.

Usage: bench_archivio.py BUILD_FOLDER DATA_FOLDER   (the data from genera_archivio_bench.py)
"""
import glob
import os
import statistics
import subprocess
import sys
import tempfile

b, d = sys.argv[1], sys.argv[2]
volte = int(os.environ.get("REPS", "3"))


def misura(comando, ambiente=None):
    """Median wall time (s) and highest peak memory (MB) of the command, its output discarded."""
    tempi, picchi = [], []
    for _ in range(volte):
        r = subprocess.run(["/usr/bin/time", "-f", "%e %M"] + comando, stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE, text=True, env=ambiente)
        e, m = r.stderr.strip().splitlines()[-1].split()
        tempi.append(float(e))
        picchi.append(int(m) / 1e3)
    return statistics.median(tempi), max(picchi)


chiari = sorted(glob.glob(f"{d}/archivio_xml/*/*.xml"))
xmllint, _ = misura(["xmllint", "--noout"] + chiari)
print(f"{'xmllint --noout, 10.000 file chiari':40} {xmllint:6.2f} s")
cli = {}
for nome, percorso in [("cartella", f"{d}/archivio"), ("ZIP", f"{d}/archivio.zip")]:
    cli[nome], picco = misura([f"{b}/lentiva-cli", "elenco", percorso, "--json"])
    print(f"{'lentiva-cli elenco --json, ' + nome:40} {cli[nome]:6.2f} s  {cli[nome] / xmllint:4.2f}x xmllint"
          f"  picco {picco:6.1f} MB")

ambiente = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=tempfile.mkdtemp())
prime, intere, picchi = {"cartella": [], "ZIP": []}, {"cartella": [], "ZIP": []}, []
for _ in range(volte):
    r = subprocess.run(["/usr/bin/time", "-f", "%M", f"{b}/archivio_bench", f"{d}/archivio", f"{d}/archivio.zip"],
                       capture_output=True, text=True, env=ambiente)
    for nome, riga in zip(["cartella", "ZIP"], [l for l in r.stdout.splitlines() if "righe" in l]):
        parti = riga.split()
        prime[nome].append(int(parti[parti.index("prime") + 2]))
        intere[nome].append(int(parti[parti.index("intera") + 1]))
    picchi.append(int(r.stderr.strip().splitlines()[-1]) / 1e3)
for nome in ["cartella", "ZIP"]:
    p, t = statistics.median(prime[nome]), statistics.median(intere[nome]) / 1e3
    print(f"{'finestra, ' + nome:40} prime righe {p:5.0f} ms, tabella intera {t:5.2f} s"
          f"  ({t / cli[nome]:4.2f}x la riga di comando)")
print(f"{'finestra, picco (le due letture)':40} {max(picchi):6.1f} MB")
