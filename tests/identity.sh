#!/usr/bin/env bash
# Two builds of dalk (say g++ -O0 and clang++ -O3, or a native build and a
# cross build) must write the same bytes and end with the same status on
# every argument vector; and two builds of dalk-axis, where given, on every
# input and argument vector.
# Usage: identity.sh [--runner PREFIX] [--crlf] DALK_A DALK_B [AXIS_A AXIS_B]
#   --runner PREFIX  run DALK_B through PREFIX, split at spaces, such as
#                    "qemu-s390x -L /usr/s390x-linux-gnu" or /usr/lib/wine/wine64
#   --crlf           DALK_B ends lines with CR LF: every newline of DALK_A
#                    must be CR LF there, with no other difference
set -u
runner=()
crlf=no
while [ $# -gt 2 ] && [[ $1 == --* ]]; do
    case $1 in
    --runner) read -ra runner <<<"$2"; shift 2 ;;
    --crlf) crlf=yes; shift ;;
    *) echo "identity.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
a=$1
b=$2
axis_a=${3-} axis_b=${4-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
passed=0
failed=0

# Each of A's files, as B must have written it.
expected() { # FILE
    if [ "$crlf" = yes ]; then perl -pe 's/\n/\r\n/g' "$1"; else cat "$1"; fi
}

input=/dev/null input_name= # standard input of both, and what the input is
run_b() { # OUT ARGS...
    local out=$1
    shift
    "${runner[@]}" "$b" "$@" <"$input" >"${out:-$tmp/b.out}" 2>"$tmp/b.err"
}

# compare OUT ARGS...: run both with standard output on OUT (a file in the
# scratch folder when empty); the statuses, standard errors and, for a file,
# outputs must match
compare() {
    local out=$1 sa sb
    shift
    "$a" "$@" <"$input" >"${out:-$tmp/a.out}" 2>"$tmp/a.err"
    sa=$?
    run_b "$out" "$@"
    sb=$?
    # Now and then Wine's launcher fails before the program starts: status 1,
    # no output, at most "wine client error:...". dalk never ends with 1
    # without its complaint on standard output, so such a run is made once
    # more, and said.
    if [ ${#runner[@]} -gt 0 ] && [ "$sb" = 1 ] && [ ! -s "${out:-$tmp/b.out}" ] &&
        ! grep -qv "^wine client error" "$tmp/b.err"; then
        echo "runner failed to start: dalk $*; running it again"
        run_b "$out" "$@"
        sb=$?
    fi
    if [ "$sa" = "$sb" ] && cmp -s <(expected "$tmp/a.err") "$tmp/b.err" &&
        { [ -n "$out" ] || cmp -s <(expected "$tmp/a.out") "$tmp/b.out"; }; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "DIFFERENT: $(basename "$a") $* (status $sa and $sb)${input_name:+ < $input_name}"
    fi
}
same() { compare "" "$@"; }

same 10 100.3 12 100.9
same 10 100.3 12 100.9 2.5 -90
same 0 100 128 101
same 7 12.5 3 13
same
same 1 2 3
same 1 2 3 4 5 6 7
same -2 1 1 1
same 5 -0 5 7
same 0 1e39 10 -1e39 1e20 -1e-45
same 0 3.4028235e38 1000 -3.4028235e38 3.4e38 1.1754944e-38
same -1000 1e-30 1000 2e-30 -0 -1e-7
same 0 9.99999e9 500 1.00001e10 5e-7 -5e-7
same 2147483640 1 99999999999 2
same -99999999999 -1 -2147483640 1
same -5000 0.0001 5000 0.0003 0.0000005 1.0000000596046448
same 12abc 1,5 0x10 inf nan 1.5d1
same " +7" "  -.5e+1x" 9 "1e" "1e+" "."
compare /dev/full 10 100.3 12 100.9
compare /dev/full 7 12.5 3 13
same -50000 100.3 150000 250.9 0.5 -7 # 16 MB, many writes

# Pseudo-random vectors, the same ones every time.
RANDOM=2026
for _ in $(seq 200); do
    from=$((RANDOM - 16384))
    to=$((from + RANDOM % 300))
    axis1="$((RANDOM % 3000)).$RANDOM"e$((RANDOM % 20 - 10))
    axis2="-$((RANDOM % 3000)).$RANDOM"d$((RANDOM % 20 - 10))
    same "$from" "$axis1" "$to" "$axis2" "$((RANDOM % 7)).$RANDOM" "-$RANDOM.$RANDOM"e$((RANDOM % 40 - 20))
done

# dalk-axis: each input file, with the arguments on its first line.
if [ -n "$axis_a" ]; then
    a=$axis_a b=$axis_b
    mkdir "$tmp/axis"
    guide=$'100 1023.60\n1000 1024.31\n1900 1024.95'
    printf '%s\n' "0 2047" "$guide" >"$tmp/axis/guide"
    printf '%s\n' "-v 0 2047 2.5 -90" $'\xef\xbb\xbf# slice axis\r' $'\r' $'100\t1023.60\r' \
        $'  1000 1024.31  \r' "1900 1024.95" >"$tmp/axis/crlf"
    printf '%s\n' "0 2047" "$guide" "1400 1032.62" "600 1023.98" >"$tmp/axis/slip"
    printf '%s\n' "0 10" "0 1.0078125" "10 1.0078125" >"$tmp/axis/tie"
    printf '%s\n' "0 1" "0 3e38" "1 -3e38" >"$tmp/axis/overflow"
    printf '%s\n' "0 10" "0 3e38" "1 3.4e38" >"$tmp/axis/beyond"
    printf '%s\n' "-2147483648 2147483647" "-2147483648 -1e-30" "2147483647 1e-30" >"$tmp/axis/extremes"
    printf '%s\n' "7 3" "$guide" >"$tmp/axis/backward"
    printf '%s\n' "0 2047 1,5" "$guide" >"$tmp/axis/delta-comma"
    printf '%s\n' "0" "$guide" >"$tmp/axis/usage"
    printf '%s\n' "0 2047" >"$tmp/axis/empty"
    n=0
    for line in "slice axis" "100,1023.60" "100 1023,60" "100 1023.60 7" "100 nan" "100 inf" \
        "100 0x10" "0x10 5" "100.5 5" "2147483648 5" "100" "100 1e39" $'100 1\x1b[2J' \
        $'\xff\xfe1\x000'; do
        printf '%s\n' "0 2047" "$line" >"$tmp/axis/refused.$((n += 1))"
    done
    RANDOM=2027
    for n in $(seq 30); do
        low=$((RANDOM * 65536 + RANDOM - 1073741824)) count=$((RANDOM % 300 + 2))
        {
            echo "$low $((low + RANDOM % 5000))"
            for _ in $(seq "$count"); do echo "$((low + RANDOM % 2048)) $((RANDOM % 4000)).$RANDOM"; done
        } >"$tmp/axis/random.$n"
    done
    { echo "0 2047"; for n in $(seq 0 9999); do echo "$((n % 2048)) 1024.$((n % 97))"; done; } >"$tmp/axis/many"
    for file in "$tmp"/axis/*; do
        read -ra args <"$file"
        tail -n +2 "$file" >"$tmp/input"
        input=$tmp/input input_name=$(basename "$file")
        same "${args[@]}"
    done
    tail -n +2 "$tmp/axis/guide" >"$tmp/input"
    input_name=guide
    compare /dev/full 0 2047
fi

echo "identity: $passed passed, $failed failed"
[ "$failed" = 0 ]
