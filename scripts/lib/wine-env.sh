# Shared by the scripts that run Windows programs: a ready prefix of the chosen
# width, a persistent wineserver and a display. Set WINEPREFIX, source this
# file and call wine_env_prepare <win32|win64>.
#
# Wine's loaders are called by path: /usr/bin/wine starts the 32-bit loader
# whenever wine32 is installed, also where 32-bit programs cannot run.
#   WINE        the loader for the width ("$WINE" reg ..., "$WINE" program.exe)
#   WINESERVER  the server: the one the loaders start by themselves, which
#               serves both widths (wineserver64 wherever it is installed)

# Debian's 64-bit Wine starts without a preloader, so its loader's heap begins
# wherever the kernel's brk randomisation puts it, up to 1 GiB above the loader.
# About one start in several thousand it covers 0x7ffe0000, where Wine must map
# the shared user data: the program then ends at once with code 1 and, under
# WINEDEBUG=-all, without a word (a Windows parent reads error 1359). With the
# layout fixed the heap stays far below. Call it first in a script that starts
# Wine, with the script's own arguments: wine_env_fixed_layout "$0" "$@". It runs
# the script again under `setarch -R`, once; every process started from there
# inherits the fixed layout. Python that starts Wine calls fixed_layout.py here.
wine_env_fixed_layout() {
    [ $(( 0x$(cat /proc/self/personality 2>/dev/null || echo 0) & 0x40000 )) -ne 0 ] && return 0
    setarch "$(uname -m)" -R true 2>/dev/null || return 0
    exec setarch "$(uname -m)" -R /bin/sh "$@"
}

wine_env_arch() {
    case "$1" in
        win32) export WINEARCH=win32 WINE=/usr/lib/wine/wine ;;
        win64) export WINEARCH=win64 WINE=/usr/lib/wine/wine64 ;;
        *) echo "wine-env: unknown architecture '$1'" >&2; return 1 ;;
    esac
    export WINELOADER="$WINE" WINESERVER=/usr/lib/wine/wineserver
}

wine_env_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    # One private Xvfb per prefix, found again through its pid file.
    pidfile="$WINEPREFIX.xvfb"
    if [ -f "$pidfile" ]; then
        read -r pid num < "$pidfile" || true
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            export DISPLAY=":$num"; return 0
        fi
    fi
    # A server still running from before serves a desktop on the display that
    # is gone: every window would fail there. It ends with its display.
    if [ -f "$pidfile" ] && wine_env_server_running; then "$WINESERVER" -k >/dev/null 2>&1 || true; fi
    num=$(( ( $(printf '%s' "$WINEPREFIX" | cksum | cut -d' ' -f1) % 400 ) + 100 ))
    while [ -e "/tmp/.X$num-lock" ]; do num=$((num + 1)); done
    Xvfb ":$num" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    echo "$! $num" > "$pidfile"
    export DISPLAY=":$num"
    i=0; while [ ! -e "/tmp/.X11-unix/X$num" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done
}

# True when a wineserver for this prefix is running (of either width; Debian's
# wrapper starts wineserver64 where it is installed).
wine_env_server_running() {
    for pid in $(pgrep -x wineserver64 2>/dev/null; pgrep -x wineserver32 2>/dev/null; pgrep -x wineserver 2>/dev/null); do
        { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

wine_env_prepare() {
    wine_env_arch "${1:-win64}" || return 1
    export WINEDEBUG=${WINEDEBUG:--all}
    wine_env_display
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Serialise between parallel tests. The server and the prefix's services are
    # started with no inherited output, so a caller that waits for its pipes to
    # close (CTest) never waits for Wine's long-lived helper processes.
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot -i </dev/null >/dev/null 2>&1 9>&-
            # Without a window manager an unmanaged window hides and closes at
            # once; managed ones cost about two seconds each under Xvfb.
            "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 9>&-
            "$WINESERVER" -w 9>&-
        fi
        if ! wine_env_server_running; then
            # Fails when a server that was ending still holds the prefix; the
            # loader then starts one by itself.
            "$WINESERVER" -p </dev/null >/dev/null 2>&1 9>&- || true
            "$WINE" wineboot </dev/null >/dev/null 2>&1 9>&-
        fi
    ) 9>"$WINEPREFIX.lock"
}

# Stops the prefix's server and its display (end of a test run).
wine_env_stop() {
    [ -n "${WINESERVER:-}" ] && "$WINESERVER" -k >/dev/null 2>&1 || true
    if [ -f "$WINEPREFIX.xvfb" ]; then
        kill "$(cut -d' ' -f1 "$WINEPREFIX.xvfb")" 2>/dev/null || true
        rm -f "$WINEPREFIX.xvfb"
    fi
}

# Runs "$WINE" "$@" and returns its exit status once that process ends. Its
# output goes through a file, shown when it ends: helper processes it starts
# (the desktop, services) inherit that file, not the caller's pipes, so a
# caller that waits for its pipes to close (CTest) never waits for them.
wine_env_run() {
    output=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
    status=0
    "$WINE" "$@" </dev/null >"$output" 2>&1 || status=$?
    cat "$output"
    rm -f "$output"
    return $status
}
