#!/usr/bin/env bash
# End-to-end test of the real zvfirm under a virtual X server (Xvfb), driven by the
# keyboard and the mouse through XTEST (xdotool), against the simulated drive of the demo
# package: the notice, a successful update on the pass-through transport, a failed one on
# the ASPI transport, Cancel in the notice, in English and Japanese. A click on EXIT and a
# key press while an update runs must have no effect, neither during it nor after it.
# Screenshots and message box logs are kept in <build>/e2e/.
#
# usage: scripts/test-e2e.sh [build folder]   (default: build/, or $ZVFIRM_BUILD_DIR)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${ZVFIRM_BUILD_DIR:-$top/build}}
zvfirm=$build/ui/zvfirm
make_image=$build/sim/zvfirm-make-image
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "test-e2e: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$zvfirm" ] && [ -x "$make_image" ] || { echo "test-e2e: build $build first" >&2; exit 1; }

artefacts=$build/e2e
rm -rf "$artefacts"
mkdir -p "$artefacts"
work=$(mktemp -d "${TMPDIR:-/tmp}/zvfirm-e2e-XXXXXX")
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "PASS: $*"; }

# A display of our own for each run: Xvfb picks a free number and writes it to the
# descriptor. (A fresh server per run also keeps one run's pointer and focus from the next.)
start_display() {
  local display="" fd
  exec {fd}<> <(:)
  Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp >>"$artefacts/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    read -r -t 0.1 display <&"$fd" || true
    [ -n "$display" ] && break
  done
  exec {fd}<&-
  [ -n "$display" ] || { echo "test-e2e: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$display"
}

stop_display() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
}

# The package: the demo's files in a folder of their own, with `options` added.
make_package() {  # folder, extra option lines, extra sim lines
  mkdir -p "$1"
  cp "$top/examples/demo/zorvfirm.ini" "$top/examples/demo/demo-drive.sim" "$1/"
  # A longer flash wait, so that the update surely still runs when the input arrives.
  sed -i 's/^UPDATE WAIT TIME=.*/UPDATE WAIT TIME=8/' "$1/zorvfirm.ini"
  printf '%b' "$2" >>"$1/zorvfirm.ini"
  printf '%b' "$3" >>"$1/demo-drive.sim"
  "$make_image" "$1/ZV314K.BIN"
}

# Starts zvfirm in `folder` with the language `lang`; message boxes go to folder/boxes.log
# and are answered with their default button.
start() {  # folder, lang
  (cd "$1" && exec env LANG="$2" LC_ALL= LC_MESSAGES= ZVFIRM_SIMULATE="$1/demo-drive.sim" \
     ZVFIRM_MESSAGE_LOG="$1/boxes.log" "$zvfirm" >"$1/out.log" 2>&1) &
  app_pid=$!
}

# The id of the program's visible window whose title matches `pattern` (with `!` before
# it: does not match), once it is there.
window_of() {  # [!] pattern
  local id name negate=0
  [ "$1" = "!" ] && { negate=1; shift; }
  for _ in $(seq 150); do
    for id in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
      name=$(xdotool getwindowname "$id" 2>/dev/null) || continue
      if [[ "$name" == *"$1"* ]]; then [ $negate = 0 ] && { echo "$id"; return 0; }
      else [ $negate = 1 ] && { echo "$id"; return 0; }; fi
    done
    kill -0 "$app_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Keys go through XTEST to the focused window, never as events sent to a window: a window
# that closes between press and release would leave the key held down.
key() {  # window, key
  xdotool windowfocus --sync "$1" && xdotool key --delay 50 "$2"
}

# Clicks at a point given in dialog-relative fractions.
click_at() {  # window, x numerator, x denominator, y numerator, y denominator
  local geometry w h x y
  geometry=$(xdotool getwindowgeometry --shell "$1")
  eval "$geometry"
  w=$WIDTH; h=$HEIGHT; x=$X; y=$Y
  xdotool mousemove --sync $((x + w * $2 / $3)) $((y + h * $4 / $5)) click 1
}

shot() {  # window, name
  import -window "$1" "$artefacts/$2.png"
}

wait_for_text() {  # file, text, seconds
  for _ in $(seq $(($3 * 10))); do
    grep -qF -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

wait_for_end() {  # seconds
  for _ in $(seq $(($1 * 10))); do
    kill -0 "$app_pid" 2>/dev/null || { wait "$app_pid"; app_pid=""; return 0; }
    sleep 0.1
  done
  return 1
}

# One update: notice, main dialog, UPDATE by Enter, then a click on EXIT and Escape while it
# runs; the outcome in the box log; the dialog still open afterwards; Escape ends it.
run_update() {  # name, lang, folder, expected box text, notice title, input|no-input
  local name=$1 lang=$2 folder=$3 expected=$4
  start_display
  start "$folder" "$lang"
  drive_update "$@"
  # What the program logged and wrote, kept whatever happened.
  cp "$folder/boxes.log" "$artefacts/$name-boxes.log" 2>/dev/null || true
  cp "$folder/out.log" "$artefacts/$name-output.log"
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" || true; app_pid=""; fi
  stop_display
}

drive_update() {
  local name=$1 lang=$2 folder=$3 expected=$4 input_during=$6 notice main
  if ! notice=$(window_of "Welcome"); then fail "$name: no notice dialog"; return; fi
  [ "$(xdotool getwindowname "$notice")" = "$5" ] || fail "$name: notice title '$(xdotool getwindowname "$notice")'"
  sleep 0.3
  shot "$notice" "$name-notice"
  key "$notice" Return || { fail "$name: no key to the notice"; return; }
  if ! main=$(window_of ! "Welcome"); then fail "$name: no main dialog"; return; fi
  echo "$name: main dialog '$(xdotool getwindowname "$main")'"
  sleep 0.3
  shot "$main" "$name-main"
  key "$main" Return || { fail "$name: no key to the main dialog"; return; }
  sleep 0.5
  if [ "$input_during" = input ]; then
    # EXIT's centre lies at (228, 28) of the 262 x 51 dialog units.
    click_at "$main" 228 262 28 51 || fail "$name: no click"
    key "$main" Escape || fail "$name: no key during the update"
    # The input only proves something if the update was still running when it came.
    if [ -e "$folder/boxes.log" ]; then
      fail "$name: the update ended before the input arrived; nothing was shown"; return
    fi
    shot "$main" "$name-updating"
  fi
  if ! wait_for_text "$folder/boxes.log" "$expected" 60; then
    fail "$name: no '$expected' box"; cat "$folder/boxes.log" "$folder/out.log" >&2 || true; return
  fi
  # Input dropped during the update must not come back after it.
  sleep 1.5
  if kill -0 "$app_pid" 2>/dev/null && xdotool search --onlyvisible --pid "$app_pid" >/dev/null; then
    if [ "$input_during" = input ]; then
      pass "$name: '$expected'; EXIT clicked and Escape pressed during the update had no effect"
    else
      pass "$name: '$expected'; the dialog stays open"
    fi
  else
    fail "$name: the dialog closed after the update (input during it was not dropped)"
    return
  fi
  shot "$main" "$name-after"
  [ "$(grep -c '^\[' "$folder/boxes.log")" = 1 ] || { fail "$name: boxes other than the outcome:"; cat "$folder/boxes.log" >&2; }
  key "$main" Escape || fail "$name: no key after the update"
  if wait_for_end 10; then pass "$name: Escape ends the program"; else fail "$name: Escape did not end it"; fi
}

make_package "$work/en" "" ""
run_update success-en C "$work/en" "Firmware update is completed." "ZV-314K Firmware 1.02 - Welcome" input

make_package "$work/ja" "" ""
run_update success-ja ja_JP.UTF-8 "$work/ja" "ファームウェア更新に成功しました。" "ZV-314K Firmware 1.02 - Welcome" input

# A drive that refuses the final chunk, reached through the ASPI manager. The refusal
# comes at once, so no input is sent during these updates.
make_package "$work/fail" "USE SCSIPASSTHROUGHINTERFACE ON WINNT=NO\n" "fault = final : sense 09/86/00\n"
cp "$build/ui/libzvaspi32.so" "$work/fail/" 2>/dev/null || true
run_update failure-ja-aspi ja_JP.UTF-8 "$work/fail" "ファームウェア更新に失敗しました。" "ZV-314K Firmware 1.02 - Welcome" no-input

make_package "$work/failen" "USE SCSIPASSTHROUGHINTERFACE ON WINNT=NO\n" "fault = final : sense 09/86/00\n"
run_update failure-en-aspi C "$work/failen" "Firmware update is failed." "ZV-314K Firmware 1.02 - Welcome" no-input

# Escape in the notice ends the program before the main dialog, without a box.
make_package "$work/cancel" "" ""
start_display
start "$work/cancel" C
if notice=$(window_of "Welcome"); then
  key "$notice" Escape || fail "cancel: no key"
  if wait_for_end 10 && [ ! -e "$work/cancel/boxes.log" ]; then
    pass "cancel: Escape in the notice ends the program without a box"
  else
    fail "cancel: the program went on after Escape in the notice"
  fi
else
  fail "cancel: no notice dialog"
fi

stop_display

echo "Screenshots and box logs: $artefacts"
[ "$failures" = 0 ] || { echo "test-e2e: $failures failure(s)" >&2; exit 1; }
echo "test-e2e: all passed"
