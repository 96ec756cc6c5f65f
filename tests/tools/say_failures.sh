# Sourced first by every test script: a script that stops on a failing command (set -e) or on
# a write to a pipe nobody reads says which command, where and with what status, as a failed
# check does, instead of ending without a word.
set -E  # the trap below holds inside functions and subshells too
say_failed_command() {  # status pipeline-statuses command line file
  # Only where the failure ends the script: not in `set +e` stretches, conditions or the
  # subshell of a $(...), whose caller's assignment fails in its turn and is named there.
  [[ $- == *e* ]] || return 0
  local statuses=""
  [[ $2 == *" "* ]] && statuses=" (its pipeline's statuses: $2)"
  echo "FAIL: ${5##*/} line $4: \`$3\` ended with status $1$statuses" >&2
}
trap 'say_failed_command $? "${PIPESTATUS[*]}" "$BASH_COMMAND" "$LINENO" "${BASH_SOURCE[0]}"' ERR
# A builtin's write to a closed pipe or FIFO ends the shell at once, silently (bash names the
# line in its "write error" just before); a subshell still ends as its pipeline expects.
say_broken_pipe() {  # file
  if [ "$BASHPID" = "$$" ]; then
    echo "FAIL: ${1##*/}: a write to a pipe or FIFO that nobody reads any more" >&2
    exit 1
  fi
  trap - PIPE
  kill -PIPE "$BASHPID"
}
trap 'say_broken_pipe "${BASH_SOURCE[0]}"' PIPE
