#!/usr/bin/env python3
"""The archive and batch figures of BENCHMARKS.md, each beside its reference, the commands run in turn (A B A B ...)
so that the shared machine's load falls on both alike; medians of REPS runs (default 7):

  xmllint --noout over the 10,000 plain invoices in one process (the floor), lentiva-cli elenco --json over the folder
  and over the ZIP: wall time, CPU time (user + system) and peak memory;
  the archive window (archivio_bench, which checks every invoice as the program does) on the folder, in turn with
  elenco --controlli: first rows and whole table;
  elenco --json with and without --controlli (the exchange system's checks on every invoice), folder and ZIP;
  elenco --json over 100,000 invoices (the folder ten times, as hard links) in turn with the 10,000;
  lentiva-cli html over 200 of the plain invoices into a folder, in turn with xsltproc --nonet and the same stylesheet;
  elenco --json over the 10,000 invoices with 10,000 messages of the exchange system beside them (archivio_sdi/), in
  turn with the invoices alone.

Usage: bench_archivio.py BUILD_FOLDER DATA_FOLDER   (the data from genera_archivio_bench.py)
"""
import glob
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

b, d = sys.argv[1], sys.argv[2]
volte = int(os.environ.get("REPS", "7"))


def una(comando, ambiente=None):
    """Wall time (s), CPU time (s) and peak memory (MB) of one run, its output discarded. The times to the
    microsecond (the kernel's accounting of the child, as /usr/bin/time has it, which rounds to 10 ms): the runs
    are a few tenths of a second."""
    inizio = time.perf_counter()
    figlio = subprocess.Popen(comando, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=ambiente)
    _, _, uso = os.wait4(figlio.pid, 0)
    fine = time.perf_counter()
    figlio.returncode = 0  # reaped by wait4
    return fine - inizio, uso.ru_utime + uso.ru_stime, uso.ru_maxrss / 1e3


def a_turno(comandi):
    """Each command's runs, the commands taken in turn; {name: [(wall, cpu, peak), ...]}."""
    esiti = {nome: [] for nome in comandi}
    for _ in range(volte):
        for nome, comando in comandi.items():
            esiti[nome].append(comando() if callable(comando) else una(comando))
    return esiti


def mediane(runs):
    return tuple(statistics.median(r[i] for r in runs) for i in range(2)) + (max(r[2] for r in runs),)


cli = f"{b}/lentiva-cli"
chiari = sorted(glob.glob(f"{d}/archivio_xml/*/*.xml"))
print(f"== 10,000 invoices, {volte} runs in turn: median wall and CPU, highest peak")
esiti = a_turno({
    "xmllint --noout, plain files": ["xmllint", "--noout"] + chiari,
    "elenco --json, folder": [cli, "elenco", f"{d}/archivio", "--json"],
    "elenco --json, ZIP": [cli, "elenco", f"{d}/archivio.zip", "--json"],
})
riferimento = mediane(esiti["xmllint --noout, plain files"])
for nome, runs in esiti.items():
    parete, cpu, picco = mediane(runs)
    print(f"{nome:32} wall {parete:5.2f} s ({parete / riferimento[0]:4.2f}x)  "
          f"CPU {cpu:5.2f} s ({cpu / riferimento[1]:4.2f}x)  peak {picco:6.1f} MB")

# The window in turn with the command line, on the folder.
ambiente = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=tempfile.mkdtemp())


def finestra():
    r = subprocess.run(["/usr/bin/time", "-f", "%M", f"{b}/archivio_bench", f"{d}/archivio"], capture_output=True,
                       text=True, env=ambiente)
    parti = [l for l in r.stdout.splitlines() if "righe" in l][0].split()
    return int(parti[parti.index("prime") + 2]) / 1e3, int(parti[parti.index("intera") + 1]) / 1e3, \
        int(r.stderr.strip().splitlines()[-1]) / 1e3


esiti = a_turno({"finestra": finestra, "elenco": [cli, "elenco", f"{d}/archivio", "--json", "--controlli"]})
prime = statistics.median(r[0] for r in esiti["finestra"])
intera = statistics.median(r[1] for r in esiti["finestra"])
riga = statistics.median(r[0] for r in esiti["elenco"])
print(f"{'window, folder':32} first rows {prime * 1e3:4.0f} ms, whole table {intera:5.2f} s "
      f"({intera / riga:4.2f}x elenco --controlli's {riga:5.2f} s), peak {max(r[2] for r in esiti['finestra']):6.1f} MB")

# The exchange system's checks on every invoice, beside the same reading without them.
for dove, percorso in (("folder", f"{d}/archivio"), ("ZIP", f"{d}/archivio.zip")):
    esiti = a_turno({"senza": [cli, "elenco", percorso, "--json"],
                     "con": [cli, "elenco", percorso, "--json", "--controlli"]})
    senza, con = mediane(esiti["senza"]), mediane(esiti["con"])
    print(f"{'elenco --json --controlli, ' + dove:32} wall {con[0]:5.2f} s ({con[0] / senza[0]:4.2f}x without's "
          f"{senza[0]:4.2f} s)  CPU {con[1]:5.2f} s ({con[1] / senza[1]:4.2f}x)  peak {con[2]:6.1f} MB "
          f"(without: {senza[2]:5.1f} MB)")

# 100,000: the folder ten times over, as hard links (the same work per file, ten times the files).
grande = f"{d}/archivio_100k"
if not os.path.isdir(grande):
    os.makedirs(grande + ".tmp", exist_ok=True)
    for i in range(10):
        subprocess.run(["cp", "-al", f"{d}/archivio", f"{grande}.tmp/{i}"], check=True)
    os.replace(grande + ".tmp", grande)
esiti = a_turno({"10,000": [cli, "elenco", f"{d}/archivio", "--json"],
                 "100,000": [cli, "elenco", grande, "--json"]})
dieci, cento = mediane(esiti["10,000"]), mediane(esiti["100,000"])
print(f"{'elenco --json, 100,000':32} wall {cento[0]:5.2f} s ({cento[0] / dieci[0]:4.1f}x the 10,000's "
      f"{dieci[0]:4.2f} s)  CPU {cento[1]:5.2f} s ({cento[1] / dieci[1]:4.1f}x)  peak {cento[2]:6.1f} MB "
      f"(10,000: {dieci[2]:5.1f} MB)")

# html over 200 small invoices into a folder on the same disk, beside xsltproc writing its pages to one file.
duecento = chiari[:200]
foglio = f"{b}/FODISTILE/Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl"
pagine = f"{b}/bench-pagine"


def html():
    shutil.rmtree(pagine, ignore_errors=True)
    return una([cli, "html", *duecento, "-d", pagine])


esiti = a_turno({"xsltproc": ["xsltproc", "--nonet", "-o", f"{b}/bench-xsltproc.html", foglio, *duecento],
                 "html": html})
x, h = mediane(esiti["xsltproc"]), mediane(esiti["html"])
print(f"{'html -d, 200 invoices':32} wall {h[0]:5.2f} s ({h[0] / x[0]:4.2f}x xsltproc's {x[0]:4.2f} s)  "
      f"CPU {h[1]:5.2f} s ({h[1] / x[1]:4.2f}x)")
shutil.rmtree(pagine, ignore_errors=True)

# The messages beside the invoices: each read in the same pass, and each invoice's fate told.
esiti = a_turno({"invoices": [cli, "elenco", f"{d}/archivio", "--json"],
                 "with messages": [cli, "elenco", f"{d}/archivio_sdi", "--json"]})
sole, con = mediane(esiti["invoices"]), mediane(esiti["with messages"])
print(f"{'elenco --json, +10,000 messages':32} wall {con[0]:5.2f} s ({con[0] / sole[0]:4.2f}x the invoices' "
      f"{sole[0]:4.2f} s)  CPU {con[1]:5.2f} s ({con[1] / sole[1]:4.2f}x)  peak {con[2]:6.1f} MB "
      f"(invoices: {sole[2]:5.1f} MB)")
