#!/bin/sh
# Takes a picture of the running program on a virtual 1920x1080 display, for the README.
# Usage: scripts/screenshot.sh OUTPUT.png [sound files to load...]
# Needs xvfb-run and ImageMagick's `import` (apt-get install xvfb imagemagick).
set -eu
out=$1
shift
for tool in xvfb-run import; do
    command -v "$tool" >/dev/null || { echo "$0: needs $tool (apt-get install xvfb imagemagick)" >&2; exit 1; }
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
    sleep 6
    import -window root "$shot.full.png"
    kill $! 2>/dev/null || true
' "$here" "$out" "$@"
# Only the part the panels cover, smaller and in few colours, to keep the file small.
convert "$out.full.png" -trim +repage -resize 75% +dither -colors 64 "PNG8:$out"
rm -f "$out.full.png"
