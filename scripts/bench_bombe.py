#!/usr/bin/env python3
"""The two ZIP bombs (scripts/bombe_zip.py) given to lentiva-cli elenco: wall time and peak memory until each is
refused, median of REPS runs (default 7) taken in turn; with a second build folder, that program in the same turns,
stopped after LIMIT seconds (default 20).

Usage: bench_bombe.py BUILD_FOLDER DATA_FOLDER [EARLIER_BUILD_FOLDER]
"""
import os
import statistics
import subprocess
import sys

b, d = sys.argv[1], sys.argv[2]
prima = sys.argv[3] if len(sys.argv) > 3 else None
volte = int(os.environ.get("REPS", "7"))
limite = float(os.environ.get("LIMIT", "20"))
qui = os.path.dirname(os.path.abspath(__file__))
bombe = os.path.join(d, "bombe")
subprocess.run([sys.executable, os.path.join(qui, "bombe_zip.py"), bombe], check=True, stdout=subprocess.DEVNULL)


def una(cli, bomba):
    """Wall time (s) and peak memory (MB) of one run; None for the time when it was stopped."""
    try:
        r = subprocess.run(["/usr/bin/time", "-f", "%e %M", cli, "elenco", bomba], stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE, text=True, timeout=limite)
    except subprocess.TimeoutExpired:
        return None, None
    e, m = r.stderr.strip().splitlines()[-1].split()
    return float(e), int(m) / 1e3


programmi = {"ora": f"{b}/lentiva-cli"}
if prima:
    programmi["prima"] = f"{prima}/lentiva-cli"
for nome in ("sovrapposta.zip", "annidata.zip"):
    bomba = os.path.join(bombe, nome)
    esiti = {p: [] for p in programmi}
    for _ in range(volte if not prima else max(3, volte // 2)):
        for p, cli in programmi.items():
            esiti[p].append(una(cli, bomba))
    righe = []
    for p, runs in esiti.items():
        fermati = sum(1 for t, _ in runs if t is None)
        if fermati:
            righe.append(f"{p}: {fermati} of {len(runs)} runs stopped after {limite:.0f} s")
        else:
            righe.append(f"{p}: wall {statistics.median(t for t, _ in runs):.3f} s (max {max(t for t, _ in runs):.3f}),"
                         f" peak {max(m for _, m in runs):.1f} MB, {len(runs)} runs")
    print(f"{nome:16} {os.path.getsize(bomba):>8,} bytes  " + "; ".join(righe))
