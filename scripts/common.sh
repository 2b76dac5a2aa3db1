# Shared by ./run, ./test and bench/run: installs what is missing, then builds.

set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"

# Installs the named Debian packages that are not installed yet; a machine
# that has them all is left alone (no apt-get at all).
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

BUILD_PACKAGES=(cmake make g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev qt6-qpa-plugins
    libflac-dev libwavpack-dev libavformat-dev libavcodec-dev libavutil-dev libuchardet-dev)

# Configures once, then rebuilds incrementally.
build_release() {
    if [ ! -f "$BUILD/CMakeCache.txt" ]; then
        cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release
    fi
    cmake --build "$BUILD" -j "$(nproc)"
}
