#!/bin/sh
# Runs a Windows test program in a prefix of its own that holds a stand-in
# runtime: a fresh hard-linked clone of the build's prefix, with the given DLL
# installed as system32\mscoree.dll ("--framework-only": only the registry root
# and version folders, Wine's own mscoree stays). The clone's wineserver and
# display are stopped when the program ends.
#   run_in_standin_prefix.sh <dll | --framework-only> <program.exe> [arguments]
set -eu
dll="$1"; exe="$2"; shift 2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=$(cd "$(dirname "$exe")/.." && pwd)
name=$(basename "$exe" .exe)

# The build's prefix, made once and shared with the other tests.
WINEPREFIX="$build/wineprefix"
export WINEPREFIX
. "$root/scripts/lib/wine-env.sh"
wine_env_prepare
base="$WINEPREFIX"

prefix="$build/standin-prefixes/$name"
# A run that was killed (a test timeout) may have left its server behind.
if [ -d "$prefix" ]; then WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; fi
rm -rf "$prefix"
mkdir -p "$prefix"
cp -al "$base/." "$prefix"
# Files Wine rewrites in place get real copies, so the base prefix never changes.
for f in "$prefix"/*.reg "$prefix"/drive_c/windows/*.ini; do
    [ -e "$f" ] || continue
    cp --remove-destination "$base/${f#"$prefix"/}" "$f"
done
rm -rf "$prefix/drive_c/users"
cp -a "$base/drive_c/users" "$prefix/drive_c/users"
rm -f "$prefix/wineserver"
/usr/bin/python3 "$here/standin_prefix.py" "$prefix" "$dll"

WINEPREFIX="$prefix"
export WINEPREFIX
export WINEDLLOVERRIDES="mshtml="
trap wine_env_stop EXIT
trap "exit 1" INT TERM
wine_env_prepare
status=0
wine "$exe" "$@" || status=$?
exit $status
