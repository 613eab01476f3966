#!/usr/bin/env bash
# Builds the mixed benchmark corpus in DIR (default build/bench/corpus), the
# kind of files a Windows program ships, about 75 MB in some 900 files:
#   DIR/bin    64-bit (x86_64) Windows DLLs of Wine (about 40 MB)
#   DIR/bin32  32-bit (i386) Windows DLLs of Wine (about 20 MB)
#   DIR/text   HTML documentation, manual pages and licence texts (about 9 MB)
#   DIR/media  already-compressed files: PNG icons, jar archives, gzip files
#              (about 6 MB)
# The documentation, icons and jars come from Debian packages, downloaded
# once into build/bench/debs and unpacked there, never installed. The same
# machine and package versions give the same corpus.
# Usage: bench/make_corpus.sh [DIR]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
DIR=${1:-$ROOT/build/bench/corpus}
DEBS="$ROOT/build/bench/debs"
DLLDIR=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
DLLDIR32=/usr/lib/i386-linux-gnu/wine/i386-windows
export LC_ALL=C

SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
[ -d "$DLLDIR" ] || $SUDO apt-get install -y wine64 >/dev/null
# The i386 DLLs come with libwine:i386, which needs the i386 architecture.
if [ ! -d "$DLLDIR32" ]; then
  dpkg --print-foreign-architectures | grep -qx i386 ||
    { $SUDO dpkg --add-architecture i386 && $SUDO apt-get update >/dev/null; }
  $SUDO apt-get install -y libwine:i386 >/dev/null
fi

PACKAGES="git-doc debian-reference-en adwaita-icon-theme libcommons-lang3-java junit4 libguava-java"
mkdir -p "$DEBS/unpacked"
for p in $PACKAGES; do
  if ! ls "$DEBS/${p}"_*.deb >/dev/null 2>&1; then
    (cd "$DEBS" && apt-get download "$p" >/dev/null 2>&1) || { echo "cannot download $p"; exit 1; }
  fi
  [ -f "$DEBS/unpacked/.$p" ] || { dpkg-deb -x "$DEBS/${p}"_*.deb "$DEBS/unpacked" && touch "$DEBS/unpacked/.$p"; }
done
U="$DEBS/unpacked"

rm -rf "$DIR"
mkdir -p "$DIR/bin" "$DIR/bin32" "$DIR/text/html" "$DIR/text/man" "$DIR/media/png" "$DIR/media/jar" "$DIR/media/gz"
# copy_until LIMIT DEST: copies the files named on stdin into DEST until
# LIMIT bytes are there; the name is the path after the last "/" unless
# that is taken, then the path with "_" for "/".
copy_until() {
  local limit=$1 dest=$2 total=0 f name
  while IFS= read -r f; do
    [ "$total" -lt "$limit" ] || break
    name=$(basename "$f")
    [ -e "$dest/$name" ] && name=$(printf '%s' "${f#/}" | tr '/' '_')
    case "$f" in
      *.html.gz|*.txt.gz|*/man?/*.gz) name=${name%.gz}; gzip -dc "$f" >"$dest/$name" ;;
      *) cp "$f" "$dest/$name" ;;
    esac
    total=$((total + $(stat -c %s "$dest/$name")))
  done
}

# DLLs up to 4 MiB, in name order.
find "$DLLDIR" -maxdepth 1 -name '*.dll' -size -4097k | sort | copy_until 40000000 "$DIR/bin"
find "$DLLDIR32" -maxdepth 1 -name '*.dll' -size -4097k | sort | copy_until 20000000 "$DIR/bin32"
# HTML of two documentation packages, then manual pages and licences.
find "$U/usr/share/doc/git-doc" "$U/usr/share/debian-reference" -type f \( -name '*.html' -o -name '*.html.gz' \) |
  sort | copy_until 5500000 "$DIR/text/html"
find /usr/share/man/man1 /usr/share/man/man8 -name '*.gz' -type f 2>/dev/null | sort | copy_until 3000000 "$DIR/text/man"
cp /usr/share/common-licenses/GPL-3 /usr/share/common-licenses/LGPL-2.1 /usr/share/common-licenses/Apache-2.0 \
  /usr/share/common-licenses/Artistic "$DIR/text/" 2>/dev/null || true
# PNG icons of 4 KB and more, the jars, and Debian changelogs as gzip files.
find "$U/usr/share/icons" -name '*.png' -size +4k -type f | sort | copy_until 2000000 "$DIR/media/png"
find "$U/usr/share/java" -name '*.jar' -type f | sort | copy_until 4000000 "$DIR/media/jar"
find /usr/share/doc -maxdepth 2 -name 'changelog.Debian.gz' -type f | sort | copy_until 500000 "$DIR/media/gz"

for part in bin bin32 text media; do
  printf '%-6s %4d files %10d bytes\n' "$part" "$(find "$DIR/$part" -type f | wc -l)" "$(du -sb "$DIR/$part" | cut -f1)"
done
