# Sourced by the build scripts: installs the Debian packages that are missing, and only those.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What building the program needs on a fresh Debian 12; openssl makes the
# simulated platform's certificate authority when a build folder is configured,
# and the window's layout test sets Debian's desktop font, DejaVu Sans.
BUILD_PACKAGES=(cmake make g++ qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev zlib1g-dev openssl
                fonts-dejavu-core)

# What the fuzz targets need (libFuzzer comes with clang's run-time libraries).
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
