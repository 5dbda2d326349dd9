#!/bin/sh
# Takes a picture of the running program on a virtual 1920x1080 display, for the README.
# Usage: scripts/screenshot.sh OUTPUT.png [sound files or a play list of six or more tracks...]
# Needs xvfb-run and ffmpeg. With xdotool it first moves the list's second, fourth and sixth
# tracks to Deck B and loads the first of them, starts both decks, switches Deck A's equalizer on
# and shows the analyzer's octave graph.
set -eu
out=$1
shift
for tool in xvfb-run ffmpeg; do
    command -v "$tool" >/dev/null || { echo "$0: needs $tool (apt-get install xvfb ffmpeg)" >&2; exit 1; }
done
here=$(cd "$(dirname "$0")/.." && pwd)
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
# A fresh settings folder, so the picture shows the program as a new user sees it; a running
# sound server is found where the user's settings say.
if server=$(pactl info 2>/dev/null | sed -n 's/^Server String: //p') && [ -n "$server" ]; then
    export PULSE_SERVER="$server"
    export PULSE_COOKIE="${PULSE_COOKIE:-${XDG_CONFIG_HOME:-$HOME/.config}/pulse/cookie}"
fi
XDG_CONFIG_HOME=$config xvfb-run -a -s "-screen 0 1920x1080x24" sh -c '
    here=$0 shot=$1
    shift
    "$here"/build/tevaudio "$@" 2>/dev/null &
    sleep 7
    if command -v xdotool >/dev/null; then
        # Where the default layout puts them: rows 2, 4 and 6 of the play list, each selected
        # and swapped to Deck B; row 2 double-clicked into Deck B.
        for row in 950 986 1022; do
            xdotool mousemove 465 $row click 1 sleep 0.3 mousemove 861 948 click 1
            sleep 0.3
        done
        xdotool mousemove 465 950 click --repeat 2 --delay 80 1
        sleep 2
        # Both decks Play, the analyzer on Octave and on, Deck A equalizer on.
        for at in "477 582" "1274 582" "977 955" "1146 997" "369 717"; do
            xdotool mousemove $at click 1
            sleep 0.3
        done
        sleep 4
    fi
    ffmpeg -loglevel error -y -f x11grab -video_size 1920x1080 -i "$DISPLAY" -frames:v 1 "$shot.full.png"
    kill $! 2>/dev/null || true
' "$here" "$out" "$@"
# Only the part the panels cover, smaller and in few colours, to keep the file small.
ffmpeg -loglevel error -y -i "$out.full.png" -filter_complex \
    "crop=1250:1080:335:0,scale=938:-1,split[a][b];[a]palettegen=max_colors=128[p];[b][p]paletteuse=dither=none" \
    "$out"
rm -f "$out.full.png"
