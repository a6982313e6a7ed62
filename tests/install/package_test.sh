#!/usr/bin/env bash
# Builds the Debian package, installs it into this machine with apt-get, checks
# what a user gets from it and purges it again. Needs root; skips (77) when it
# is not, or when the machine already has Lentiva in /opt/lentiva.
# Usage: package_test.sh BUILD_DIR [sanitized]
set -uo pipefail
build=$1
skip() {
  echo "SKIP: $*"
  exit 77
}
[ "${2:-}" != sanitized ] || skip "the package is made from the normal build, not the sanitized one"
[ "$(id -u)" -eq 0 ] || skip "not root: the package installs into the machine, which only root may do"
# One package test at a time on the machine, whichever build runs it.
exec 9>/tmp/lentiva-package-test.lock
flock -w 600 9 || skip "another package test holds the lock"
dpkg-query -W -f='${Status}' lentiva 2>/dev/null | grep -q "install ok" && skip "the lentiva package is installed here: left alone"
[ ! -e /opt/lentiva ] || skip "/opt/lentiva exists already: left alone"

scratch=$(mktemp -d)
chmod 0755 "$scratch"
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300)
installed=0
cleanup() {
  [ $installed -eq 0 ] || "${apt[@]}" purge lentiva >/dev/null 2>&1
  rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
run() { # run LOG COMMAND...: the log shown when the command fails
  local log=$scratch/$1
  shift
  "$@" >"$log" 2>&1 || {
    cat "$log"
    return 1
  }
}
names() { (cd "$1" && find . -mindepth 1 | sort); }

run cpack.log cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" || exit 1
deb=$(echo "$scratch"/out/lentiva_*_*.deb)
[ -f "$deb" ] || { echo "FAIL: no lentiva_<version>_<arch>.deb in $(ls "$scratch/out")"; exit 1; }
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
lintian --fail-on error "$deb" 2>/dev/null || fail "lintian reports errors"

start=$(date +%s%N)
installed=1
run install.log "${apt[@]}" install --no-install-recommends "$deb" || exit 1
echo "installed in $((($(date +%s%N) - start) / 1000000)) ms"

# The program folder is what cmake --install lays out, every rule included.
run folder.log cmake --install "$build" --prefix "$scratch/folder" || exit 1
[ "$(names /opt/lentiva)" = "$(names "$scratch/folder")" ] ||
  fail "/opt/lentiva differs from cmake --install: $(diff <(names /opt/lentiva) <(names "$scratch/folder") | tr '\n' ' ')"
[ "$(readlink /opt/lentiva/ossl/openssl)" = /usr/bin/openssl ] || fail "ossl/openssl -> $(readlink /opt/lentiva/ossl/openssl)"
for program in lentiva lentiva-cli; do
  [ "$(readlink /usr/bin/$program)" = /opt/lentiva/$program ] || fail "/usr/bin/$program is not a link to the folder"
done
info=$(cd / && lentiva-cli info /opt/lentiva/FATTURE/IT00000000001_ESEMPIO1.xml 2>&1)
[ "$(head -3 <<<"$info")" = $'Formato: FPR12\nTipo documento: TD06 parcella\nNumero: 2024/17' ] ||
  fail "lentiva-cli info from /usr/bin: $info"

entry=/usr/share/applications/lentiva.desktop
desktop-file-validate "$entry" || fail "the desktop entry does not validate"
grep -qxF "Exec=/usr/bin/lentiva %f" "$entry" || fail "Exec line: $(grep ^Exec "$entry")"
grep -qxF "MimeType=application/xml;text/xml;application/pkcs7-mime;" "$entry" || fail "MimeType line"
appstreamcli validate --no-net /usr/share/metainfo/example.lentiva.Lentiva.metainfo.xml >"$scratch/as.log" 2>&1 ||
  fail "AppStream metadata: $(cat "$scratch/as.log")"
for icon in 64x64/apps/lentiva.png 256x256/apps/lentiva.png scalable/apps/lentiva.svg; do
  [ -s /usr/share/icons/hicolor/$icon ] || fail "icon $icon missing"
done
# The manual page has a block for every command the help lists; read from the
# package, since a machine may be set to install no manual pages.
page=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/lentiva-cli.1.gz | zcat)
for command in $(lentiva-cli --help | sed -n 's/^  \([a-z0-9]\+\)\( .*\)\?$/\1/p'); do
  grep -q "^\.BI \"$command " <<<"$page" || fail "the manual page lacks the command $command"
done

# A user cannot write into /opt/lentiva/ALLEGATI: the attachments go to the
# documents folder (Documenti on an Italian desktop), made on the way.
home=$scratch/home
mkdir -p "$home/.config"
echo 'XDG_DOCUMENTS_DIR="$HOME/Documenti"' >"$home/.config/user-dirs.dirs"
# A signed invoice of the user's opens through ossl/openssl.
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=Test -keyout "$scratch/k.pem" -out "$scratch/c.pem" -days 2 \
  >/dev/null 2>&1
openssl smime -sign -binary -nodetach -outform DER -in /opt/lentiva/FATTURE/IT00000000001_ESEMPIO1.xml \
  -signer "$scratch/c.pem" -inkey "$scratch/k.pem" -out "$home/fattura.xml.p7m"
chown -R nobody "$home"
user() { (cd "$home" && setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME="$home" PATH=/usr/bin:/bin "$@"); }
user lentiva-cli estrai /opt/lentiva/FATTURE/IT00000000001_ESEMPIO1.xml >"$scratch/estrai.log" 2>&1 ||
  fail "lentiva-cli estrai as a user: $(cat "$scratch/estrai.log")"
info=$(user lentiva-cli info fattura.xml.p7m 2>&1)
[ "$(head -1 <<<"$info")" = "Formato: FPR12" ] || fail "lentiva-cli info on an envelope as a user: $info"
[ -s "$home/Documenti/Lentiva/ALLEGATI/timbro_studio.png" ] || fail "no attachment in Documenti/Lentiva/ALLEGATI"
[ -z "$(ls -A /opt/lentiva/ALLEGATI)" ] || fail "something was written into /opt/lentiva/ALLEGATI"

start=$(date +%s%N)
run purge.log "${apt[@]}" purge lentiva && installed=0
echo "purged in $((($(date +%s%N) - start) / 1000000)) ms"
[ ! -e /opt/lentiva ] || fail "left behind: $(find /opt/lentiva | tr '\n' ' ')"
[ ! -e /usr/bin/lentiva ] && [ ! -e $entry ] || fail "system files left behind"

[ $failures -eq 0 ] && echo "OK: package"
exit $((failures > 0))
