#!/bin/sh
# Runs a Windows test program in a prefix of its own that holds a stand-in
# runtime: a fresh hard-linked clone of the build's prefix, with the given DLL
# installed as system32\mscoree.dll ("--framework-only": only the registry root
# and version folders, Wine's own mscoree stays). The clone's wineserver and
# display are stopped when the program ends.
#   run_in_standin_prefix.sh <win32|win64> <dll | --framework-only> <program.exe> [arguments]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
. "$root/scripts/lib/wine-env.sh"
wine_env_fixed_layout "$0" "$@"
arch="$1"; dll="$2"; exe="$3"; shift 3
build=$(cd "$(dirname "$exe")/.." && pwd)
name=$(basename "$exe" .exe)

# The build's prefix, made once and shared with the other tests.
WINEPREFIX="$build/wineprefix"
export WINEPREFIX
wine_env_prepare "$arch"
base="$WINEPREFIX"

prefix="$build/standin-prefixes/$name"
# A run that was killed (a test timeout) may have left its server behind.
if [ -d "$prefix" ]; then WINEPREFIX="$prefix" "$WINESERVER" -k >/dev/null 2>&1 || true; fi
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
wine_env_prepare "$arch"
status=0
wine_env_run "$exe" "$@" || status=$?
exit $status
