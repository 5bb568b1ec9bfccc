#!/usr/bin/env bash
# Every key and button ends a full-screen run, as Windows' own saver library does: the system keys (Alt
# alone, F10, Alt+F4), one notch of the wheel and a side button, each with exit code 0 and no window left.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin_with_desktop

# xdotool's buttons: 4 is the wheel turned up one notch, 8 the first side button.
for input in "key alt" "key F10" "key alt+F4" "click 4" "click 8"; do
  if e2e_start_saver /s; then
    sleep 1
    e2e_check "'$input': the saver runs before it" e2e_still_running
    xdotool $input
    e2e_ended_cleanly "'$input'"
  fi
done

e2e_finish
