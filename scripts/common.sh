# SPDX-License-Identifier: MIT
# Shared by the scripts: installs missing Debian packages and builds a tree. Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# What building and running the program and the simulator need (Qt Charts' CMake package also
# wants Qt's OpenGL development files on a fresh machine); the web scoreboard adds Qt's HTTP
# server and WebSockets and libqrencode for its QR code; start-up reads the font configuration
# with fontconfig itself. The announcer plays its tones with Qt Multimedia and speaks with Qt
# Text to Speech and the offline flite engine (whose CMake files also want Qt Declarative).
PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libqt6sql6-sqlite qt6-serialport-dev
          qt6-charts-dev libgl-dev libqt6opengl6-dev qt6-qpa-plugins qt6-httpserver-dev
          qt6-websockets-dev libqrencode-dev libfontconfig-dev qt6-multimedia-dev qt6-speech-dev
          qt6-speech-flite-plugin qt6-declarative-dev)
# What the suite needs on top: clang for the fuzz targets, Google Benchmark so the benchmarks
# keep compiling, the package tools the package check uses (lintian among them), and the D-Bus
# daemon for the private bus the Bluetooth tests run their fake Bluetooth service on, and
# Chromium, the real browser the web scoreboard's page is read in; lld, which links the test
# programs several times quicker than the default linker (the build uses it when present); and a
# PulseAudio daemon of the tests' own with parec to record what the announcer plays.
TEST_PACKAGES=(clang lld libbenchmark-dev dpkg-dev file binutils desktop-file-utils appstream
               lintian dbus-daemon chromium pulseaudio pulseaudio-utils)
# What `./scripts/bench` needs on top: Google Benchmark, the private bus, and an X server of its
# own (Xvfb) for the figures taken as on a user's desktop.
BENCH_PACKAGES=(libbenchmark-dev dbus-daemon xvfb xauth)
# What `./scripts/run --demo --bluetooth` needs on top: the same private bus.
BLUETOOTH_DEMO_PACKAGES=(dbus-daemon)

# fuzz_soak_runs <fuzz target>: inputs a soak gives the target; the smoke run in scripts/test
# gives each a fixed few.
fuzz_soak_runs() {
    case $(basename "$1") in
        fuzz_comm) echo 100000000 ;;
        fuzz_play) echo 10000000 ;;
        *) echo 1000000 ;;
    esac
}

# fuzz_max_len <fuzz target>: the longest input worth making; longer ones only slow a run.
# Four reads of up to seven frames for the decoder; for the play modes the preset state
# (up to about 80 bytes) and a few operations.
fuzz_max_len() {
    case $(basename "$1") in
        fuzz_comm) echo 32 ;;
        fuzz_play) echo 128 ;;
        *) echo 256 ;;
    esac
}

ensure_packages() {
    local missing=()
    for p in "${PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    else
        echo "Missing packages. Run:" >&2
        echo "  sudo apt-get install ${missing[*]}" >&2
        exit 1
    fi
}

# build <dir> <build type> [cmake options...] [-- targets...]
build() {
    local dir=$1 type=$2
    shift 2
    local opts=() targets=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do opts+=("$1"); shift; done
    [ "${1:-}" = "--" ] && shift && targets=("$@")
    # ccache, where installed, keeps rebuilds of the three trees (and of other checkouts) quick.
    command -v ccache >/dev/null && opts+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${opts[@]}" >/dev/null
    else
        cmake -S "$ROOT" -B "$dir" "${opts[@]}" >/dev/null
    fi
    if [ ${#targets[@]} -gt 0 ]; then
        cmake --build "$dir" --target "${targets[@]}"
    else
        cmake --build "$dir"
    fi
}
