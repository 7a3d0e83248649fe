# Installs the Debian packages the project needs, only when something is missing.
DEB_PACKAGES="cmake ninja-build g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
 wine wine32:i386 xvfb xauth x11-utils wixl msitools python3 python3-pytest imagemagick
 googletest libgtest-dev libpugixml-dev clang libclang-rt-14-dev curl openssl"

deps_missing() {
    missing=""
    for p in $DEB_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
    done
    echo "$missing"
}

deps_install() {
    missing=$(deps_missing)
    [ -z "$missing" ] && return 0
    echo "installing:$missing"
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
}
