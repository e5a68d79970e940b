#!/usr/bin/env bash
# End-to-end tests of the built binary: standard output, standard error and
# exit status, compared byte for byte.  Usage: e2e.sh path/to/dalk path/to/failing
set -u
dalk=$1 failing=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
passed=0
failed=0
skipped=0

usage='usage : dalk from axis1 to axis2 (delta) (theta0)> output_file
'

# block SLICE AXIS [THETA0 [DELTA]]: the four lines of one slice
block() {
    printf 'mu_pelk %s q dark.img\npelk_varn %s\nmu_rab %s\nnol2fex 16 %s\n' "$1" "$2" "${3:-0.000000}" "${4:-1.000000}"
}

verdict() { # NAME OK
    if [ "$2" = yes ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $1"
    fi
}

# expect NAME STATUS WANT_OUT WANT_ERR ARGS...: the run must match all three
expect() {
    local name=$1 status=$2 want_out=$3 want_err=$4 ok=yes
    shift 4
    "$dalk" "$@" >"$tmp/out" 2>"$tmp/err"
    local got=$?
    printf '%s' "$want_out" >"$tmp/want_out"
    printf '%s' "$want_err" >"$tmp/want_err"
    [ "$got" = "$status" ] || { ok=no; echo "  $name: status $got, want $status"; }
    cmp -s "$tmp/out" "$tmp/want_out" || { ok=no; echo "  $name: stdout differs"; diff "$tmp/want_out" "$tmp/out" | head -5; }
    cmp -s "$tmp/err" "$tmp/want_err" || { ok=no; echo "  $name: stderr differs"; diff "$tmp/want_err" "$tmp/err" | head -5; }
    verdict "$name" "$ok"
}

expect "three slices" 0 "$(block 10 100.300003; block 11 100.600006; block 12 100.900002)
" "" 10 100.3 12 100.9
expect "delta and theta0" 0 "$(block 10 100.300003 -90.000000 2.500000; block 11 100.600006 -90.000000 2.500000; block 12 100.900002 -90.000000 2.500000)
" "" 10 100.3 12 100.9 2.5 -90
expect "seven arguments take the defaults" 0 "$(block 1 2.000000; block 2 3.000000; block 3 4.000000)
" "" 1 2 3 4 5 6 7
expect "theta0 held in single precision" 0 "$(block 4 1.000000 100.300003)
" "" 4 1 4 1 1 100.3
expect "large delta in full" 0 "$(block 0 1.000000 0.000000 100000002004087730000.000000)
" "" 0 1 0 1 1e20
expect "negative slices count through zero" 0 "$(block -2 1.000000; block -1 1.000000; block 0 1.000000; block 1 1.000000)
" "" -2 1 1 1
expect "one slice carries axis1" 0 "$(block 5 -0.000000 0.000000 2.000000)
" "" 5 -0 5 7 2
expect "infinite values" 0 "$(block 0 inf 0.000000 -inf)
" "" 0 1e39 0 1e39 -1e39
expect "backward range" 1 "parameter is wrong. from 7 to 3" "" 7 12.5 3 13
expect "backward range, saturated" 1 "parameter is wrong. from 2147483647 to -2147483648" "" 99999999999 0 -99999999999 0
expect "no arguments" 255 "" "$usage"
expect "three arguments" 255 "" "$usage" 10 100.3 12
expect "to at the 32-bit maximum" 0 "$(block 2147483646 5.000000; block 2147483647 5.000000)
" "" 2147483646 5 2147483647 5
expect "to saturated to the 32-bit maximum" 0 "$(block 2147483647 5.000000)
" "" 2147483647 5 99999999999 6
expect "from at the 32-bit minimum" 0 "$(block -2147483648 -3.000000; block -2147483647 -3.000000)
" "" -99999999999 -3 -2147483647 -3

# The first slice's axis value, as the manual prints it: the
# single-precision line through slice 0, anchored on the first slice.
while read -r want args; do
    got=$("$dalk" $args | sed -n 2p)
    [ "$got" = "pelk_varn $want" ] && ok=yes || { ok=no; echo "  dalk $args: $got"; }
    verdict "first slice of dalk $args is $want" $ok
done <<'EOF'
100.299988 1500 100.3 2047 250.9
100.300781 5000 100.3 5010 200.9
100.296875 100000 100.3 100100 250.9
100.300003 0 100.3 547 250.9
EOF

# 0 100 128 101: slope exactly 1/128; slice 1 is a six-decimal tie, away from zero
"$dalk" 0 100 128 101 >"$tmp/out"
status=$?
[ "$status" = 0 ] && [ "$(wc -l <"$tmp/out")" = 516 ] && [ "$(sed -n 6p "$tmp/out")" = "pelk_varn 100.007813" ] &&
    [ "$(tail -n 3 "$tmp/out" | head -n 1)" = "pelk_varn 101.000000" ] && ok=yes || ok=no
verdict "six-decimal tie rounds away from zero" $ok

# A full disk: the failure is reported, not passed off as success.
"$dalk" 10 100.3 12 100.9 >/dev/full 2>"$tmp/err"
status=$?
[ "$status" = 2 ] && [ "$(cat "$tmp/err")" = "dalk: error writing standard output: No space left on device" ] && ok=yes || ok=no
verdict "standard output on /dev/full" $ok

"$dalk" 7 12.5 3 13 >/dev/full 2>"$tmp/err"
[ $? = 2 ] && grep -q "No space left on device" "$tmp/err" && ok=yes || ok=no
verdict "range complaint on /dev/full" $ok

# The longest run on a full device ends at its first chunk, not after all
# 4,294,967,296 slices.
timeout 20 "$dalk" -2147483648 0 2147483647 1 >/dev/full 2>"$tmp/err"
status=$?
[ "$status" = 2 ] && [ "$(cat "$tmp/err")" = "dalk: error writing standard output: No space left on device" ] &&
    ok=yes || ok=no
verdict "the longest run on /dev/full ends at once (status $status)" $ok

# failing CALL ARGS...: dalk ARGS under failing, where it can set its filter;
# sets status, or says why the case is skipped
under_failing() {
    "$failing" "$@" >"$tmp/out" 2>"$tmp/err"
    status=$?
    if [ "$status" = 77 ]; then
        skipped=$((skipped + 1)) && echo "skipped: $(head -c 200 "$tmp/err")"
        return 1
    fi
}

# Standard output closed.
"$dalk" 10 100.3 12 100.9 >&- 2>"$tmp/err"
status=$?
[ "$status" = 2 ] && [ "$(cat "$tmp/err")" = "dalk: error writing standard output: Bad file descriptor" ] && ok=yes || ok=no
verdict "standard output closed" $ok

# A close that fails, as a file system with a deferred write error reports
# it: after the script and after the complaint, the run ends with the error.
for args in "10 100.3 12 100.9" "7 12.5 3 13"; do
    under_failing close "$dalk" $args || continue
    [ "$status" = 2 ] && [ "$(cat "$tmp/err")" = "dalk: error writing standard output: Input/output error" ] &&
        cmp -s "$tmp/out" <("$dalk" $args) && ok=yes || { ok=no; echo "  status $status: $(head -c 200 "$tmp/err")"; }
    verdict "a failed close after dalk $args" $ok
done

# A write that fails in the middle of the script, once (the first chunk, 16
# KiB, into a file): the run ends there with the error, leaving no hole.
if under_failing write=16384 "$dalk" 0 1 100000 2; then
    [ "$status" = 2 ] && [ "$(cat "$tmp/err")" = "dalk: error writing standard output: Input/output error" ] &&
        [ ! -s "$tmp/out" ] && ok=yes || { ok=no; echo "  status $status: $(head -c 200 "$tmp/err")"; }
    verdict "a write that fails once, mid-script" $ok
fi

# A reader that stops early ends a long run promptly.
first=$(timeout 20 "$dalk" 0 1 100000000 2 | head -n 1)
[ "$first" = "mu_pelk 0 q dark.img" ] && ok=yes || ok=no
verdict "broken pipe ends the run" $ok

# With SIGPIPE ignored the write fails instead: reported, and the run ends.
(
    trap '' PIPE
    timeout 20 "$dalk" 0 1 100000000 2 2>"$tmp/err" | head -n 1 >/dev/null
    echo "${PIPESTATUS[0]}" >"$tmp/status"
)
[ "$(cat "$tmp/status")" = 2 ] && [ "$(cat "$tmp/err")" = "dalk: error writing standard output: Broken pipe" ] && ok=yes || ok=no
verdict "broken pipe with SIGPIPE ignored" $ok

# A long argument (the kernel's per-argument limit is 128 KiB) and stray bytes.
long="1.$(head -c 100000 /dev/zero | tr '\0' '0')5"
expect "100,000-character argument" 0 "$(block 3 1.000000)
" "" 3 "$long" 3 "$long"
expect "bytes above 127 end a number" 0 "$(block 12 1.500000)
" "" $'12\xff' $'1.5\xc3\xa9' 12 2
expect "leading white space, embedded white space" 0 "$(block 7 1.000000)
" "" $' \t\n7' $'\v\f\r1 5' 7 2

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
