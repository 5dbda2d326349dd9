#!/usr/bin/env bash
# Installs the Debian packages TevAudio needs to build, run and test.
# This is the one list of them; it installs only what is missing and says nothing when nothing is.
set -euo pipefail

packages=(
    # toolchain
    cmake ninja-build g++ make pkg-config
    # user interface, and Qt's X11 platform plugin that the program runs on
    qt6-base-dev libgl-dev fonts-dejavu-core qt6-qpa-plugins
    # decoding, and audio CDs (drives and BIN/CUE images)
    libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libcdio-dev libcdio-paranoia-dev
    # sound output and the sound card's mixer
    portaudio19-dev libasound2-dev libjack-jackd2-dev
    # tests and benchmarks: the ffmpeg command makes the test files and is the speed reference;
    # clang builds the fuzzer, clang-tidy checks the code
    libgtest-dev libgmock-dev libbenchmark-dev ffmpeg clang libclang-rt-14-dev clang-tidy
    # the Debian package (dpkg-shlibdeps finds its library dependencies) and the desktop entry's check
    dpkg-dev file desktop-file-utils
    # running without a desktop (xvfb-run), and a sound server with a virtual sink for the tests
    xvfb xauth pulseaudio pulseaudio-utils libasound2-plugins
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
else
    echo "install-deps: missing packages (${missing[*]}), and neither root nor sudo is available" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
