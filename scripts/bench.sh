#!/usr/bin/env bash
# Builds the programs and benchmarks in Release (preset "bench"), writes the
# generated inputs into bench/data/ and prints every figure of BENCHMARKS.md.
# Usage: scripts/bench.sh   (REPS=N sets the repetitions of each benchmark)
set -euo pipefail
cd "$(dirname "$0")/.."
B=build-bench
D=bench/data
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
python3 scripts/genera_dati_bench.py "$D"

echo "== Core (CPU time, median of ${REPS:-3})"
"$B/bench/core_bench" --benchmark_repetitions="${REPS:-3}" --benchmark_report_aggregates_only=true \
  --benchmark_out="$B/core.json" --benchmark_out_format=json >/dev/null
python3 - "$B/core.json" <<'EOF'
import json, sys
righe = {b["run_name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("aggregate_name") == "median"}
def ms(n): return righe[n]["cpu_time"]
def gbs(n): return righe[n]["bytes_per_second"] / 1e9
for nome, pavimento in [("Codec_Decode", "Floor_MemoryCopy"), ("Codec_Encode", "Floor_MemoryCopy"),
                        ("TagScan_Attachments20MB", "Floor_Memchr20MB"), ("LeggiAllegati_20MB", "Floor_ReadFile20MB")]:
    print(f"{nome:28} {gbs(nome):6.2f} GB/s  {ms(nome):8.2f} ms   floor {pavimento}: {gbs(pavimento):6.2f} GB/s")
for caso in ["small_fpa", "lines_5000", "attachments_20mb"]:
    strada, pavimento = ms(f"OpenRoad/{caso}"), ms(f"Floor_ParseTransform/{caso}")
    print(f"OpenRoad/{caso:19} {strada:8.2f} ms   floor parse+transform {pavimento:8.2f} ms   ratio {strada / pavimento:.2f}x")
ogni = ms("OpenRoad/small_fpa_compiled_each_time")
print(f"OpenRoad/small_fpa, stylesheet compiled at every open {ogni:8.2f} ms   ratio {ogni / ms('Floor_ParseTransform/small_fpa'):.2f}x")
# These are in microseconds, the unit they were registered with.
leggi, analisi = ms("Messaggio_LeggiDalDocumento"), ms("Floor_ParseMessaggio")
print(f"Message (200 errors) read from its parsed document {leggi:8.1f} us   floor its parse {analisi:8.1f} us   ratio {leggi / analisi:.3f}")
radice, byte, fattura = (ms(n) for n in ("Messaggio_RiconosciFattura", "Messaggio_FatturaDaByte", "Floor_ParseFattura5000"))
print(f"Invoice of 5,000 lines: root check {radice:8.3f} us, turned away from its bytes {byte:8.3f} us   floor its parse {fattura:8.1f} us")
EOF

echo "== coreutils base64 -d, for reference"
head -c 50331648 /dev/urandom | base64 -w0 > "$B/testo.b64"
inizio=$(date +%s.%N); base64 -d "$B/testo.b64" >/dev/null; fine=$(date +%s.%N)
python3 -c "import os,sys; print(f'{os.path.getsize(sys.argv[1]) / (float(sys.argv[3]) - float(sys.argv[2])) / 1e9:.2f} GB/s')" \
  "$B/testo.b64" "$inizio" "$fine"
rm -f "$B/testo.b64"

echo "== Base64 of a 100 MB file: lentiva-cli base64 and coreutils base64 -w0, side by side (11 runs each, in turn)"
head -c 100000000 /dev/urandom > "$B/dati.bin"
cmp <("$B/lentiva-cli" base64 "$B/dati.bin" | head -c -1) <(base64 -w0 "$B/dati.bin") && echo "same text"
python3 - "$B/lentiva-cli" "$B/dati.bin" <<'EOF'
import subprocess, sys, time
comandi = {"lentiva-cli base64": [sys.argv[1], "base64", sys.argv[2]], "base64 -w0": ["base64", "-w0", sys.argv[2]]}
tempi = {nome: [] for nome in comandi}
for _ in range(11):
    for nome, comando in comandi.items():
        inizio = time.perf_counter()
        subprocess.run(comando, stdout=subprocess.DEVNULL, check=True)
        tempi[nome].append(time.perf_counter() - inizio)
for nome, t in tempi.items():
    t.sort()
    print(f"{nome:20} real time: min {t[0]:.3f} s, median {t[5]:.3f} s")
EOF
for comando in "$B/lentiva-cli base64" "base64 -w0"; do
  /usr/bin/time -f "peak %M KB  $comando" $comando "$B/dati.bin" >/dev/null
done
rm -f "$B/dati.bin"

echo "== Window (offscreen), three runs"
for _ in 1 2 3; do
  QT_QPA_PLATFORM=offscreen QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu XDG_RUNTIME_DIR="$(mktemp -d)" \
    "$B/window_bench" "$D/piccola_fpa.xml" "$D/righe_5000.xml" 2>/dev/null
done

echo "== Signatures (CPU time, median of ${REPS:-3})"
"$B/bench/firma_bench" --benchmark_repetitions="${REPS:-3}" --benchmark_report_aggregates_only=true \
  --benchmark_out="$B/firma.json" --benchmark_out_format=json >/dev/null
python3 - "$B/firma.json" <<'EOF'
import json, sys
righe = {b["run_name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("aggregate_name") == "median"}
sha = righe["Floor_Sha256_20MB"]["cpu_time"]
print(f"{'Floor_Sha256_20MB':22} {sha:8.1f} ms")
for nome in ["Verifica_Busta20MB", "Verifica_Xades20MB"]:
    print(f"{nome:22} {righe[nome]['cpu_time']:8.1f} ms   {righe[nome]['cpu_time'] / sha:.2f}x one SHA-256 pass")
for servizi in (700, 1500):
    r = righe[f"Elenco/{servizi}"]
    print(f"{'Elenco/' + str(servizi):22} {r['cpu_time']:8.1f} ms   list of {r['MB']:.1f} MB, {servizi} services")
EOF
echo "== The same 20 MB through the openssl tool (real time, best of 3)"
for comando in "dgst -sha256 $B/firma_contenuto_20mb.xml" \
  "cms -verify -noverify -binary -inform DER -in $B/firma_busta_20mb.xml.p7m -out /dev/null"; do
  migliore=""
  for _ in 1 2 3; do
    inizio=$(date +%s%N); openssl $comando >/dev/null 2>&1; fine=$(date +%s%N)
    t=$(( (fine - inizio) / 1000000 )); { [ -z "$migliore" ] || [ "$t" -lt "$migliore" ]; } && migliore=$t
  done
  echo "openssl ${comando%% *}: $migliore ms"
done
echo "== Window: signed invoices, with the signature panel's share; the list of 700 services in CERTIFICATORI/"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=Banco -days 2 \
  -keyout "$B/banco.key" -out "$B/banco.pem" 2>/dev/null
for f in piccola_fpa righe_5000; do
  openssl cms -sign -binary -nodetach -outform DER -in "$D/$f.xml" -signer "$B/banco.pem" \
    -inkey "$B/banco.key" -out "$B/$f.xml.p7m"
done
finestra() {
  QT_QPA_PLATFORM=offscreen QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu XDG_RUNTIME_DIR="$(mktemp -d)" \
    "$B/window_bench" "$@" 2>/dev/null
}
for elenco in no yes; do
  [ $elenco = yes ] && cp "$B/firma_elenco_700.xml" "$B/CERTIFICATORI/TSL-IT.xml"
  echo "-- list: $elenco"
  for _ in 1 2 3; do finestra "$B/piccola_fpa.xml.p7m" "$B/righe_5000.xml.p7m"; done
  for _ in 1 2 3; do finestra "$D/righe_5000.xml" "$B/piccola_fpa.xml.p7m"; done
done
rm -f "$B/CERTIFICATORI/TSL-IT.xml"

echo "== Peak memory of lentiva-cli html"
for f in piccola_fpa righe_5000 allegati_20mb allegato_50mb; do
  kb=$( { /usr/bin/time -f "%M" "$B/lentiva-cli" html "$D/$f.xml" >/dev/null; } 2>&1 | tail -1)
  python3 -c "import os,sys; s=os.path.getsize(sys.argv[1]); print(f'{sys.argv[2]:18} file {s/1e6:7.1f} MB  peak {int(sys.argv[3])/1e3:7.1f} MB  {int(sys.argv[3])*1e3/s:5.1f}x')" \
    "$D/$f.xml" "$f" "$kb"
done

echo "== The 50 MB invoice with a 40 MB attachment opens; entity bombs and external entities do not"
"$B/lentiva-cli" allegati "$D/allegato_50mb.xml"
"$B/lentiva-cli" info "$D/allegato_50mb.xml" | head -1
prova=$(mktemp -d)
{
  echo "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY l0 'ha'>"
  for i in 1 2 3 4 5 6 7 8 9; do echo "<!ENTITY l$i '&l$((i-1));&l$((i-1));&l$((i-1));&l$((i-1));&l$((i-1));&l$((i-1));&l$((i-1));&l$((i-1));&l$((i-1));&l$((i-1));'>"; done
  echo "]><r><FormatoTrasmissione>FPR12</FormatoTrasmissione><Numero>&l9;</Numero></r>"
} > "$prova/risate.xml"
printf '%s\n' "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY x SYSTEM 'file:///etc/passwd'>]>" \
  "<r><FormatoTrasmissione>FPR12</FormatoTrasmissione><Numero>&x;</Numero></r>" > "$prova/esterna.xml"
"$B/lentiva-cli" info "$prova/risate.xml" "$prova/esterna.xml" 2>&1 | grep -a "Entity declarations" || true
rm -rf "$prova"

echo "== Controlli dello SdI sulla fattura di 5.000 linee (schemi compilati una volta)"
"$B/bench/controlli_bench" "$B/SCHEMI" "$D/righe_5000.xml" 21
echo "-- come processi, a turno con xmllint --noout --schema (11 volte ciascuno, tempo reale)"
python3 - "$B" "$D/righe_5000.xml" <<'EOF'
import statistics, subprocess, sys, time
b, f = sys.argv[1], sys.argv[2]
comandi = {"xmllint --noout --schema": ["xmllint", "--nonet", "--noout", "--schema", f"{b}/SCHEMI/Schema_VFPA12_V1.2.3.xsd", f],
           "controlli_bench --una": [f"{b}/bench/controlli_bench", "--una", f"{b}/SCHEMI", f]}
tempi = {nome: [] for nome in comandi}
for _ in range(11):
    for nome, comando in comandi.items():
        inizio = time.perf_counter()
        subprocess.run(comando, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        tempi[nome].append(time.perf_counter() - inizio)
mediane = {nome: statistics.median(t) * 1e3 for nome, t in tempi.items()}
for nome, m in mediane.items():
    print(f"{nome:26} mediana {m:7.1f} ms")
print(f"rapporto {mediane['controlli_bench --una'] / mediane['xmllint --noout --schema']:.2f}x")
EOF

echo "== Archivio: 10.000 fatture di circa 5,8 kB (una su dieci firmata), in una cartella e in uno ZIP"
python3 scripts/genera_archivio_bench.py "$D" >/dev/null
python3 scripts/bench_archivio.py "$B" "$D"

echo "== Bombe ZIP: 200 voci sullo stesso blocco di 99 MB, e ZIP annidati 16 x 16 x 16 (405 GB)"
python3 scripts/bench_bombe.py "$B" "$D"
