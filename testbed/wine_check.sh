#!/usr/bin/env bash
# Checks the Windows stand-ins under Wine, driven through Wine's own cmd, xcopy and
# regedit exactly as the program drives them:
#
#   testbed/wine_check.sh HOST_BUILD WINDOWS_BUILD [WINE_PREFIX_TEMPLATE]
#
# HOST_BUILD holds tarsel-testbed, WINDOWS_BUILD the 64-bit tarsel-standin.exe (64-bit,
# since Wine runs only 64-bit programs where the kernel lacks 32-bit support). A prefix
# template saves the minute that making a prefix takes. Ends non-zero on the first
# failed check.
set -euo pipefail
host=$1
windows=$2
template=${3:-}
# Debian's Wine keeps its loaders and its server here, and puts nothing on PATH.
loader=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
for command in "$loader" "$server"; do
  [ -x "$command" ] || { echo "FAIL: $command is missing" >&2; exit 1; }
done
folder=$(mktemp -d /tmp/tarsel-wine-XXXXXX)
# The server's status only says whether one was still running.
trap 'WINEPREFIX=$folder/machine/prefix "$server" -k 2>/dev/null || :; rm -rf "$folder"' EXIT

args=(layout "$folder/machine" --wine --wine-loader "$loader" --stand-in "$windows/tarsel-standin.exe"
      --mpg-size 2000000 --avi-size 3000000 --work-seconds 0.2 --hold 001.001=600000)
[ -n "$template" ] && args+=(--wine-template "$template")
eval "$("$host/tarsel-testbed" "${args[@]}")"
work='C:\DOCUME~1\Tester\LOCALS~1\Temp'
work_host="$WINEPREFIX/drive_c/DOCUME~1/Tester/LOCALS~1/Temp"
failures=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi; }
# Runs a command text through Wine's interpreter with the machine's environment. What
# the commands leave behind is checked below, not their status.
run() { "$loader" 'C:\testbed\launch.exe' 'C:\windows\system32\cmd.exe' "$@" </dev/null >/dev/null 2>&1 || true; }
start() { "$loader" 'C:\testbed\launch.exe' "$@" </dev/null >/dev/null 2>&1 || true; }
unpack() {
  (cd pack && run /c copy /y "$1" "$work\\zentravotemppack.exe" '>' nul)
  (cd "$work_host" && run /c zentravotemppack.exe -y "-p$2" '>' nul)
}

size() { stat -c %s "$1"; }
check "mcmpgenc.exe is padded to 475136 bytes" \
  '[ "$(size "$TARSEL_DRIVES/d:/Program Files/Mainconcept/MPEG Encoder/mcmpgenc.exe")" = 475136 ]'
check "procoder.exe is padded to 1916928 bytes" \
  '[ "$(size "$WINEPREFIX/drive_c/Program Files/Canopus/ProCoder/procoder.exe")" = 1916928 ]'
check "cctspt.exe is padded to 1884160 bytes" \
  '[ "$(size "$TARSEL_DRIVES/d:/Program Files/Cinema Craft/CCE SP/cctspt.exe")" = 1884160 ]'
check "the codecs have their reference sizes" \
  '[ "$(size "$WINEPREFIX/drive_c/windows/system32/divx.dll") $(size "$WINEPREFIX/drive_c/windows/system32/xvid.dll") $(size "$WINEPREFIX/drive_c/windows/system32/wmv9vcm.dll")" = "681984 216064 1415680" ]'

unpack pack.001 wrong
check "a wrong password unpacks nothing" '[ ! -e "$work_host/files.dat" ]'
unpack pack.001 vbkwhtdnpo
check "the right password unpacks the list" '[ -e "$work_host/files.dat" ] && [ -e "$work_host/vdubm.exe" ]'

run /c "$work\\timer.exe" "$work\\vdubm.exe" "/s$work\\001.dat" /x '>' 001.log
check "the timer writes a Global line" 'grep -q "^Global Time  = *[0-9.]* = *100%" 001.log'
check "the timer writes a Process line" 'grep -q "^Process Time = .* = *[0-9]*%" 001.log'
check "the timer measured CPU time" '! grep -q "^Process Time =     0.000" 001.log'
check "vdubm writes the DivX output" '[ "$(stat -c %s 001.avi)" = 21327872 ]'
check "the held log cannot be deleted at once" 'run /c del 001.001; [ -e 001.001 ]'
# The holder looks for the release file every 50 ms, when it is given the processor.
touch "$WINEPREFIX/drive_c/testbed/holds.release"
for _ in $(seq 50); do run /c del 001.001; [ -e 001.001 ] || break; done
check "the held log can be deleted once released" '[ ! -e 001.001 ]'

unpack pack.004 vbkwhtdnpo
"$loader" 'C:\testbed\launch.exe' 'C:\Program Files\nnCron\nncron.exe' -runfile "$work\\004.nnc" </dev/null >/dev/null 2>&1 &
for _ in $(seq 60); do [ -e nncron.out ] && break; sleep 0.1; done
check "nnCron creates the marker" '[ -e nncron.out ]'
run /c "$work\\timer.exe" 'D:\Program' 'Files\Mainconcept\MPEG' 'Encoder\\mcmpgenc.exe' "$work\\004.mes" '>' 004.log
for _ in $(seq 60); do [ -e nncron.out ] || break; sleep 0.1; done
check "nnCron removes the marker when the encoder is done" '[ ! -e nncron.out ]'
check "mcmpgenc writes the MPEG1 output" '[ "$(stat -c %s 004.mpg)" = 21428228 ]'
wait

unpack pack.006 vbkwhtdnpo
p='C:\Program Files\Canopus\ProCoder\'
mkdir -p "$WINEPREFIX/drive_c/Program Files/Canopus/ProCoder/Plugins/User Presets"
# Wine quotes every item with a blank when it builds the command line.
run /c copy /y "$work\\006.dat" "${p}\\Plugins\\User Presets\\fdst_highest.cpf" '>' nul
run /c 'C:\windows\system32\xcopy.exe' "${p}*.*" 'c:\zentravo-kelv-tarsel-testdir\' /s /y '>' nul
check "xcopy copies ProCoder" '[ -e "$WINEPREFIX/drive_c/zentravo-kelv-tarsel-testdir/procoder.exe" ]'
run /c "$work\\timer.exe" 'C:\Program' 'Files\nnCron\\nncron.exe' -runfile "$work\\006.nnc" '>' 006.log
check "the copied ProCoder writes 006.m2p" \
  '[ "$(stat -c %s "$WINEPREFIX/drive_c/zentravo-kelv-tarsel-testdir/006.m2p")" = 139083780 ]'

unpack pack.007 vbkwhtdnpo
start 'C:\windows\regedit.exe' /s "$work\\007.dat"
run /c "$work\\timer.exe" 'D:\Program' 'Files\Cinema' 'Craft\CCE' 'SP\\cctspt.exe' 'D:\Tarsel\test.avi' '>' 007.log
check "cctspt reads Wine's registry and writes test.mpv" '[ "$(stat -c %s test.mpv)" = 130736572 ]'

# The launcher's own lines are kept: they are shown when the editor left no event.
"$loader" 'C:\testbed\launch.exe' 'C:\windows\system32\cmd.exe' /c 'C:\windows\system32\notepad.exe' \
  zentravo-kelv-tarsel.log </dev/null >"$folder/notepad.out" 2>&1 || echo "the editor's start ended with status $?" >>"$folder/notepad.out"
check "the editor records that it was opened" \
  'grep -q "^notepad	D:\\\\Tarsel	zentravo-kelv-tarsel.log" "$WINEPREFIX/drive_c/testbed/events.log" ||
   { cat "$folder/notepad.out"; echo "the event log ends:"; tail -3 "$WINEPREFIX/drive_c/testbed/events.log"; false; }'

echo "$failures failed"
[ "$failures" = 0 ]
