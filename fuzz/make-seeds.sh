#!/usr/bin/env bash
# Writes the seed corpora in corpus/: a few valid files of each kind and the edge cases that the
# readers must survive. The seeds are kept in the repository; run this again after changing it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export LC_ALL=C # lengths in bytes

byte() { printf "\\x$(printf %02x $(($1 & 255)))"; }
le16() { byte "$1"; byte $(($1 >> 8)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
zeros() { head -c "$1" /dev/zero; }

# fmt chunk: size, tag, channels, rate, bytes per second, align, bits.
fmt() { printf 'fmt '; le32 "$1"; le16 "$2"; le16 "$3"; le32 "$4"; le32 "$5"; le16 "$6"; le16 "$7"; }
plainFmt() { fmt 16 1 1 11025 22050 2 16; }
# A whole RIFF file around the chunks on stdin.
riff() { local body; body=$(mktemp); cat >"$body"; printf 'RIFF'; le32 $(($(stat -c %s "$body") + 4)); printf 'WAVE'; cat "$body"; rm -f "$body"; }
samples() {
    local pattern=0123456789abcdef
    for ((i = 0; i < $1 / 16; ++i)); do printf '%s' "$pattern"; done
    printf '%s' "${pattern:0:$1 % 16}"
}

m=$here/corpus/messageheader
rm -rf "$m" && mkdir -p "$m"
{ plainFmt; printf 'data'; le32 2096; samples 2096; } | riff >"$m/recorded.wav"
{ plainFmt; printf 'data'; le32 0; } | riff >"$m/stopped-at-once.wav"
{ fmt 18 1 1 11025 22050 2 16; le16 0; printf 'fact'; le32 4; le32 8; printf 'data'; le32 16; samples 16; } | riff >"$m/fmt18-fact.wav"
{ fmt 18 1 1 11025 22050 2 16; le16 0; printf 'data'; le32 16; samples 16; } | riff >"$m/fmt18-no-fact.wav"
{ fmt 16 1 2 44100 44100 2 8; printf 'data'; le32 64; samples 64; } | riff >"$m/stereo-8bit.wav"
{ plainFmt; printf 'data'; le32 4294967295; samples 8; } | riff >"$m/data-size-lies.wav"
{ fmt 2147483632 1 1 11025 22050 2 16; printf 'data'; le32 8; samples 8; } | riff >"$m/fmt-size-huge.wav"
{ fmt 4 1 1 11025 22050 2 16; printf 'data'; le32 8; samples 8; } | riff >"$m/fmt-size-small.wav"
head -c 30 "$m/recorded.wav" >"$m/cut-in-header.wav"
{ printf 'RIFF'; le32 4; printf 'AVI LIST'; } >"$m/riff-avi.wav"
printf 'CQ contest, this is not a wave file\n' >"$m/text.wav"
: >"$m/empty.wav"

# The configuration record: 13 notes and 13 paths of 256 bytes, then the settings.
entry() { printf '%s' "$1"; zeros $((256 - ${#1})); }
rawEntry() { local text; text=$(printf "$1"); entry "$text"; } # with printf's escapes
tables() {
    entry ""; for k in $(seq 12); do entry "note of memory $k"; done
    entry ""; for k in $(seq 12); do entry "/home/op/Tavrin/memory$k.wav"; done
}
# selected, reserved a, reserved b, loop delay, port kind, port name, gain, polarity, alarm on,
# alarm seconds, stay on top, input device, output device.
settings() {
    le32 "$1"; le32 "$2"; le32 "$3"; le32 "$4"; le32 "$5"
    printf '%s' "$6"; zeros $((32 - ${#6}))
    le32 "$7"; le32 "$8"; byte "$9"; le32 "${10}"; byte "${11}"
    le32 "${12}"; le32 "${13}"
}

c=$here/corpus/configrecord
rm -rf "$c" && mkdir -p "$c"
{ zeros 6656; settings 1 0 25000 5 0 "" 1 1 0 10 0 0 0; } >"$c/defaults.cfg"
{ tables; settings 3 0 25000 90 1 COM3 1000 2 1 45 1 1 2; } >"$c/settings.cfg"
tables >"$c/notes-only.cfg"
head -c 6719 "$c/settings.cfg" >"$c/cut-in-alarm-period.cfg"
{ cat "$c/settings.cfg"; printf 'bytes after the record'; } >"$c/longer.cfg"
{
    entry "$(printf 'A%.0s' $(seq 256))" # no terminating zero
    rawEntry '\xef\xbb\xbfnote after a byte order mark'
    rawEntry 'Latin-1 caf\xe9'
    rawEntry 'cut UTF-8 \xe2\x82'
    zeros $((9 * 256)); tables | tail -c 3328
    settings 13 4294967295 0 7 2 LPT2 7 0 7 2 255 -1 2147483647
} >"$c/out-of-range.cfg"
{ tables | head -c 6656; settings 0 0 25000 1200 0 "$(printf 'X%.0s' $(seq 32))" 10000 1 1 0 0 0 0; } >"$c/unterminated-port.cfg"
: >"$c/empty.cfg"
