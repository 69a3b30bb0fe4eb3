#!/usr/bin/env bash
# Runs one rule-language program through the rulecraft program and compares what it did with what is
# expected. Usage, from the folder holding the program: run-program.sh RULECRAFT NAME
#   NAME.clp         the program, given as the last argument
#   NAME.args        options given before it, one per line (otherwise none)
#   NAME.in          the standard input (otherwise empty)
#   NAME.out         the standard output, exactly
#   NAME.err         the standard error, exactly (without it and NAME.err-prefix, stderr must be empty)
#   NAME.err-prefix  the text the standard error must start with
#   NAME.status      the exit status (otherwise 0)
set -u
if [ $# -ne 2 ]; then
  echo "usage: $0 RULECRAFT NAME" >&2
  exit 2
fi
rulecraft=$1
name=$2
if [ ! -f "$name.clp" ] || [ ! -f "$name.out" ]; then
  echo "$name.clp and $name.out are needed in $(pwd)" >&2
  exit 2
fi
work=$(mktemp -d) || exit 2
trap 'rm -rf "$work"' EXIT

input=/dev/null
[ -f "$name.in" ] && input=$name.in
args=()
if [ -f "$name.args" ]; then
  while IFS= read -r line || [ -n "$line" ]; do args+=("$line"); done <"$name.args"
fi
timeout 60 "$rulecraft" "${args[@]}" "$name.clp" <"$input" >"$work/out" 2>"$work/err"
status=$?

failed=0
expected_status=0
[ -f "$name.status" ] && expected_status=$(tr -d ' \r\n' <"$name.status")
if [ "$status" = 124 ]; then
  echo "timed out after 60 s"
  failed=1
elif [ "$status" != "$expected_status" ]; then
  echo "exit status $status, expected $expected_status"
  failed=1
fi
if ! cmp -s "$name.out" "$work/out"; then
  echo "standard output differs:"
  diff -u --label "$name.out" --label stdout "$name.out" "$work/out"
  failed=1
fi
if [ -f "$name.err-prefix" ]; then
  head -c "$(wc -c <"$name.err-prefix")" "$work/err" >"$work/err-start"
  if ! cmp -s "$name.err-prefix" "$work/err-start"; then
    echo "standard error does not start with $name.err-prefix:"
    cat "$work/err"
    failed=1
  fi
else
  expected_err=/dev/null
  [ -f "$name.err" ] && expected_err=$name.err
  if ! cmp -s "$expected_err" "$work/err"; then
    echo "standard error differs:"
    diff -u --label expected --label stderr "$expected_err" "$work/err"
    failed=1
  fi
fi
exit $failed
