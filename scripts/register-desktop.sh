#!/usr/bin/env bash
# Registers Lentiva for the current user: a desktop entry (so the file manager
# offers "Apri con Lentiva" for .xml and .p7m files), the icon, and Lentiva as
# the program that opens .p7m files on a double-click.
# Usage: register-desktop.sh [PROGRAM_FOLDER]
#   PROGRAM_FOLDER holds the program "lentiva"; by default the folder this
#   script was installed into, or build/ beside the sources.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
if [ -f "$here/lentiva.desktop.in" ]; then # installed: PROGRAM_FOLDER/desktop/
  template=$here/lentiva.desktop.in
  icon=$here/lentiva.png
  folder=${1:-$(dirname "$here")}
else # in the sources: scripts/
  root=$(dirname "$here")
  template=$root/packaging/lentiva.desktop.in
  icon=$root/src/app/images/lentiva.png
  folder=${1:-$root/build}
fi
folder=$(cd "$folder" && pwd)
program=$folder/lentiva
if [ ! -x "$program" ]; then
  echo "register-desktop.sh: $program not found (give the program folder)" >&2
  exit 1
fi

data=${XDG_DATA_HOME:-$HOME/.local/share}
config=${XDG_CONFIG_HOME:-$HOME/.config}
applications=$data/applications
icons=$data/icons/hicolor/64x64/apps
mkdir -p "$applications" "$icons" "$config"
install -m 0644 "$icon" "$icons/lentiva.png"

# Exec quoting: inside double quotes " ` $ \ take a backslash; then the value
# itself escapes every backslash once more, and a % is written %%.
exec_path=$(printf '%s' "$program" | sed -e 's/[\\"`$]/\\&/g' -e 's/\\/\\\\/g' -e 's/%/%%/g')
# The replacement text for sed: its own special characters escaped.
exec_sed=$(printf '%s' "\"$exec_path\"" | sed -e 's/[\\&|]/\\&/g')
sed -e "s|@LENTIVA_EXEC@|$exec_sed|" "$template" >"$applications/lentiva.desktop.tmp"
chmod 0644 "$applications/lentiva.desktop.tmp"
mv "$applications/lentiva.desktop.tmp" "$applications/lentiva.desktop"

# Signed invoices open with Lentiva on a double-click; plain .xml files keep
# whatever program the user has, Lentiva is only offered for them.
mimeapps=$config/mimeapps.list
touch "$mimeapps"
awk -v line='application/pkcs7-mime=lentiva.desktop;' '
  /^\[/ { if (inside && !done) { print line; done = 1 } inside = ($0 == "[Default Applications]") }
  inside && /^application\/pkcs7-mime=/ { next }
  { print }
  END { if (!done) { if (!inside) print "[Default Applications]"; print line } }
' "$mimeapps" >"$mimeapps.tmp"
mv "$mimeapps.tmp" "$mimeapps"

if command -v update-desktop-database >/dev/null; then
  update-desktop-database -q "$applications" || true
fi
echo "Lentiva registrata: $applications/lentiva.desktop ($program)"
