#!/usr/bin/env python3
"""One program against another on the archive benchmark's 10,000 invoices (genera_archivio_bench.py), the two run in
turn (A B A B ...), medians of REPS runs (default 9): lentiva-cli elenco --json over the folder and over the ZIP (wall
and CPU time, peak memory), the archive window on the folder (first rows and whole table), and, for the second
program only, elenco --riepilogo-iva over the folder.

Usage: bench_prima_dopo.py EARLIER_BUILD_FOLDER LATER_BUILD_FOLDER DATA_FOLDER
"""
import os
import statistics
import subprocess
import sys
import tempfile

prima, dopo, d = sys.argv[1:4]
volte = int(os.environ.get("REPS", "9"))
ambiente = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=tempfile.mkdtemp())


def tempo(comando):
    r = subprocess.run(["/usr/bin/time", "-f", "%e %U %S %M"] + comando, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True, env=ambiente)
    e, u, s, m = r.stderr.strip().splitlines()[-1].split()
    return float(e), float(u) + float(s), int(m) / 1e3


def finestra(build):
    r = subprocess.run([f"{build}/archivio_bench", f"{d}/archivio"], capture_output=True, text=True, env=ambiente)
    parti = [riga for riga in r.stdout.splitlines() if "righe" in riga][0].split()
    return int(parti[parti.index("prime") + 2]) / 1e3, int(parti[parti.index("intera") + 1]) / 1e3, 0.0


prove = {
    "elenco --json, folder": lambda b: tempo([f"{b}/lentiva-cli", "elenco", f"{d}/archivio", "--json"]),
    "elenco --json, ZIP": lambda b: tempo([f"{b}/lentiva-cli", "elenco", f"{d}/archivio.zip", "--json"]),
    "window, folder": finestra,
}
for nome, prova in prove.items():
    esiti = {prima: [], dopo: []}
    for _ in range(volte):
        for b in (prima, dopo):
            esiti[b].append(prova(b))
    m = {b: [statistics.median(r[i] for r in runs) for i in range(2)] + [max(r[2] for r in runs)]
         for b, runs in esiti.items()}
    if nome.startswith("window"):
        print(f"{nome:24} first rows {m[prima][0] * 1e3:4.0f} -> {m[dopo][0] * 1e3:4.0f} ms, "
              f"whole table {m[prima][1]:5.2f} -> {m[dopo][1]:5.2f} s ({m[dopo][1] / m[prima][1]:4.2f}x)")
    else:
        print(f"{nome:24} wall {m[prima][0]:5.2f} -> {m[dopo][0]:5.2f} s ({m[dopo][0] / m[prima][0]:4.2f}x), "
              f"CPU {m[prima][1]:5.2f} -> {m[dopo][1]:5.2f} s ({m[dopo][1] / m[prima][1]:4.2f}x), "
              f"peak {m[prima][2]:5.1f} -> {m[dopo][2]:5.1f} MB")
esiti = {"json": [], "riepilogo": []}
for _ in range(volte):
    esiti["json"].append(tempo([f"{dopo}/lentiva-cli", "elenco", f"{d}/archivio", "--json"]))
    esiti["riepilogo"].append(tempo([f"{dopo}/lentiva-cli", "elenco", f"{d}/archivio", "--riepilogo-iva"]))
j, r = ([statistics.median(x[i] for x in esiti[k]) for i in range(2)] for k in ("json", "riepilogo"))
print(f"{'elenco --riepilogo-iva':24} wall {r[0]:5.2f} s ({r[0] / j[0]:4.2f}x --json's {j[0]:5.2f} s), "
      f"CPU {r[1]:5.2f} s ({r[1] / j[1]:4.2f}x)")
