#!/bin/bash
# The soak's guest side (run by scripts/soak inside the QEMU guest, chrooted into the host's root):
# korvex-config under Xvfb next to uhid and USB boards, driven by keyboard while boards are
# unplugged and replugged and their feature requests fail. It writes into $OUT:
#   boards.log   every line the boards printed, each led by the guest's time in seconds
#   journal      what this script did and chose, led by the same time: the host's checks read it
#   config.log   the configurator's output; asan.* any sanitizer report
# Inputs (environment): OUT CYCLES FAULTS SEED CONFIG UHID_BOARD USB_BOARD CLOSER SUPPRESSIONS.
# The logs grow in the guest's memory (a file on the shared folder costs a host round trip a line)
# and are copied to $OUT now and then, and at the end.
set -u
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
RANDOM=$SEED

uhid_serials=(KXH0001 KXH0002 KXH0003 KXH0004 KXH0005)
usb_serials=(KXU0001 KXU0002 KXU0003 KXU0004)
all_serials=("${uhid_serials[@]}" "${usb_serials[@]}")
fault_kinds=(refuse short hang silent)

logs=/tmp/soak
mkdir -p "$logs"
journal() { printf '%s %s\n' "$EPOCHREALTIME" "$*" >>"$logs/journal"; }
save_logs() { cp "$logs/journal" "$logs/boards.log" "$OUT/"; }
# A pause without a process: a read that times out on a pipe nobody writes.
mkfifo /tmp/nap
exec {napfd}<>/tmp/nap
nap() { read -r -t "$1" -u "$napfd" _; }
# Times in microseconds, without a subshell (a fork costs tens of milliseconds under emulation):
# EPOCHREALTIME always has six decimals.
now_us() { local t=${EPOCHREALTIME/./}; us=$((10#$t)); }
# Every line a board program prints, stamped as it arrives; both programs append whole lines.
stamp() { while IFS= read -r line; do printf '%s %s\n' "$EPOCHREALTIME" "$line"; done >>"$logs/boards.log"; }

# --- the boards
mkfifo /tmp/uhid-commands /tmp/usb-commands
: >"$logs/boards.log"
uhid_args=() usb_args=()
for s in "${uhid_serials[@]}"; do uhid_args+=(--board "$s"); done
for s in "${usb_serials[@]}"; do usb_args+=(--board "$s"); done
"$UHID_BOARD" "${uhid_args[@]}" --log <>/tmp/uhid-commands 2>&1 | stamp &
"$USB_BOARD" "${usb_args[@]}" --log <>/tmp/usb-commands 2>&1 | stamp &

declare -A plugged fault model_low model_high model_pulse model_hide ack
declare -A loaded loaded_at reading gets writes read_values asked
for s in "${all_serials[@]}"; do
  plugged[$s]=1 fault[$s]=none loaded[$s]=0 loaded_at[$s]=0 reading[$s]=0 gets[$s]=0 writes[$s]=0 asked[$s]=""
  # What a board's firmware holds at start.
  model_low[$s]=0 model_high[$s]=0 model_pulse[$s]=1 model_hide[$s]=0
done
command_fifo() { case $1 in KXH*) fifo=/tmp/uhid-commands ;; *) fifo=/tmp/usb-commands ;; esac; }

# --- reading the boards' log as it grows
exec {logfd}<"$logs/boards.log"
partial=""
cur=""          # the board the window has open, as far as this script knows
previous="" chosen_at=0  # the board open before the last choice, and when that choice was made
scan_serial=""  # a board read that no choice asked for: the window scanned and loaded it
unchosen=0
handle_line() {
  local ts word serial dir b0 b1 b2 b3 rest
  read -r ts word serial dir b0 b1 b2 b3 rest <<<"$1"
  if [ "$word" != feature ]; then
    [ -n "$serial" ] && ack["$word $serial"]=$((10#${ts/./}))
    return
  fi
  if [ "$dir" = set ]; then
    case $b1 in
      08)
        reading[$serial]=1 gets[$serial]=0 loaded[$serial]=0
        # The board open before a choice may be read once more before the window takes the key (a
        # retry of a failed read-back that the timer had started): that is no scan.
        if [ "$serial" = "$cur" ]; then
          previous=""
        elif [ "$serial" != "$previous" ] || [ $((10#${ts/./} - chosen_at)) -ge 2000000 ]; then
          scan_serial=$serial
        fi
        ;;
      EE | B0)
        writes[$serial]=$((writes[$serial] + 1))
        # Checked here too, so that a wrong write is seen while the window still shows its cause.
        local got="$b2 $b3" next=${asked[$serial]%%,*}
        [ "$b1" = B0 ] && got="B0 $b3"
        asked[$serial]=${asked[$serial]#*,}
        [ "$got" = "$next" ] || { wrong_writes+=("$serial $got (asked for: ${next:-nothing})"); }
        ;;
    esac
  elif [ "${reading[$serial]}" = 1 ]; then
    if [ -z "$b2" ]; then
      reading[$serial]=0  # a short answer: the read-back failed
    else
      gets[$serial]=$((gets[$serial] + 1))
      case $b1 in
        08) read_values[$serial]=$((16#$b2)) ;;
        09 | 0A) read_values[$serial]+=" $((16#$b2))" ;;
      esac
      if [ "$b1" = 01 ] && [ "${gets[$serial]}" -ge 4 ]; then
        reading[$serial]=0 loaded[$serial]=1 loaded_at[$serial]=$((10#${ts/./}))
        # The window now shows what the board holds: the script's idea of it follows.
        read -r model_low[$serial] model_high[$serial] model_pulse[$serial] <<<"${read_values[$serial]}"
        model_hide[$serial]=$((16#$b2))
      fi
    fi
  fi
}
pump() {
  local line
  while :; do
    if IFS= read -r -u "$logfd" line; then
      handle_line "$partial$line"
      partial=""
    else
      partial+=$line
      return
    fi
  done
}
# wait_for SECONDS CONDITION...: pumps the log until CONDITION holds; false at the deadline.
wait_for() {
  local whole=${1%%.*} fraction=000000 deadline us
  [[ $1 == *.* ]] && fraction=${1#*.}000000
  now_us
  deadline=$((us + 10#$whole * 1000000 + 10#${fraction:0:6}))
  shift
  while :; do
    pump
    "$@" && return 0
    now_us
    [ "$us" -ge "$deadline" ] && return 1
    nap 0.02
  done
}
# console "SERIAL COMMAND"...: sends console commands and waits for the board programs' answers.
console() {
  local sent entry serial command reply fifo us
  now_us
  sent=$us
  for entry in "$@"; do
    serial=${entry% *} command=${entry#* }
    command_fifo "$serial"
    echo "$command $serial" >"$fifo"
  done
  for entry in "$@"; do
    serial=${entry% *} command=${entry#* }
    reply=$command
    case $command in unplug) reply=unplugged ;; plug) reply=plugged ;; esac
    # A board's removal or arrival waits while the kernel waits on a hanging board (its hidraw
    # lock): up to two 5 s timeouts when the window reads such a board and then tries once more.
    wait_for 15 acked "$reply $serial" "$sent" || journal "no-answer $command $serial"
  done
}
acked() { [ "${ack[$1]:-0}" -ge "$2" ]; }

# --- the kernel's view: which hidraw node holds which board
node_of() {  # prints the hidraw number of SERIAL's node, if it has one
  local dir line
  for dir in /sys/class/hidraw/hidraw*; do
    [ -e "$dir/device/uevent" ] || continue
    while IFS= read -r line; do
      if [ "$line" = "HID_UNIQ=$1" ]; then echo "${dir##*hidraw}"; return 0; fi
    done <"$dir/device/uevent" 2>/dev/null
  done
  return 1
}
has_node() { node_of "$1" >/dev/null; }
no_node() { ! node_of "$1" >/dev/null; }
# The serial-number list as the window builds it in a scan: the boards in the order of their nodes.
list=()
snapshot_list() {
  local dir line pairs=()
  for dir in /sys/class/hidraw/hidraw*; do
    [ -e "$dir/device/uevent" ] || continue
    while IFS= read -r line; do
      case $line in HID_UNIQ=*) pairs+=("${dir##*hidraw} ${line#HID_UNIQ=}") ;; esac
    done <"$dir/device/uevent" 2>/dev/null
  done
  mapfile -t list < <(printf '%s\n' "${pairs[@]}" | sort -n | awk '{print $2}')
}
index_of() { local i; for i in "${!list[@]}"; do [ "${list[$i]}" = "$1" ] && { index=$i; return 0; }; done; return 1; }

# --- the window
window=""
focus=unknown  # "serno" once the serial list is known to have the focus
wrong_writes=() pictures=0
# One xdotool for the whole run, fed command lines: starting one costs a second under emulation.
xdo() { echo "$*" >&"$xdofd"; }
keys() { xdo key --delay 15 "$@"; }
popups() { xdotool search --onlyvisible --pid "$config" 2>/dev/null | wc -l; }
# Gives the serial list the focus: a click opens its drop-down, Escape closes it unchosen.
anchor_focus() {
  xdo windowfocus "$window"
  xdo mousemove --window "$window" 160 33 click 1
  wait_for 0.8 false
  local i
  for i in 1 2 3; do
    # Escape before the drop-down shows goes to the closed list, which ignores it.
    xdo key Escape
    wait_for 0.3 false
    popup_closed && { focus=serno; return 0; }
  done
  journal "anchor: drop-down stays open"
  focus=unknown
  return 1
}
popup_closed() { [ "$(popups)" -le 1 ]; }

# After a scan the window lists the boards present and loads the last one; the focus is lost.
resync_after_scan() {
  local serial=$scan_serial
  snapshot_list
  cur=$serial previous=""
  scan_serial=""
  local last=""
  [ ${#list[@]} -gt 0 ] && last=${list[${#list[@]}-1]}
  journal "scan $serial list=${list[*]}"
  [ "$last" = "$serial" ] || journal "scan-mismatch loaded=$serial last=$last"
  focus=unknown
}
scanned() { [ -n "$scan_serial" ]; }

hex() { printf -v hexed '%02X' "$1"; }

read_done_after() { [ "${loaded_at[$1]}" -ge "$2" ]; }
read_ok=0 read_slow=0 read_missing=0 read_max_us=0 read_total_us=0
choose_board() {
  [ "$focus" = serno ] || anchor_focus || return
  local idx choices=() j index
  index_of "$cur" || { journal "current $cur not in the list"; return; }
  idx=$index
  for j in $((idx - 1)) $((idx + 1)); do
    [ "$j" -ge 0 ] && [ "$j" -lt "${#list[@]}" ] && [ "${plugged[${list[$j]}]}" = 1 ] && choices+=("$j")
  done
  [ ${#choices[@]} -gt 0 ] || return
  j=${choices[RANDOM % ${#choices[@]}]}
  local key=Down
  [ "$j" -lt "$idx" ] && key=Up
  local chosen=${list[$j]} pressed us
  previous=$cur
  cur=$chosen
  loaded[$chosen]=0
  now_us
  pressed=$us chosen_at=$us
  journal "choose $chosen fault=${fault[$chosen]}"
  xdo key "$key"
  case ${fault[$chosen]} in
    none | silent)
      if wait_for 3 read_done_after "$chosen" "$pressed"; then
        local took=$((loaded_at[$chosen] - pressed))
        journal "read $chosen $took"
        read_total_us=$((read_total_us + took))
        [ "$took" -gt "$read_max_us" ] && read_max_us=$took
        if [ "$took" -le 1000000 ]; then read_ok=$((read_ok + 1)); else read_slow=$((read_slow + 1)); fi
      else
        journal "no-read $chosen"
        read_missing=$((read_missing + 1))
      fi
      ;;
    refuse) wait_for 0.3 false ;;  # a board that refuses logs nothing
    *) wait_for 0.3 false ;;  # its read fails or waits for the system's timeout: move on
  esac
  # A read of the previous board from here on is a scan: the window took the key long ago.
  previous=""
  # Another board was read than the one chosen: the window's list is not what the script thinks.
  if [ -n "$scan_serial" ]; then
    journal "read-other chosen=$chosen read=$scan_serial"
    resync_after_scan
  fi
}

# A value chosen by keyboard in one of the board's controls, reached from the serial list by Tab.
writes_reached() { [ "${writes[$1]}" -ge "$2" ]; }
choose_value() {
  local serial=$cur
  [ "$focus" = serno ] && [ -n "$serial" ] || return
  [ "${loaded[$serial]}" = 1 ] || return
  [ "${fault[$serial]}" = refuse ] && return  # a refused write reloads the panel, which moves the focus
  # The window applies what a read found a moment after the board answered.
  local us
  now_us
  [ $((us - loaded_at[$serial])) -ge 400000 ] || wait_for 0.4 false
  local target=$((RANDOM % 10)) back=() there=() key expect=() before=${writes[$serial]} hexed
  if [ "$target" -lt 8 ]; then  # Enc1 ... Enc8: pair target+1
    local bit=$((1 << target)) code newcode
    code=$(((model_low[$serial] & bit ? 1 : 0) | (model_high[$serial] & bit ? 2 : 0)))
    if [ "$code" -eq 0 ]; then newcode=1; elif [ "$code" -eq 3 ]; then newcode=2; else newcode=$((code + (RANDOM % 2) * 2 - 1)); fi
    key=Down; [ "$newcode" -lt "$code" ] && key=Up
    local low=$(((model_low[$serial] & ~bit) | (newcode & 1 ? bit : 0)))
    local high=$(((model_high[$serial] & ~bit) | (newcode & 2 ? bit : 0)))
    for ((n = 0; n < 8 - target; n++)); do there+=(shift+Tab); back+=(Tab); done
    hex "$low"
    expect=("08 $hexed")
    hex "$high"
    expect+=("09 $hexed")
    model_low[$serial]=$low model_high[$serial]=$high
    journal "value $serial Enc$((target + 1)) $code>$newcode"
  elif [ "$target" -eq 8 ]; then  # ModeCh1: pulse codes 1 ... 25
    local code=${model_pulse[$serial]} newcode
    if [ "$code" -le 1 ]; then newcode=2; elif [ "$code" -ge 25 ]; then newcode=24; else newcode=$((code + (RANDOM % 2) * 2 - 1)); fi
    key=Down; [ "$newcode" -lt "$code" ] && key=Up
    for ((n = 0; n < 9; n++)); do there+=(shift+Tab); back+=(Tab); done
    hex "$newcode"
    expect=("0A $hexed")
    model_pulse[$serial]=$newcode
    journal "value $serial ModeCh1 $code>$newcode"
  else  # NoJoy, after the serial list: Space toggles it
    local hide=${model_hide[$serial]} newhide=1
    [ "$hide" = 1 ] && newhide=0
    key=space there=(Tab) back=(shift+Tab)
    hex "$newhide"
    expect=("01 $hexed" "B0 $hexed")
    model_hide[$serial]=$newhide
    journal "value $serial NoJoy $hide>$newhide"
  fi
  local e
  for e in "${expect[@]}"; do
    journal "expect $serial $e"
    asked[$serial]+="$e,"
  done
  keys "${there[@]}" "$key"
  # Tab, Shift+Tab and the choice take the window a while under emulation on a busy machine.
  wait_for 5 writes_reached "$serial" $((before + ${#expect[@]})) || journal "writes-late $serial"
  if [ ${#wrong_writes[@]} -gt 0 ]; then
    # The keys reached another control than the script meant: keep a picture of the window for
    # the first few, and find the serial list again.
    for e in "${wrong_writes[@]}"; do journal "wrong-write $e"; done
    wrong_writes=()
    if [ "$pictures" -lt 3 ]; then
      pictures=$((pictures + 1))
      import -window "$window" "$OUT/wrong-write-$pictures.png" 2>/dev/null
      journal "picture wrong-write-$pictures.png"
    fi
    focus=unknown
    return
  fi
  keys "${back[@]}"
}

inject_faults() {  # inject_faults N: N boards with no fault get one
  local n=$1 i s candidates=() commands=()
  for s in "${all_serials[@]}"; do [ "${fault[$s]}" = none ] && [ "${plugged[$s]}" = 1 ] && candidates+=("$s"); done
  for ((i = 0; i < n && ${#candidates[@]} > 0; i++)); do
    local k=$((RANDOM % ${#candidates[@]}))
    s=${candidates[$k]}
    candidates=("${candidates[@]:0:k}" "${candidates[@]:k+1}")
    local kind=${fault_kinds[RANDOM % ${#fault_kinds[@]}]}
    commands+=("$s $kind")
    fault[$s]=$kind
    faults_done=$((faults_done + 1))
    journal "fault $s $kind"
  done
  [ ${#commands[@]} -eq 0 ] || console "${commands[@]}"
}
undo_faults() {
  local s commands=()
  for s in "${all_serials[@]}"; do
    case ${fault[$s]} in
      none) continue ;;
      silent) commands+=("$s talk") ;;
      *) commands+=("$s accept") ;;
    esac
    journal "undo $s ${fault[$s]}"
    fault[$s]=none
  done
  [ ${#commands[@]} -eq 0 ] || console "${commands[@]}"
}

unplug_replug() {
  local s=""
  if [ $((RANDOM % 5)) -eq 0 ] && [ -n "$cur" ] && [ "${plugged[$cur]}" = 1 ]; then
    s=$cur
  else
    local candidates=()
    for s in "${all_serials[@]}"; do [ "${plugged[$s]}" = 1 ] && candidates+=("$s"); done
    s=${candidates[RANDOM % ${#candidates[@]}]}
  fi
  local open=no
  [ "$s" = "$cur" ] && open=yes
  journal "unplug $s open=$open"
  console "$s unplug"
  plugged[$s]=0
  wait_for 5 no_node "$s" || journal "node-stays $s"
  if [ "$s" = "$cur" ]; then
    # The window notices the loss, scans and loads the last board it lists.
    if wait_for 20 scanned; then
      resync_after_scan
    else
      journal "no-scan after unplugging $s"
      focus=unknown
    fi
  fi
  console "$s plug"
  wait_for 10 has_node "$s" || journal "no-node $s"
  plugged[$s]=1
  unplugs_done=$((unplugs_done + 1))
}

sample() {  # sample CYCLE: the configurator's descriptors and resident memory
  local fds=(/proc/"$config"/fd/*) line rss=0
  while IFS= read -r line; do
    case $line in VmRSS:*) rss=${line//[!0-9]/} ;; esac
  done <"/proc/$config/status"
  journal "sample $1 fds=${#fds[@]} rss=$rss"
}

# --- start
for i in $(seq 1 100); do [ "$(grep -c '^[0-9.]* ready$' "$logs/boards.log")" -ge 2 ] && break; sleep 0.2; done
for s in "${all_serials[@]}"; do wait_for 30 has_node "$s" || journal "no-node $s at start"; done
# No auto-repeat: on a busy machine xdotool can be held up between a key's press and its release
# for longer than the repeat delay, and the server would then type the key again.
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp -r -ardelay 60000 3>/tmp/guest-display >/dev/null 2>&1 &
xvfb=$!
for i in $(seq 1 100); do [ -s /tmp/guest-display ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 /tmp/guest-display)
export QT_QPA_PLATFORM=xcb
export ASAN_OPTIONS="log_path=$OUT/asan:detect_leaks=1" UBSAN_OPTIONS="log_path=$OUT/asan:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$SUPPRESSIONS:print_suppressions=0"
now_us
started=$us
journal "start cycles=$CYCLES faults=$FAULTS seed=$SEED"
"$CONFIG" >"$OUT/config.log" 2>&1 &
config=$!
window=$(xdotool search --sync --onlyvisible --name '^Korvex Rotary Encoders Configuration$' 2>/dev/null | head -n1)
mkfifo /tmp/xdo
xdotool - </tmp/xdo >/dev/null 2>&1 &
exec {xdofd}>/tmp/xdo
now_us
journal "window $window after $(((us - started) / 1000)) ms"
if wait_for 60 scanned; then resync_after_scan; else journal "no-scan at start"; fi
wait_for 5 read_done_after "$cur" 0 || true

faults_done=0 unplugs_done=0
for ((cycle = 1; cycle <= CYCLES; cycle++)); do
  kill -0 "$config" 2>/dev/null || { journal "configurator-died cycle=$cycle"; break; }
  journal "cycle $cycle"
  # The faults still to inject, spread over the cycles left.
  per=$(((FAULTS - faults_done + CYCLES - cycle) / (CYCLES - cycle + 1)))
  inject_faults "$per"
  pump
  [ -n "$scan_serial" ] && resync_after_scan
  choose_board
  choose_value
  pump
  [ -n "$scan_serial" ] && resync_after_scan
  choose_value
  undo_faults
  unplug_replug
  pump
  [ -n "$scan_serial" ] && resync_after_scan
  sample "$cycle"
  [ $((cycle % 50)) -eq 0 ] && save_logs
done
journal "loop-done unplugs=$unplugs_done faults=$faults_done reads_ok=$read_ok reads_slow=$read_slow reads_missing=$read_missing read_max_us=$read_max_us read_total_us=$read_total_us"

# --- end: what each board's firmware holds, then the window closed as a window manager would
undo_faults
wait_for 2 false
for s in "${all_serials[@]}"; do
  journal "model $s hide=${model_hide[$s]} low=${model_low[$s]} high=${model_high[$s]} pulse=${model_pulse[$s]}"
  command_fifo "$s"
  echo "state $s" >"$fifo"
done
wait_for 3 false
"$CLOSER" "$window"
for i in $(seq 1 120); do kill -0 "$config" 2>/dev/null || break; sleep 0.5; done
if kill -0 "$config" 2>/dev/null; then
  journal "configurator-still-running"
  kill -9 "$config"
else
  wait "$config"
  journal "configurator-exit $?"
fi
exec {xdofd}>&-
kill "$xvfb" 2>/dev/null
echo quit >/tmp/uhid-commands
echo quit >/tmp/usb-commands
wait_for 5 false
now_us
journal "finished $(((us - started) / 1000000)) s"
save_logs
