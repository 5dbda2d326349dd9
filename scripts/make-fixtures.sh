#!/usr/bin/env bash
# Makes the sound files the decoder tests, the fuzzer's seed corpus and the benchmarks use, with
# FFmpeg's own encoders. Usage: make-fixtures.sh OUTDIR [--long]. Files already made are kept.
# --long also makes two minutes of music-like sound in wav, mp3 and ogg for the benchmarks.
set -euo pipefail
out=${1:?usage: make-fixtures.sh OUTDIR [--long]}
# Files made by another version of this script are made again.
stamp=$(sha1sum "$0" | cut -d' ' -f1)
mkdir -p "$out" "$out/seeds"
cd "$out"

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

if [ "${2:-}" = "--long" ] && [ "$(cat long/.complete 2>/dev/null)" != "$stamp" ]; then
    mkdir -p long
    chords="aevalsrc=0.2*sin(2*PI*220*t)*(1+sin(2*PI*2*t))+0.15*sin(2*PI*330*t)+0.1*sin(2*PI*440*t+sin(2*PI*5*t))|0.2*sin(2*PI*277*t)+0.15*sin(2*PI*415*t)*(1+sin(2*PI*3*t))+0.1*sin(2*PI*554*t):s=44100:d=120"
    ff -f lavfi -i "$chords" -f lavfi -i "anoisesrc=c=pink:a=0.1:d=120:r=44100" \
       -filter_complex "[1]aformat=channel_layouts=stereo[n];[0][n]amix=inputs=2:normalize=0" \
       -c:a pcm_s16le long/music.wav
    ff -i long/music.wav -c:a libmp3lame -b:a 192k long/music.mp3
    ff -i long/music.wav -c:a libvorbis -q:a 5 long/music.ogg
    echo "$stamp" > long/.complete
fi
[ "$(cat .complete 2>/dev/null)" = "$stamp" ] && exit 0

# A 3-second sweep: every position in it sounds different, so a seek's landing can be found.
sweep="aevalsrc=0.5*sin(2*PI*(200*t+300*t*t))|0.4*sin(2*PI*(250*t+280*t*t)):s=44100:d=3"
ff -f lavfi -i "$sweep" -c:a pcm_s16le -metadata title="Sweep WAV" sweep.wav
ff -i sweep.wav -c:a libmp3lame -b:a 192k -metadata title="Sweep MP3 ✓" sweep.mp3
ff -i sweep.wav -c:a libvorbis -q:a 5 -metadata title="Sweep Ogg Ünïcode" sweep.ogg
ff -i sweep.wav -c:a wmav2 -b:a 128k -metadata title="Sweep WMA" sweep.wma
ff -i sweep.wav -c:a flac -metadata title="Sweep FLAC" sweep.flac
ff -i sweep.wav -c:a aac -b:a 128k sweep.m4a
# An mp3 whose only tag is the 128-byte ID3v1 tag at its end.
ff -i sweep.wav -map_metadata -1 -c:a libmp3lame -b:a 128k -id3v2_version 0 -write_xing 0 id3v1.mp3
field() { printf '%s' "$1"; head -c $(($2 - ${#1})) /dev/zero; }
{ printf 'TAG'; field "Old Tag Only" 30; field "" 30; field "" 30; field "2006" 4; field "" 30
  printf '\377'; } >> id3v1.mp3

# VBR mp3 without a Xing header whose first second is quiet: FFmpeg's estimate from the first
# frame's bit rate is far off. 1 s of near-silence, then 4 s of noise: 5 s in all.
ff -f lavfi -i "anoisesrc=d=1:a=0.0001:s=44100" -f lavfi -i "anoisesrc=d=4:a=0.5:s=44100" \
   -filter_complex "[0][1]concat=n=2:v=0:a=1" -ac 2 -c:a libmp3lame -q:a 0 -write_xing 0 vbr-noxing.mp3

# Six channels, each a full-scale tone: the mix-down must not clip.
ff -f lavfi -i "aevalsrc=0.99*sin(2*PI*440*t):s=48000:d=1" -filter_complex \
   "[0]asplit=6[a][b][c][d][e][f];[a][b][c][d][e][f]join=inputs=6:channel_layout=5.1" \
   -c:a pcm_s16le surround.wav

# Audio behind a video stream, as in a music video or a file with cover art.
ff -f lavfi -i "testsrc=d=2:s=64x48:r=5" -f lavfi -i "sine=f=1000:d=2:r=44100" \
   -map 0:v -map 1:a -c:v mpeg4 -c:a aac -metadata title="With Video" with-video.mp4

# Files that name other files: a local HLS play list (also under an audio name), an ffconcat
# list and an SDP description. None of them may be followed.
ff -i sweep.wav -c:a aac -f hls -hls_time 1 -hls_segment_filename 'segment%d.ts' list.m3u8
cp list.m3u8 hls-renamed.mp3
printf 'ffconcat version 1.0\nfile sweep.wav\nfile sweep.wav\n' > list.ffconcat
cp list.ffconcat concat-renamed.mp3
printf 'v=0\no=- 0 0 IN IP4 127.0.0.1\ns=x\nc=IN IP4 127.0.0.1\nt=0 0\nm=audio 5004 RTP/AVP 0\n' > stream.sdp
printf '[playlist]\nFile1=sweep.wav\nNumberOfEntries=1\nVersion=2\n' > list.pls

# Bad input.
: > empty.mp3
head -c 20000 /dev/urandom > random.mp3
printf 'This is not a sound file.\n%.0s' $(seq 1 200) > text.wav
head -c 30000 sweep.mp3 > truncated.mp3
head -c 50001 sweep.wav > truncated.wav
# 160 bytes whose LIST chunk claims 2.7 GB: FFmpeg's RIFF reader sizes each tag's buffer from it.
base64 -d > huge-list.wav <<'END'
UklGRoYGAABXQVZFZm10IBAAAAABAAEAQB8AAEAfAAABAAgATElTVBoAAKBJTkZPSVNGVA4AAABMYXZmNTkuMjcuMTAw
AGRhdGFAc3BwQHBzd32Ch4uOj4+MiIN9eHRxcHBzd3yBhouOj4+NiYR+eXVxcHBydnuAhYqOj4+NioWAenVycHBxdXp/
hImNj4+OioaBe3ZycJCQkJCQkJB1eg==
END

# The fuzzer's seeds: small, valid files of each kind.
ff -f lavfi -i "sine=f=440:d=0.2:r=8000" -c:a pcm_s16le seeds/tone.wav
ff -f lavfi -i "sine=f=440:d=0.2:r=8000" -c:a pcm_u8 seeds/tone8.wav
ff -f lavfi -i "sine=f=440:d=0.3:r=22050" -c:a libmp3lame -b:a 32k seeds/tone.mp3
ff -f lavfi -i "sine=f=440:d=0.3:r=22050" -c:a libvorbis -q:a 0 seeds/tone.ogg
ff -f lavfi -i "sine=f=440:d=0.2:r=8000" -c:a flac seeds/tone.flac
ff -f lavfi -i "sine=f=440:d=0.3:r=22050" -c:a wmav2 -b:a 32k seeds/tone.wma
# and the files that once made the decoder misbehave, so that every run tries them first.
cp huge-list.wav seeds/

echo "$stamp" > .complete
