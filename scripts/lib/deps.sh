# Installs the Debian packages the project needs, only when something is missing.
# Both MinGW toolchains and the 64-bit Wine always; the 32-bit Wine only where
# this machine runs 32-bit programs (scripts/lib/arch.sh decides).
DEB_PACKAGES="cmake ninja-build
 g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
 g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
 wine wine64 xvfb xauth x11-utils wixl msitools python3 python3-pytest imagemagick
 googletest libgtest-dev libpugixml-dev clang libclang-rt-14-dev curl openssl osslsigncode"
DEB_PACKAGES_WIN32="wine32:i386"

# Sourced from the repository's root folder.
. scripts/lib/arch.sh

deps_wanted() {
    echo $DEB_PACKAGES
    arch_runs win32 && echo $DEB_PACKAGES_WIN32
    return 0
}

deps_missing() {
    missing=""
    for p in $(deps_wanted); do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
    done
    echo "$missing"
}

deps_install() {
    [ -n "${ARCHES:-}" ] || arch_probe
    missing=$(deps_missing)
    [ -z "$missing" ] && return 0
    echo "installing:$missing"
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
    case "$missing" in
        *:i386*)
            dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386 ;;
    esac
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
}
