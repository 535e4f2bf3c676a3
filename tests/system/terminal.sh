#!/usr/bin/env bash
# The repeat loop on a real terminal (a tmux pane running an interactive
# bash): the terminal is in non-canonical, no-echo mode while it samples; one
# key ends it with exit code 0 and is left for the shell; the terminal's mode
# is the same afterwards, whether the loop ended by a key, Ctrl-C, Ctrl-\ or
# SIGTERM; a key typed ahead ends the run before its first pass; Ctrl-C
# leaves a run alone that was started with SIGINT ignored; Ctrl-Z stops the run
# and `fg` takes it up again in the loop's mode, even when the shell took the
# terminal back before the run had handled its SIGTSTP; a run with --format
# ends by Ctrl-C once its row is written, the mode restored.
. "$(dirname "$0")/common.bash"

command -v tmux >/dev/null || skip "tmux is not installed (scripts/test installs it)"
command -v stty >/dev/null || skip "stty is not installed"

SET=(-s '{Processor' -i _Total -c '% Processor Time}' -l)
REPORT='^Processor : _Total : % Processor Time = 0x[0-9a-f]\{8\}$'
"$BIN" "${SET[@]}" > "$WORK/probe" 2>&1 || fail "a single sample failed: $(cat "$WORK/probe")"
grep -q "$REPORT" "$WORK/probe" || fail "no Processor _Total report: $(cat "$WORK/probe")"

# Runs one case inside the pane: records the mode before and after, the exit
# status, standard error and the process id (the inner bash execs the binary).
cat > "$WORK/case.sh" <<'EOF'
trap ': interrupted' INT QUIT
ulimit -c 0
dir=$1 label=$2 delay=$3
shift 3
[ "$label" != ignored ] || trap '' INT
stty -g > "$dir/$label.before"
sleep "$delay"
bash -c 'echo $$ > "$0"; exec "$@"' "$dir/$label.pid" "$@" 2> "$dir/$label.err"
echo $? > "$dir/$label.rc"
stty -g > "$dir/$label.after"
EOF

unset TMUX
SOCKET="mirekast-terminal-$$"
tmx() { tmux -L "$SOCKET" -f /dev/null "$@"; }
on_exit 'tmx kill-server 2>/dev/null'
PROMPT='mk-ready$ '
tmx new-session -d -s main -x 150 -y 40 \
    "env HISTFILE= PS1='$PROMPT' bash --norc --noprofile -i" ||
    fail "tmux could not start a session"
tmx set-option -g history-limit 10000 >/dev/null

pane() { tmx capture-pane -p -J -S - -t main; }
type_line() { tmx send-keys -t main -l "$1" && tmx send-keys -t main Enter; }
file_written() { [ -s "$1" ]; }
PANE_TTY=$(tmx display-message -p -t main '#{pane_tty}')
prompt_shown() { pane | grep -q "^$PROMPT"; }
wait_until 10 prompt_shown || fail "no shell prompt in the pane: $(pane)"

# The pane's lines since the command line of case LABEL.
since() {
    pane | awk -v mark="case.sh $WORK $1 " 'index($0, mark) { text = ""; found = 1; next }
                                           found { text = text $0 "\n" }
                                           END { printf "%s", text }'
}
reports() { since "$1" | grep -c "$REPORT"; }
at_least_reports() { [ "$(reports "$1")" -ge "$2" ]; }
prompt_back() { since "$1" | grep -qF "$PROMPT"; }

# start_case LABEL DELAY: starts the loop in the pane after DELAY seconds.
start_case() {
    type_line "bash $WORK/case.sh $WORK $1 $2 $BIN ${SET[*]@Q} -r"
}

# end_case LABEL STATUS: the run ended with STATUS, wrote nothing on standard
# error and left the terminal's mode as it found it.
end_case() {
    wait_until 20 file_written "$WORK/$1.after" ||
        fail "$1: the loop did not end; pane: $(since "$1" | tail -n 5)"
    local status
    status=$(cat "$WORK/$1.rc")
    [ "$status" = "$2" ] || fail "$1: exit status $status, expected $2"
    [ ! -s "$WORK/$1.err" ] || fail "$1: standard error: $(cat "$WORK/$1.err")"
    cmp -s "$WORK/$1.before" "$WORK/$1.after" ||
        fail "$1: terminal mode changed: before $(cat "$WORK/$1.before"), after $(cat "$WORK/$1.after")"
    wait_until 10 prompt_back "$1" || fail "$1: no prompt after the run: $(since "$1" | tail -n 5)"
    note "$1: exit status $status, terminal mode restored, $(reports "$1") reports"
}

# sampling_case LABEL: starts the loop and waits for two reports; meanwhile
# the terminal must be in non-canonical, no-echo mode.
sampling_case() {
    start_case "$1" 0
    wait_until 30 at_least_reports "$1" 2 ||
        fail "$1: fewer than two reports: $(since "$1" | tail -n 5)"
    in_loop_mode "$1"
}

# in_loop_mode LABEL: the terminal is in non-canonical, no-echo mode.
in_loop_mode() {
    local mode
    mode=$(stty -F "$PANE_TTY" -a | tr '\n;' '  ') || fail "cannot read the mode of $PANE_TTY"
    case " $mode " in
    *" -icanon "*) ;;
    *) fail "$1: the terminal is in canonical mode while sampling: $mode" ;;
    esac
    case " $mode " in
    *" -echo "*) ;;
    *) fail "$1: the terminal echoes while sampling: $mode" ;;
    esac
}

# key_reached_shell LABEL: the key "t" ended the run; typing "ouch FILE" now
# creates FILE only if that "t" begins the shell's next command line.
key_reached_shell() {
    type_line "ouch $WORK/$1.key"
    wait_until 10 test -e "$WORK/$1.key" ||
        fail "$1: the key did not reach the shell; pane: $(since "$1" | grep -v "^$" | tail -n 3)"
    note "$1: the key that ended the loop reached the shell"
}

# 1. A key ends the loop: exit 0, the key left unread for the shell.
sampling_case key
tmx send-keys -t main -l t
end_case key 0
key_reached_shell key

# 2. A key typed before sampling starts: no pass at all, exit 0, key kept.
start_case ahead 2
sleep 0.5
tmx send-keys -t main -l t
end_case ahead 0
[ "$(reports ahead)" -eq 0 ] || fail "ahead: a key typed ahead still let $(reports ahead) reports through"
key_reached_shell ahead

# 3. Ctrl-C and Ctrl-\ end the loop by their signal, the mode restored first.
sampling_case interrupt
tmx send-keys -t main C-c
end_case interrupt 130

sampling_case quit
tmx send-keys -t main 'C-\'
end_case quit 131

# 4. Ctrl-C does not end a run started with SIGINT ignored; a key still does.
sampling_case ignored
tmx send-keys -t main C-c
wait_until 30 at_least_reports ignored 4 || fail "ignored: the loop ended at Ctrl-C"
tmx send-keys -t main -l t
end_case ignored 0
key_reached_shell ignored

# 5. SIGTERM from elsewhere.
sampling_case terminate
kill -TERM "$(cat "$WORK/terminate.pid")"
end_case terminate 143

# 6. Ctrl-Z stops the run and gives the shell its prompt; after `fg` the loop
# samples on in its own mode (the shell set the terminal back to its own when
# the job stopped), so that one key still ends it, the mode restored.
stopped() { [ "$(sed 's/.*) //' "/proc/$1/stat" | cut -c1)" = T ]; }
running() { [ "$(sed 's/.*) //' "/proc/$1/stat" | cut -c1)" != T ]; }
sampling_case suspend
SUSPENDED=$(cat "$WORK/suspend.pid")
tmx send-keys -t main C-z
wait_until 10 stopped "$SUSPENDED" || fail "suspend: Ctrl-Z did not stop the run"
wait_until 10 prompt_back suspend || fail "suspend: no prompt while stopped: $(since suspend | tail -n 3)"
# The shell shows the command line again on stopping and on `fg`, so the
# reports counted from here on are those after `fg`.
[ "$(reports suspend)" -eq 0 ] || fail "suspend: reports while stopped: $(since suspend | tail -n 3)"
type_line fg
wait_until 10 running "$SUSPENDED" || fail "suspend: fg did not continue the run: $(cat /proc/$SUSPENDED/stat); $(since suspend | tail -n 4)"
wait_until 30 at_least_reports suspend 2 ||
    fail "suspend: no reports after fg: $(since suspend | tail -n 5)"
in_loop_mode suspend
tmx send-keys -t main -l t
end_case suspend 0
key_reached_shell suspend

# 7. Ctrl-Z stops the whole job, and the shell may take the terminal back
# before the run has handled its SIGTSTP (here the job's outer bash stops
# first, then the run is sent SIGTSTP as a background process).  The run must
# not be stopped again by SIGTTOU for restoring a mode it no longer owns, nor
# stop a second time after `fg`.
sampling_case late_stop
LATE=$(cat "$WORK/late_stop.pid")
OUTER=$(ps -o ppid= -p "$LATE" | tr -d ' ')
kill -TSTP "$OUTER"
wait_until 10 stopped "$OUTER" || fail "late_stop: the job's bash did not stop"
wait_until 10 prompt_back late_stop || fail "late_stop: no prompt: $(since late_stop | tail -n 3)"
kill -TSTP "$LATE"
wait_until 10 stopped "$LATE" || fail "late_stop: SIGTSTP did not stop the run"
BEFORE_FG=$(reports late_stop)
type_line fg
wait_until 10 running "$LATE" || fail "late_stop: fg did not continue the run: $(cat /proc/$LATE/stat)"
wait_until 30 at_least_reports late_stop $((BEFORE_FG + 2)) ||
    fail "late_stop: no reports after fg: $(since late_stop | tail -n 5)"
in_loop_mode late_stop
tmx send-keys -t main -l t
end_case late_stop 0
key_reached_shell late_stop

# 8. A run with --format holds Ctrl-C until its row is written, then restores
# the mode and ends by SIGINT all the same; so does a run that a second
# signal ends at once.
csv_rows() { since "$1" | grep -c '^"[0-9/]* [0-9:.]*","'; }
at_least_rows() { [ "$(csv_rows "$1")" -ge "$2" ]; }
for label in format_interrupt format_twice; do
    type_line "bash $WORK/case.sh $WORK $label 0 $BIN ${SET[*]@Q} -r --count 10000 --interval 0.2 --format csv"
    wait_until 30 at_least_rows "$label" 2 || fail "$label: fewer than two rows: $(since "$label" | tail -n 5)"
    in_loop_mode "$label"
    if [ "$label" = format_twice ]; then
        tmx send-keys -t main C-c C-c
    else
        tmx send-keys -t main C-c
    fi
    end_case "$label" 130
done
