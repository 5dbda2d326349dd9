#!/usr/bin/env bash
# Checks an installed TevAudio under PREFIX (/usr for the Debian package): the desktop entry, the
# menu icons at their sizes and the images, then starts PREFIX/bin/tevaudio on a virtual display
# with a short sound file on its command line, once as the environment has it and once with no
# sound server to reach, and checks that it shows its panels with the installed images and the
# file in Deck A, and closes with exit code 0.
# Usage: check-installed.sh PREFIX
set -euo pipefail
prefix=$(cd "${1:?usage: check-installed.sh PREFIX}" && pwd -P)
fail() { echo "check-installed: $*" >&2; exit 1; }

[ -x "$prefix/bin/tevaudio" ] || fail "no program $prefix/bin/tevaudio"
[ -f "$prefix/share/applications/tevaudio.desktop" ] ||
    fail "no desktop entry $prefix/share/applications/tevaudio.desktop"
# A PNG's width and height are the big-endian words at bytes 16 and 20.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'; }
for size in 16 22 24 32 48 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x$size/apps/tevaudio.png
    [ -f "$icon" ] || fail "no menu icon $icon"
    [ "$(png_size "$icon")" = "${size}x$size" ] || fail "$icon is $(png_size "$icon"), not ${size}x$size"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Its title is what Deck A shows.
title="Install Check Tone"
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i "sine=f=440:d=2:r=44100" \
    -c:a pcm_s16le -metadata title="$title" "$work/tone.wav"

# Runs the program once; the rest of the arguments are settings for its environment.
run() {
    local name=$1 rc=0 line
    shift
    mkdir -p "$work/$name-config"
    # Without the desktop's platform choice, so that Qt's X11 plugin is the one that runs.
    timeout -k 5 60 env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY TEV_REPORT_READY=close TEV_NO_TIPS=1 \
        XDG_CONFIG_HOME="$work/$name-config" "$@" \
        xvfb-run -a "$prefix/bin/tevaudio" "$work/tone.wav" >"$work/$name.out" 2>"$work/$name.err" ||
        rc=$?
    if [ "$rc" -ne 0 ]; then
        cat "$work/$name.out" "$work/$name.err" >&2
        [ "$rc" -eq 124 ] && fail "$name: the program did not close within 60 s"
        fail "$name: the program exited with $rc"
    fi
    line=$(grep '^TevAudio ready: ' "$work/$name.out") ||
        { cat "$work/$name.out" "$work/$name.err" >&2; fail "$name: no ready line"; }
    case $line in
        *"; images $prefix/share/tevaudio; "*) ;;
        *) fail "$name: the images are not the installed ones: $line" ;;
    esac
    [ "${line##*; Deck A: }" = "$title" ] || fail "$name: Deck A does not show the file: $line"
    [ -f "$work/$name-config/Tev Quillet/TevAudio.conf" ] ||
        fail "$name: the settings were not written under XDG_CONFIG_HOME"
    echo "$name: $line"
}

run "sound-server"
# No PulseAudio server to reach and none started, no JACK server started: the program must start
# all the same, silent when no sound card is left.
printf 'autospawn = no\n' >"$work/pulse-client.conf"
run "no-sound-server" PULSE_SERVER="unix:$work/no-server" PULSE_CLIENTCONFIG="$work/pulse-client.conf" \
    JACK_NO_START_SERVER=1
