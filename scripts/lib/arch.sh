# Which Windows architectures this machine can run under Wine. The 64-bit Wine
# runs everywhere; the 32-bit loader is a 32-bit Linux program, and some kernels
# boot with 32-bit emulation off ("Exec format error" for every such program).
# Source this file, then call arch_probe once.
#
#   ARCHES             after arch_probe: "win64 win32" or "win64"
#   ARCH_WIN32_REASON  after arch_probe: why win32 cannot run (empty when it can)
#   BOOTSTRAP_ARCHES   set beforehand to choose the architectures by hand (say
#                      "win64" to try a machine without 32-bit programs)

# A complete i386 Linux program of 93 bytes: exit(0) through int 0x80.
arch_write_probe() {
    printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000'
    printf '\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000'
    printf '\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000'
    printf '\135\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\061\333\315\200'
}

arch_probe() {
    ARCH_WIN32_REASON=""
    if [ -n "${BOOTSTRAP_ARCHES:-}" ]; then
        ARCHES=$BOOTSTRAP_ARCHES
        case " $ARCHES " in *" win32 "*) ;; *) ARCH_WIN32_REASON="BOOTSTRAP_ARCHES=$BOOTSTRAP_ARCHES" ;; esac
        return 0
    fi
    probe=$(mktemp "${TMPDIR:-/tmp}/probe32.XXXXXX")
    arch_write_probe > "$probe"
    chmod +x "$probe"
    error=$("$probe" 2>&1) && status=0 || status=$?
    if [ "$status" -eq 0 ]; then
        ARCHES="win64 win32"
    else
        ARCHES="win64"
        ARCH_WIN32_REASON="this machine cannot run 32-bit programs (${error:-exit status $status})"
        if dmesg 2>/dev/null | grep -q "32-bit emulation disabled"; then
            ARCH_WIN32_REASON="$ARCH_WIN32_REASON; the kernel says: 32-bit emulation disabled"
        fi
    fi
    rm -f "$probe"
}

# Whether arch_probe found the architecture runnable here.
arch_runs() {
    case " $ARCHES " in *" $1 "*) return 0 ;; esac
    return 1
}

# One line naming the architectures that ran, and why win32 did not.
arch_summary() {
    if arch_runs win32; then
        echo "architectures run: $ARCHES"
    else
        echo "architectures run: $ARCHES (win32 built, not run: $ARCH_WIN32_REASON)"
    fi
}
