#!/usr/bin/env bash
# Starts a PulseAudio server (when none runs) with two virtual sinks for the real-device tests:
# "tevmain", stereo, and "tevquad", four channels. Nothing is heard: the sinks only keep time,
# and their monitors can be recorded.
set -euo pipefail
if ! pactl info >/dev/null 2>&1; then
    pulseaudio --start --exit-idle-time=-1 >/dev/null 2>&1
    for _ in $(seq 50); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
fi
sinks=$(pactl list short sinks)
grep -q tevmain <<<"$sinks" || pactl load-module module-null-sink sink_name=tevmain >/dev/null
grep -q tevquad <<<"$sinks" || pactl load-module module-null-sink sink_name=tevquad channels=4 \
    channel_map=front-left,front-right,rear-left,rear-right >/dev/null
pactl set-default-sink tevmain
