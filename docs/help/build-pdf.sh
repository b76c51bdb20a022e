#!/bin/sh
# Builds the user manual nimbrel.pdf from nimbrel.ms with groff (Debian package "groff"; gropdf is in it).
# Usage: docs/help/build-pdf.sh OUTPUT.pdf [VERSION [NSIS-VERSION]]
# Without VERSION the project version is read from the top-level CMakeLists.txt. NSIS-VERSION is the version of
# makensis that builds the installer, which the manual names.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:?usage: build-pdf.sh OUTPUT.pdf [VERSION]}
version=${2:-$(sed -n 's/^project(Nimbrel VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")}
[ -n "$version" ] || { echo "build-pdf.sh: cannot find the project version" >&2; exit 1; }
nsis=${3:+-dNSIS=NSIS $3}
command -v groff >/dev/null || { echo "build-pdf.sh: groff is missing (apt-get install groff)" >&2; exit 1; }
# The same bytes whatever the caller's locale (gropdf, a Perl program, also warns about one that is missing);
# the PDF's dates follow SOURCE_DATE_EPOCH when it is set.
LC_ALL=C.UTF-8
export LC_ALL
case $out in /*) ;; *) out="$PWD/$out" ;; esac
tmp="$out.tmp.$$"
trap 'rm -f "$tmp"' EXIT
# -k: UTF-8 input through preconv; -t: tables; -ww: every warning, and any warning fails the build below.
# Run in the manual's folder: its pictures are named there, so no folder name (spaces included) reaches gropdf.
cd "$here"
groff -ww -k -t -ms -mpdf -Tpdf -dpaper=a4 -P-pa4 -dVERSION="$version" ${nsis:+"$nsis"} nimbrel.ms >"$tmp" 2>"$tmp.log" || {
    cat "$tmp.log" >&2; rm -f "$tmp.log"; exit 1; }
if [ -s "$tmp.log" ]; then
    echo "build-pdf.sh: groff reported problems in nimbrel.ms:" >&2
    cat "$tmp.log" >&2; rm -f "$tmp.log"; exit 1
fi
rm -f "$tmp.log"
mv "$tmp" "$out"
