#!/usr/bin/env bash
# doctest.sh path/to/dalk SOURCE_DIR [DOCUMENT...]: runs every command in the
# code blocks of the user's documents (all four unless named) as written,
# with stand-ins on PATH. A console block's "$ " commands run in one shell,
# as typed at a terminal, and each must print the lines under it; any other
# block runs as one bash -e script that must end with status 0. Set
#   DOCTEST_LOCALE=de_DE.UTF-8  to run them in that locale (messages stay in
#                               English, so that make's lines read as shown)
#   DOCTEST_AWK=gawk            to have that awk as awk
#   DOCTEST_SBATCH=real         to use Slurm's own sbatch (SLURM_CONF), not the stand-in
#   DOCTEST_WINDOWS=DIR         to run the Command Prompt's blocks (```bat, ```doscon)
#                               under Wine's cmd, with DIR's dalk.exe, dalk-axis.exe
#                               and standin.exe (tests/standin.cpp); else they are listed
# HACKING.md has the rest.
set -u
dalk=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
src=$2 tmp=$(mktemp -d)
shift 2
[ $# -gt 0 ] || set -- README.md doc/running.md man/dalk.1 man/dalk-axis.1
trap 'rm -rf "$tmp"' EXIT
passed=0 failed=0

# Commands that are not run here, and why. Each is a bash pattern.
not_run=(
    "pip install *|the wheel is made by packaging/release; CI's wheels step installs it offline"
    "tar -xzf dalk-*|the tarball is made by packaging/release; CI's tarballs step unpacks it"
    "export *dalk-*-linux-x86_64*|needs the unpacked tarball; CI's tarballs step checks PATH and man"
    "module *|needs the tarball; CI's modules step loads it under Lmod"
    "cmake -S . -B build && *|the test command itself, which runs this test; CI's readme step runs it"
    "cmake -S . -B build-tool *|the quick start builds the tool, which ctest has built; CI's source step runs it"
)

# The four commands, in shell builtins for speed: mu_pelk opens dark.img and
# starts a work file in the current folder, the others add to it, nol2fex
# checks it holds one slice's steps and writes image.N. Misuse, or a slice
# listed in STANDIN_FAIL, fails with status 3.
mkdir "$tmp/bin" "$tmp/home"
cat >"$tmp/bin/standin" <<'EOF'
#!/bin/sh
name=${0##*/}
fail() { echo "$name: $*" >&2; exit 3; }
case $name in
mu_pelk) [ $# = 3 ] && [ "$2" = q ] && [ "$3" = dark.img ] || fail "usage"
    [ -r dark.img ] || fail "cannot open dark.img"
    case " ${STANDIN_FAIL-} " in *" $1 "*) fail "slice $1 failed" ;; esac
    echo "$1" >work.tmp ;;
pelk_varn | mu_rab) [ $# = 1 ] && [ -s work.tmp ] || fail "no work file"
    echo "$name" >>work.tmp ;;
nol2fex) [ $# = 2 ] && [ "$1" = 16 ] || fail "usage"
    { read -r n && read -r a && read -r b && ! read -r c; } <work.tmp && [ "$a $b" = "pelk_varn mu_rab" ] ||
        fail "work file clobbered"
    echo "$n" >"image.$n" && : >work.tmp ;;
esac
EOF
# sbatch and sinfo, where the guide relies on Slurm's, in its words (CI's
# slurm step runs the guide under Slurm 22.05 itself, which also holds an
# array to MaxArraySize): sbatch refuses a script without #!; prints the job's
# number alone under --parsable; with --wait runs the job and ends with the
# highest status of its tasks, logging to slurm-JOB.out or
# slurm-JOB_TASK.out with SLURM_* set as Slurm sets them. A job without
# --wait would run after sbatch returned, which no document may rely on: it
# is refused. sinfo tells the size of the CI step's node.
cat >"$tmp/bin/sbatch" <<'EOF'
#!/bin/bash
job=$(($(cat "$HOME/.jobs" 2>/dev/null) + 1)) first= last= wrap= wait= submitted="Submitted batch job " env=()
while [ $# -gt 0 ]; do
    case $1 in --array | --time | --cpus-per-task | --mem | --wrap) set -- "$1=$2" "${@:3}" ;; esac
    case $1 in
    --array=*) [[ $1 =~ ^--array=([0-9]+)-([0-9]+)$ ]] || { echo "sbatch: error: the stand-in takes A-B" >&2 && exit 1; }
        first=${BASH_REMATCH[1]} last=${BASH_REMATCH[2]} ;;
    --cpus-per-task=*) env=("SLURM_CPUS_PER_TASK=${1#*=}") ;;
    --time=* | --mem=*) ;;
    --wrap=*) wrap=${1#--wrap=} ;;
    --wait) wait=yes ;;
    --parsable) submitted= ;;
    -*) echo "sbatch: error: the stand-in takes no $1" >&2 && exit 1 ;;
    *) printf 'sbatch: error: %s\n' "This does not look like a batch script.  The first" \
        "line must start with #! followed by the path to an interpreter." "For instance: #!/bin/sh" >&2
        exit 1 ;;
    esac
    shift
done
[ -n "$wait" ] || { echo "sbatch: error: the stand-in runs only jobs it waits for (--wait)" >&2 && exit 1; }
echo "$job" >"$HOME/.jobs" && echo "$submitted$job"
[ -n "$last" ] || { env SLURM_JOB_ID="$job" "${env[@]}" sh -c "$wrap" >"slurm-$job.out" 2>&1; exit; }
high=0
for ((task = first; task <= last; task++)); do
    env SLURM_ARRAY_JOB_ID="$job" SLURM_ARRAY_TASK_ID="$task" "${env[@]}" sh -c "$wrap" \
        >"slurm-${job}_$task.out" 2>&1 || { status=$? && ((status > high)) && high=$status; }
done
exit $high
EOF
cat >"$tmp/bin/sinfo" <<'EOF'
#!/bin/sh
[ "$*" = "-o %c %m" ] || { echo "sinfo: the stand-in takes -o '%c %m' alone" >&2 && exit 1; }
printf 'CPUS MEMORY\n8 65536\n'
EOF
chmod +x "$tmp/bin/standin" "$tmp/bin/sbatch" "$tmp/bin/sinfo"
[ "${DOCTEST_SBATCH-}" != real ] || rm "$tmp/bin/sbatch" "$tmp/bin/sinfo"
for name in mu_pelk pelk_varn mu_rab nol2fex; do ln -s standin "$tmp/bin/$name"; done
ln -s "$dalk" "$tmp/bin/dalk"
ln -s "$(dirname "$dalk")/dalk-axis" "$tmp/bin/dalk-axis" # built beside it
if [ -n "${DOCTEST_AWK-}" ]; then
    ln -s "$(command -v "$DOCTEST_AWK")" "$tmp/bin/awk" || { echo "FAIL: no $DOCTEST_AWK" && exit 1; }
fi
locale=${DOCTEST_LOCALE:-C}
LC_ALL=$locale locale 2>&1 | grep -q 'Cannot set' && { echo "FAIL: no locale $locale (locale-gen it)" && exit 1; }
export PATH="$tmp/bin:$PATH" HOME=$tmp/home LC_ALL=$locale LANGUAGE=en

# blocks DOC: each block as "@ LINE KIND", then its lines as "| TEXT";
# directives as "! CMD"; "? LINE" for a block that this test would miss
# (an indented one in Markdown, .nf in the manual)
blocks() {
    case $1 in
    *.md) awk '/^<!-- doctest: .* -->$/ { sub(/^<!-- doctest: /, ""); sub(/ -->$/, ""); print "! " $0; next }
        /^```/ { if (on) { on = 0 } else { on = 1; print "@ " NR " " ($0 == "```console" ? "console" : $0 == "```bat" ? "bat" : $0 == "```doscon" ? "doscon" : "script") }; next }
        on { print "| " $0; next }
        blank && /^    / { print "? " NR }
        { blank = $0 == "" }' "$1" ;;
    *.1) awk '/^\.\\" doctest: / { sub(/^\.\\" doctest: /, ""); print "! " $0; next }
        /^\.nf/ { print "? " NR }
        /^\.EX/ { on = 1; start = NR; n = 0; next }
        /^\.EE/ { on = 0; kind = "script"; for (i = 1; i <= n; i++) if (line[i] ~ /^\$ /) kind = "console"
            print "@ " start " " kind; for (i = 1; i <= n; i++) print "| " line[i]; next }
        on { line[++n] = $0 }' "$1" |
        sed -e 's/\\-/-/g; s/\\(aq/'"'"'/g; s/\\(ha/^/g; s/\\(dq/"/g; s/\\e/\\/g; s/\\&//g' ;;
    esac
}

verdict() { # OK WHAT
    if [ "$1" = yes ]; then passed=$((passed + 1)); else failed=$((failed + 1)) && echo "FAIL: $2"; fi
}

skipped() { # COMMAND: prints why it is not run, or fails
    local entry
    for entry in "${not_run[@]}"; do [[ $1 == ${entry%%|*} ]] && echo "${entry#*|}" && return; done
    return 1
}

complete() { local err; err=$(bash -n <<<"$1" 2>&1) && [[ $err != *here-document* && $1 != *\\ ]]; }

# check WHERE COMMAND WANT GOT [PROMPT]: COMMAND printed WANT exactly, or the
# first line that differs is named
check() {
    local i
    local -a want got
    [ "$3" = "$4" ] && verdict yes && return
    verdict no "$1: ${5-\$ }$2"
    mapfile -t want <<<"${3%$'\n'}" && mapfile -t got <<<"${4%$'\n'}"
    for ((i = 0; i < ${#want[@]} || i < ${#got[@]}; i++)); do
        [ "${want[i]-(end)}" = "${got[i]-(end)}" ] || break
    done
    echo "  line $((i + 1)) of its output: got \"${got[i]-(end)}\", want \"${want[i]-(end)}\""
}

# run_console WHERE: the commands of one console block, on standard input,
# in one shell; a mark that no output holds comes before each one's output
run_console() {
    local cmd= want= line reason script= out i mark=$'\001'
    local -a cmds=() wants=()
    while IFS= read -r line; do
        if [ -n "$cmd" ] && ! complete "$cmd"; then
            cmd+=$'\n'"${line#> }"
        elif [[ $line == '$ '* ]]; then
            [ -z "$cmd" ] || cmds+=("$cmd") wants+=("$want")
            cmd=${line#\$ } want=
        else
            want+=$line$'\n'
        fi
    done
    [ -z "$cmd" ] || cmds+=("$cmd") wants+=("$want")
    for i in "${!cmds[@]}"; do
        if reason=$(skipped "${cmds[i]}"); then echo "not run: ${cmds[i]} ($reason)" && unset "cmds[i]" && continue; fi
        # the mark keeps $? as the command before left it
        script+="doctest_status=\$?; printf '\\001%d\\n' $i; (exit \$doctest_status)"$'\n'"${cmds[i]}"$'\n'
    done
    (cd "$work" && bash -c "$script" </dev/null >"$tmp/out" 2>&1)
    IFS= read -rd '' out <"$tmp/out"
    for i in "${!cmds[@]}"; do
        if [[ $out == *"$mark$i"$'\n'* ]]; then out=${out#*"$mark$i"$'\n'}; else out="(not reached)"; fi
        check "$1" "${cmds[i]}" "${wants[i]}" "${out%%"$mark"*}"
    done
}

# The Command Prompt: Wine's cmd, in the same folder, with dalk.exe,
# dalk-axis.exe and the stand-ins, as .exe files, on its PATH.
wine=${DOCTEST_WINE:-/usr/lib/wine/wine64}
if [ -n "${DOCTEST_WINDOWS-}" ]; then
    mkdir "$tmp/winbin"
    cp "$DOCTEST_WINDOWS/dalk.exe" "$DOCTEST_WINDOWS/dalk-axis.exe" "$tmp/winbin/" || exit 1
    for name in mu_pelk pelk_varn mu_rab nol2fex; do cp "$DOCTEST_WINDOWS/standin.exe" "$tmp/winbin/$name.exe"; done
    export WINEPATH="Z:${tmp//\//\\}\\winbin" WINEDEBUG=-all
fi
windows_not_run() { # WHERE: lists a Command Prompt block's lines, when there is no Wine
    [ -z "${DOCTEST_WINDOWS-}" ] || return 1
    sed "s/^/not run: /; s/\$/ (the Command Prompt; CI's windows step runs it under Wine's cmd)/"
}

# save FILE: the next block is a file that the document has the user write
# (a batch file, with CR LF), not commands to run.
save_as=
save() { save_as=$1; }

# run_bat WHERE: a Command Prompt block, as one batch file that must end with status 0
run_bat() {
    local out
    windows_not_run && return
    sed 's/$/\r/' >"$tmp/block.bat"
    out=$(cd "$work" && "$wine" cmd /q /c "Z:${tmp//\//\\}\\block.bat" </dev/null 2>&1) && verdict yes && return
    verdict no "$1: the batch file ends with status $?"
    echo "$out" | tail -n 3 | sed 's/^/  /'
}

# run_doscon WHERE: a Command Prompt block's "C:\scan>" commands, typed into
# one cmd with echo off (no prompt between the lines); each must print the
# lines under it
run_doscon() {
    local line out i mark=doctest-mark-
    local -a cmds=() wants=()
    while IFS= read -r line; do
        if [[ $line == 'C:\scan>'* ]]; then
            cmds+=("${line#'C:\scan>'}") wants+=("")
        else
            wants[${#wants[@]} - 1]+=$line$'\n'
        fi
    done
    if [ -z "${DOCTEST_WINDOWS-}" ]; then printf '%s\n' "${cmds[@]}" | windows_not_run; return; fi
    for i in "${!cmds[@]}"; do printf 'echo %s%d\r\n%s\r\n' "$mark" "$i" "${cmds[i]}"; done >"$tmp/typed"
    (cd "$work" && "$wine" cmd /q <"$tmp/typed" 2>&1 | tr -d '\r' >"$tmp/out")
    IFS= read -rd '' out <"$tmp/out"
    for i in "${!cmds[@]}"; do
        if [[ $out == *"$mark$i"$'\n'* ]]; then out=${out#*"$mark$i"$'\n'}; else out="(not reached)"; fi
        check "$1" "${cmds[i]}" "${wants[i]}" "${out%%"$mark"*}" 'C:\scan>'
    done
}

# run_script WHERE: one block of commands, on standard input, as one script
run_script() {
    local script= cmd= line reason out
    while IFS= read -r line; do
        cmd+=${cmd:+$'\n'}$line
        complete "$cmd" || continue
        if reason=$(skipped "$cmd"); then echo "not run: $cmd ($reason)"; else script+=$cmd$'\n'; fi
        cmd=
    done
    out=$(cd "$work" && bash -ec "$script" </dev/null 2>&1) && verdict yes && return
    verdict no "$1: the block ends with status $?"
    echo "$out" | tail -n 3 | sed 's/^/  /'
}

for doc in "$@"; do
    work=$tmp/work/$doc
    mkdir -p "$work"
    # The README's commands run in the source's folder, as it says: the files
    # git tracks (all of them in the source tarball), with the tool that ctest
    # built as the quick start's build-tool.
    if [ "$doc" = README.md ]; then
        if git -C "$src" rev-parse --git-dir >/dev/null 2>&1; then
            git -C "$src" ls-files -z | tar -C "$src" --null --ignore-failed-read -T - -cf - 2>/dev/null
        else
            tar -C "$src" --exclude='./build*' -cf - .
        fi | tar -xf - -C "$work"
        ln -s "${DOCTEST_BUILD:-$(dirname "$dalk")}" "$work/build-tool"
    fi
    echo "a dark image" >"$work/dark.img"
    block= kind= start=
    flush() {
        if [ -n "$start" ] && [ -n "$save_as" ]; then
            sed 's/$/\r/' <<<"${block%$'\n'}" >"$work/$save_as" && save_as=
        elif [ -n "$start" ]; then
            "run_$kind" "$doc:$start" <<<"${block%$'\n'}"
        fi
        start=
    }
    while IFS= read -r record; do
        case $record in
        '@ '*) flush; read -r start kind <<<"${record#@ }"; block= ;;
        '| '*) block+="${record#| }"$'\n' ;;
        '! '*) flush; eval "${record#! }" ;;
        '? '*) flush; verdict no "$doc:${record#? }: a code block this test cannot run; fence it (.EX in the manual)" ;;
        esac
    done < <(blocks "$src/$doc")
    flush
done

echo "$passed passed, $failed failed"
[ "$failed" = 0 ] && [ "$passed" -gt 0 ]
