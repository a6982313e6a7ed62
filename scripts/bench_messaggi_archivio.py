#!/usr/bin/env python3
"""The archive with the exchange system's messages beside its invoices against the invoices alone: lentiva-cli
elenco --json over DATA_FOLDER/archivio and over DATA_FOLDER/archivio_sdi (genera_archivio_bench.py), run in turn
(A B A B ...), medians of REPS runs (default 9) of the wall and CPU time, and their ratio. With several build
folders, each build's pair runs in turn with the others' in every round.

Usage: bench_messaggi_archivio.py DATA_FOLDER BUILD_FOLDER...
"""
import os
import statistics
import subprocess
import sys
import time

d, builds = sys.argv[1], sys.argv[2:]
volte = int(os.environ.get("REPS", "9"))


def tempo(comando):
    """Wall and CPU time (s) of one run, to the microsecond (the kernel's accounting of the child)."""
    inizio = time.perf_counter()
    figlio = subprocess.Popen(comando, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, _, uso = os.wait4(figlio.pid, 0)
    fine = time.perf_counter()
    figlio.returncode = 0  # reaped by wait4
    return fine - inizio, uso.ru_utime + uso.ru_stime


cartelle = {"fatture": f"{d}/archivio", "con messaggi": f"{d}/archivio_sdi"}
esiti = {(b, c): [] for b in builds for c in cartelle}
for _ in range(volte):
    for b in builds:
        for c, cartella in cartelle.items():
            esiti[(b, c)].append(tempo([f"{b}/lentiva-cli", "elenco", cartella, "--json"]))
for b in builds:
    m = {c: [statistics.median(r[i] for r in esiti[(b, c)]) for i in range(2)] for c in cartelle}
    f, s = m["fatture"], m["con messaggi"]
    print(f"{b}: invoices alone wall {f[0]:6.3f} s CPU {f[1]:6.3f} s; with messages wall {s[0]:6.3f} s "
          f"CPU {s[1]:6.3f} s; ratio wall {s[0] / f[0]:4.2f}x CPU {s[1] / f[1]:4.2f}x")
