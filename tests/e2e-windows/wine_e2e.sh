#!/bin/bash
# Run testnuv.exe under Wine on a virtual X display and check what it shows,
# which back-end shows it, that keys and close requests do not end it, that
# the system menu does not stall it (in a window), and that the space bar
# ends it with exit code 0 and a study log. The program is started by its full
# path from a folder named "José/año", where its study log goes.
#
# Usage: wine_e2e.sh CASE TESTNUV_EXE WINE_PICTURE_CHECK
#   directx-window      1024x768x24: no 800x600 mode, so a DirectX window
#   directx-fullscreen  800x600x16: DirectX full screen, picture at the top left
#   directx-tall        800x768x16: no 800x600 mode, picture 84 rows down;
#                       ended by a console Ctrl+C (Wine turns SIGINT into one)
#   gdi                 ddraw disabled: the GDI window
# Exit code 77 (skipped) when Wine is not installed.
set -u

case_name="$1"
exe="$2"
checker="$3"

command -v wine >/dev/null 2>&1 || { echo "wine is not installed: skipped"; exit 77; }
for tool in Xvfb xdotool xwininfo import convert; do
  command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: $tool is missing"; exit 1; }
done
[ -f "$exe" ] || { echo "FAIL: $exe does not exist (build it with 'make windows')"; exit 1; }

case "$case_name" in
  directx-window) screen=1024x768x24 backend=directx place=--centred-x windowed=1 stop=space ;;
  directx-fullscreen) screen=800x600x16 backend=directx place="--at 0 0" windowed=0 stop=space ;;
  directx-tall) screen=800x768x16 backend=directx place="--at 0 84" windowed=0 stop=ctrl-c ;;
  gdi) screen=1024x768x24 backend=gdi place=--centred-x windowed=1 stop=space ;;
  *) echo "FAIL: unknown case $case_name"; exit 2 ;;
esac

work=$(mktemp -d "${TMPDIR:-/tmp}/testnuv-wine.XXXXXX")
xvfb_pid=""
wine_pid=""
started=$(date +%s)

# Stop what this script started, by process id, and remove the temporary directory.
cleanup() {
  if [ -n "$wine_pid" ] && kill -0 "$wine_pid" 2>/dev/null; then kill "$wine_pid" 2>/dev/null; fi
  if [ -d "$work/prefix" ]; then WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "FAIL ($case_name): $*"
  [ -f "$work/wine.log" ] && { echo "--- wine output (last lines)"; tail -n 20 "$work/wine.log"; }
  exit 1
}

note() { echo "[$(( $(date +%s) - started ))s] $*"; }

# Wait until a command succeeds, polling every half second, for at most $1 seconds.
wait_for() {
  local limit=$1
  shift
  local deadline=$(( $(date +%s) + limit ))
  until "$@"; do
    [ "$(date +%s)" -ge "$deadline" ] && return 1
    sleep 0.5
  done
}

# --- the virtual display -------------------------------------------------
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
wait_for 30 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
note "Xvfb $screen on $DISPLAY"

# --- a fresh Wine prefix ---------------------------------------------------
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
timeout 300 wine wineboot -i >/dev/null 2>&1 || fail "wineboot did not finish"
# Let Wine draw the window frame itself, so that the close button exists without a window manager.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
timeout 120 wineserver -w
note "Wine prefix ready"

# --- start the experiment --------------------------------------------------
run_dir="$work/José/año"
mkdir -p "$run_dir"
cp "$exe" "$run_dir/testnuv.exe"
cd "$run_dir" || fail "no work directory"
overrides="$WINEDLLOVERRIDES"
[ "$backend" = gdi ] && overrides="$overrides;ddraw=d"
log_date_start=$(date +%m-%d-%Y)
( WINEDEBUG=-all,+loaddll WINEDLLOVERRIDES="$overrides" wine "$run_dir/testnuv.exe" >"$work/wine.log" 2>&1
  echo $? >"$work/exit_code" ) &
wine_pid=$!

window_id() { xdotool search --name '^DIDAVIR - Generador aleatorio' 2>/dev/null | head -n1; }
have_window() { [ -n "$(window_id)" ]; }
wait_for 120 have_window || fail "no window appeared"

# Take a screenshot and check the picture; the origin goes to $work/origin.
picture_ok() {
  import -window root -depth 8 "$work/shot.ppm" 2>/dev/null || return 1
  # shellcheck disable=SC2086
  "$checker" "$work/shot.ppm" $place --plotted >"$work/origin" 2>"$work/check.log"
}
wait_for 60 picture_ok || { cat "$work/check.log"; fail "the picture is not right"; }
note "picture at $(cat "$work/origin")"
# Only now is the window the one that stays: the refused full-screen attempts before it
# made windows of the same title and destroyed them again.
window=$(window_id)
note "window $window"

# --- which back-end shows it ---------------------------------------------------
# Each DirectX attempt loads dinput.dll and frees it again when it fails;
# the one that runs keeps it loaded.
loads=$(grep -c 'Loaded L".*dinput.dll' "$work/wine.log")
unloads=$(grep -c 'Unloaded module L".*dinput.dll' "$work/wine.log")
kept=$(( loads - unloads ))
case "$backend" in
  directx) [ "$kept" -eq 1 ] || fail "DirectX is not running (dinput.dll loaded $loads, freed $unloads)" ;;
  gdi) [ "$kept" -eq 0 ] && [ "$loads" -eq 4 ] || fail "expected four refused DirectX attempts, then GDI ($loads, $unloads)" ;;
esac
note "back-end $backend ($loads DirectX attempts)"

# --- keys and close requests do not end it ---------------------------------
still_running() { kill -0 "$wine_pid" 2>/dev/null && [ ! -f "$work/exit_code" ] && have_window; }
read -r ox oy <"$work/origin"
xdotool mousemove $(( ox + 400 )) $(( oy + 300 ))
xdotool key a b Up Left F10 alt alt+F4
if [ "$windowed" = 1 ]; then
  # The close button at the right end of the caption that Wine draws.
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $(( X + WIDTH - 8 )) $(( Y + 11 )) click 1
  xdotool mousemove $(( ox + 400 )) $(( oy + 300 ))
  # Alt+Enter: full screen cannot be had here, so the window must come back as it was.
  xdotool key alt+Return
fi
sleep 2
# Alt+Enter makes the window again after the refused switch; on a busy machine that takes a while.
wait_for 20 still_running || fail "a key or close request ended the program"
wait_for 30 picture_ok || { cat "$work/check.log"; fail "the picture is gone after the keys"; }
[ "$(cat "$work/origin")" = "$ox $oy" ] || fail "the picture moved from $ox $oy to $(cat "$work/origin")"
note "still running after letters, arrows, F10, Alt and Alt+F4$([ "$windowed" = 1 ] && echo ", the close button and Alt+Enter")"

# --- the system menu does not stall the experiment ------------------------------
# While the menu is open the presentation thread sits in the menu's own message loop, so the
# shown picture stands still; the experiment must go on drawing a second every second meanwhile.
plotted() {
  import -window root -depth 8 "$work/count.ppm" 2>/dev/null || return 1
  "$checker" "$work/count.ppm" --count 2>/dev/null | sed -n 2p
}
if [ "$windowed" = 1 ]; then
  xdotool mousemove $(( ox + 400 )) $(( oy + 300 ))
  before=$(plotted); t0=$(date +%s)
  xdotool key alt+space
  # The menu is open once the shown picture stands still for over a second; a loaded
  # machine may take a while to open it, so look for that for up to 15 s.
  held1=""; held2=""
  for _ in $(seq 1 10); do
    a=$(plotted); sleep 1.2; b=$(plotted)
    if [ -n "$a" ] && [ "$a" = "$b" ]; then held1=$a; break; fi
  done
  sleep 3; held2=$(plotted)
  # The first Escape closes the menu, the second leaves the menu loop.
  xdotool key Escape Escape
  sleep 2; after=$(plotted); t1=$(date +%s)
  [ -n "$before" ] && [ -n "$after" ] || fail "no picture to count seconds on"
  [ -n "$held1" ] && [ "$held1" = "$held2" ] ||
    fail "the system menu did not open, or did not hold the picture (${held1:-never still}, $held2)"
  gained=$(( after - before )); elapsed=$(( t1 - t0 ))
  [ "$gained" -ge $(( elapsed - 2 )) ] ||
    fail "only $gained seconds plotted in $elapsed s with the system menu open"
  still_running || fail "the system menu ended the program"
  note "system menu open: $gained seconds plotted in $elapsed s"
fi

# --- the space bar, or a console Ctrl+C, ends it ---------------------------------
if [ "$stop" = space ]; then
  xdotool key space
else
  # The Windows process is the child of the subshell that started wine.
  program_pid=$(pgrep -P "$wine_pid" | head -n1)
  [ -n "$program_pid" ] || fail "no program process under $wine_pid"
  kill -INT "$program_pid"
fi
ended() { [ -f "$work/exit_code" ]; }
wait_for 60 ended || fail "the $stop did not end the program"
code=$(cat "$work/exit_code")
[ "$code" = 0 ] || fail "exit code $code after $stop"
wine_pid=""
note "ended by $stop, exit code 0"

# --- the study log ---------------------------------------------------------
log=""
for d in "$log_date_start" "$(date +%m-%d-%Y)"; do
  [ -f "$run_dir/estudio_$d" ] && log="$run_dir/estudio_$d"
done
[ -n "$log" ] || fail "no study log estudio_$log_date_start in José/año"
/usr/bin/python3 -m json.tool "$log.json" >/dev/null || fail "the provenance record $log.json is not valid JSON"
lines=$(tr -cd '\n' <"$log" | wc -c)
crlf=$(LC_ALL=C grep -c $'\r$' "$log")
[ "$lines" -eq "$crlf" ] || fail "the study log has a line end without CR"
note "study log $(basename "$log") ($lines lines)"
echo "PASS ($case_name)"
