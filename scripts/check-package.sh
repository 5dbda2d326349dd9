#!/usr/bin/env bash
# Builds the Debian package (`make package`), checks that it depends on the libraries the program
# loads, installs it for real with apt, checks the installed program with
# tests/install/check-installed.sh /usr, and removes the package again (as well as a tevaudio
# package that was installed before). Needs root or sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "check-package: $*" >&2; exit 1; }

if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
else
    fail "installing the package needs root or sudo"
fi

make package
deb=$(ls -t build/tevaudio_*.deb 2>/dev/null | head -n 1 || true)
[ -n "$deb" ] || fail "make package made no build/tevaudio_*.deb"
echo "check-package: $deb"

# Each alternative of the Depends field, by package name alone.
depends=$(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/^ *//; s/[ (].*//')
for pattern in 'libqt6widgets6' 'libqt6gui6' 'libqt6core6' 'qt6-qpa-plugins' 'libavformat[0-9]+' \
    'libavcodec[0-9]+' 'libswresample[0-9]+' 'libavutil[0-9]+' 'libportaudio2' 'libcdio[0-9]+' \
    'libcdio-paranoia[0-9]+'; do
    grep -Eqx "$pattern" <<<"$depends" || fail "$deb does not depend on $pattern: $(dpkg-deb -f "$deb" Depends)"
done

export DEBIAN_FRONTEND=noninteractive
remove() { "${sudo[@]}" apt-get remove -y -qq tevaudio >/dev/null; }
trap remove EXIT
# --reinstall: a package of the same version left installed is replaced by this build's.
"${sudo[@]}" apt-get install -y -qq --reinstall "./$deb" >/dev/null
for file in /usr/bin/tevaudio /usr/share/applications/tevaudio.desktop \
    /usr/share/icons/hicolor/48x48/apps/tevaudio.png /usr/share/tevaudio/playPause.png; do
    dpkg -S "$file" 2>/dev/null | grep -q '^tevaudio:' || fail "the package did not install $file"
done
./tests/install/check-installed.sh /usr

trap - EXIT
remove
[ ! -e /usr/bin/tevaudio ] || fail "removing the package left /usr/bin/tevaudio"
echo "check-package: built, installed, ran and removed $deb"
