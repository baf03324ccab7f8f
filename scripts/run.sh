#!/usr/bin/env bash
# Builds tavrel.exe and the stand-in capture application (installing what they need
# first) and starts the program under Wine in demo/, a capture folder that holds the
# stand-in as "KROTX2.exe" and "KROTX1.exe", their settings files, an empty "Samples" and,
# on the first run, a schedule with three sample reservations.
#
# With a display, the program runs in the foreground until it is closed. Without one,
# Xvfb is started, the script waits for the main dialog, takes a screenshot
# (build/run-screenshot.png), ends what it started and exits.
# The 32-bit build runs where this machine runs 32-bit code, else the 64-bit build of the
# same sources (scripts/wine-env.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
b=${TAVREL_BUILD:-build}
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/setup.sh
source scripts/cmake-env.sh
source scripts/wine-env.sh
tavrel_choose_bits
tavrel_wine_env
tavrel_configure "$b/$TAVREL_WIN" -DCMAKE_TOOLCHAIN_FILE=$TAVREL_TOOLCHAIN
cmake --build "$b/$TAVREL_WIN" -j"$jobs" --target tavrel capture_standin
exe=$root/$b/$TAVREL_WIN/tavrel.exe
standin=$root/$b/$TAVREL_WIN/tools/capture_standin/capture_standin.exe
echo "run: the ${TAVREL_BITS}-bit build ($b/$TAVREL_WIN) under ${TAVREL_BITS}-bit Wine"

# ---- the demo capture folder ----
demo=$root/demo
mkdir -p "$demo/Samples"
cp "$standin" "$demo/KROTX2.exe"
cp "$standin" "$demo/KROTX1.exe"
for ini in Krotx2.ini Krotx1.ini; do
  [ -f "$demo/$ini" ] && continue
  printf '%s\r\n' '[Encoder]' dwVideoBitrate=4000000 dwAudioBitrate=384 dwAudioSampleFreq=48000 \
    HRes=0 m_bIsVBR=0 '[Picture]' Brightness=127 Contrast=70 Saturation=67 Hue=0 \
    '[Stream]' OMODE=0 IsEs=3 MPeriod=3 m_NNtsc=15 >"$demo/$ini"
done

zeros() { head -c "$1" /dev/zero; }
# A text field of size bytes: the Shift-JIS text, then NULs.
text_field() {
  local bytes
  bytes=$(printf '%s' "$1" | iconv -f UTF-8 -t CP932 | wc -c)
  printf '%s' "$1" | iconv -f UTF-8 -t CP932
  zeros $(($2 - bytes))
}
# One 276-byte reservation: name, start and end date (yymmdd), start and end time (hhmmss),
# weekday mask byte (\ooo), repeat mode byte, colour as four bytes (\xRR\xGG\xBB\x00 order
# of the COLORREF's little-endian bytes). The recording conditions are the defaults.
record() {
  text_field "$1" 21
  text_field "$2" 7; text_field "$3" 7; text_field "$4" 7; text_field "$5" 7
  printf "$6"; zeros 2                                   # weekday mask, padding
  printf "$7"; zeros 3                                   # repeat mode
  printf '\x00\x09\x3d\x00\x80\x01\x00\x00\x80\xbb\x00\x00'  # 4000000 bit/s, 384, 48000
  zeros 8                                                # vbr, record size index
  printf "$8"                                            # colour
  zeros 4; zeros 128                                     # use_conditions, move_folder
  printf '\x00\x7f\x46\x43\x00\x00\x00\x00'              # picture quality defaults
  zeros 4; zeros 3; zeros 49                             # delay, format, GOP, reserved
}
if [ ! -f "$demo/recdata.dat" ]; then
  today=$(date +%y%m%d)
  tomorrow=$(date -d tomorrow +%y%m%d)
  # A once-only window past midnight ends on the next day, as the form stores it.
  day_after=$(date -d '+2 days' +%y%m%d)
  month=$(date -d '+30 days' +%y%m%d)
  {
    record "ニュース" "$today" "$today" 190000 200000 '\000' '\000' '\xff\x54\x54\x00'
    record "ドラマ" "$today" "$month" 210000 220000 '\124' '\001' '\x00\xc0\x00\x00'
    record "映画" "$tomorrow" "$day_after" 230000 010000 '\000' '\000' '\x00\x80\xff\x00'
    for _ in $(seq 4 40); do record "" 020101 020101 000000 000000 '\000' '\000' '\xff\x54\x54\x00'; done
  } >"$demo/recdata.dat"
  size=$(wc -c <"$demo/recdata.dat")
  [ "$size" -eq 11040 ] || { echo "run: demo schedule has $size bytes" >&2; rm -f "$demo/recdata.dat"; exit 1; }
fi

# Each run begins with an empty recording journal, so that the picture is the main dialog
# alone and not the history window that a journal of past runs may open.
rm -f "$demo/tavrel.log" "$demo/tavrel.log.1"

# ---- Wine ----
export WINEPREFIX=$root/$b/$TAVREL_WIN/wineprefix
bash scripts/wine-prefix.sh "$WINEPREFIX" "$TAVREL_BITS"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "run: starting tavrel.exe in $demo"
  cd "$demo"
  exec "$TAVREL_WINE" "$exe"
fi

source scripts/xvfb.sh
tavrel_start_xvfb
shot=$root/$b/run-screenshot.png
(cd "$demo" && exec "$TAVREL_WINE" "$exe" >/dev/null 2>&1) &
pid=$!
finish() {
  kill "$pid" 2>/dev/null || true
  "$WINESERVER" -k 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
shown=0
for _ in $(seq 1 120); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Tavrel"'; then shown=1; break; fi
  sleep 0.5
done
if [ "$shown" = 0 ]; then
  echo "run: the main dialog did not appear" >&2
  finish
  exit 1
fi
sleep 2  # the first paint and a tick of the clock
import -window root "$shot"
finish
echo "run: no display, so the ${TAVREL_BITS}-bit tavrel.exe ran under Xvfb; screenshot of its main dialog: $shot"
