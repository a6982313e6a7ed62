#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks one thing about it.
# Usage: install_test.sh ProgramFolder|DesktopEntry BUILD_DIR SOURCE_DIR
set -uo pipefail
check=$1 build=$2 source=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
names() { (cd "$1" && find . -mindepth 1 | sort); }

prefix="$scratch/Lentiva programma"
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log"; exit 1; }

case $check in
ProgramFolder)
  [ -x "$prefix/lentiva" ] || fail "lentiva is not an executable at the top of the folder"
  [ "$(names "$prefix/FODISTILE")" = "$(names "$source/stylesheets")" ] || fail "FODISTILE/ differs from stylesheets/"
  [ "$(names "$prefix/FATTURE")" = "$(names "$source/samples")" ] || fail "FATTURE/ differs from samples/"
  [ "$(names "$prefix/SCHEMI")" = "$(names "$source/schemas")" ] || fail "SCHEMI/ differs from schemas/"
  [ -d "$prefix/ALLEGATI" ] && [ -z "$(ls -A "$prefix/ALLEGATI")" ] || fail "ALLEGATI/ missing or not empty"
  [ -d "$prefix/CERTIFICATORI" ] || fail "CERTIFICATORI/ missing"
  [ -L "$prefix/ossl/openssl" ] || fail "ossl/openssl is not a link"
  "$prefix/ossl/openssl" version >/dev/null 2>&1 || fail "ossl/openssl does not run"
  for f in lentiva.desktop.in lentiva.png register-desktop.sh; do
    [ -f "$prefix/desktop/$f" ] || fail "desktop/$f missing"
  done
  # The installed programs find their stylesheets and tool in their own folder.
  info=$("$prefix/lentiva-cli" info "$prefix/FATTURE/IT00000000001_ESEMPIO1.xml" 2>&1)
  [ "$(head -3 <<<"$info")" = $'Formato: FPR12\nTipo documento: TD06 parcella\nNumero: 2024/17' ] ||
    fail "lentiva-cli info: $info"
  "$prefix/lentiva-cli" pdf "$prefix/FATTURE/IT00000000001_ESEMPIO_PA.xml" -o "$scratch/pa.pdf" ||
    fail "lentiva-cli pdf failed"
  pdftotext "$scratch/pa.pdf" - 2>/dev/null | grep -qF "FPA 9/24" || fail "the PDF lacks the invoice number"
  ;;
DesktopEntry)
  template="$scratch/template/lentiva.desktop"
  mkdir -p "$(dirname "$template")"
  cp "$source/packaging/lentiva.desktop.in" "$template"
  desktop-file-validate "$template" || fail "the template does not validate"

  export HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/data" XDG_CONFIG_HOME="$scratch/home/config"
  mkdir -p "$XDG_CONFIG_HOME"
  printf '[Default Applications]\ntext/plain=editor.desktop\napplication/pkcs7-mime=altro.desktop\n' \
    >"$XDG_CONFIG_HOME/mimeapps.list"
  # Twice, from the installed folder with no argument: the second run replaces.
  for run in 1 2; do
    "$prefix/desktop/register-desktop.sh" >/dev/null || fail "registration run $run failed"
  done
  entry="$XDG_DATA_HOME/applications/lentiva.desktop"
  desktop-file-validate "$entry" || fail "the written entry does not validate"
  grep -qxF "Exec=\"$prefix/lentiva\" %f" "$entry" || fail "Exec does not name the installed program: $(grep ^Exec "$entry")"
  grep -qxF "MimeType=application/xml;text/xml;application/pkcs7-mime;" "$entry" || fail "MimeType line"
  grep -qxF "Name=Lentiva" "$entry" || fail "Name line"
  cmp -s "$source/src/app/images/lentiva.png" "$XDG_DATA_HOME/icons/hicolor/64x64/apps/lentiva.png" ||
    fail "icon not installed"
  expected=$'[Default Applications]\ntext/plain=editor.desktop\napplication/pkcs7-mime=lentiva.desktop;'
  [ "$(cat "$XDG_CONFIG_HOME/mimeapps.list")" = "$expected" ] ||
    fail "mimeapps.list: $(cat "$XDG_CONFIG_HOME/mimeapps.list")"

  # From the sources, naming a folder without the program: refused.
  if "$source/scripts/register-desktop.sh" "$scratch" >/dev/null 2>&1; then
    fail "a folder without lentiva was registered"
  fi
  ;;
*)
  echo "unknown check $check"
  exit 2
  ;;
esac
[ $failures -eq 0 ] && echo "OK: $check"
exit $((failures > 0))
