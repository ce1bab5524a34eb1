#!/usr/bin/env bash
# Plants one known fault at a time into a clean copy of the program, runs the
# tests of that area and counts whether any test notices. The faults are listed
# in scripts/mutants.txt. Run by hand; it is not part of the test suite.
#
#   scripts/mutants.sh                 build and run every mutant
#   scripts/mutants.sh --only m01,m07  run only these mutants
#   scripts/mutants.sh --list          only check that every mutant's text is
#                                      found exactly once; builds nothing
#   --workdir DIR   keep the copy and its build folder in DIR and reuse them on
#                   the next run (default: a temporary folder removed at the end)
#   --timeout SEC   time limit of one test program (default 300)
#   --jobs N        parallel build jobs (default 2)
#   --file LIST     another mutant list (default scripts/mutants.txt)
#
# Each mutant is applied to its file in the copy, only the test programs its
# regex names are built and run, and the file is put back before the next one.
# A mutant whose build fails counts as "not built"; one whose text is no longer
# found in the source counts as "stale". Score = caught / built.
set -uo pipefail

repo=$(git -C "$(dirname "${BASH_SOURCE[0]}")" rev-parse --show-toplevel) || exit 2
list_file="$repo/scripts/mutants.txt"
only=""
list_only=0
workdir=""
timeout=300
jobs=2

usage() { sed -n '2,/^[^#]/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//'; }

while [ $# -gt 0 ]; do
    case "$1" in
    --only) only="${2:-}"; shift 2 ;;
    --only=*) only="${1#--only=}"; shift ;;
    --list) list_only=1; shift ;;
    --workdir) workdir="${2:-}"; shift 2 ;;
    --timeout) timeout="${2:-}"; shift 2 ;;
    --jobs) jobs="${2:-}"; shift 2 ;;
    --file) list_file="${2:-}"; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) echo "unknown option: $1" >&2; usage >&2; exit 2 ;;
    esac
done

command -v perl >/dev/null || { echo "perl is needed for the literal replace" >&2; exit 2; }
[ -f "$list_file" ] || { echo "no mutant list: $list_file" >&2; exit 2; }

# One mutant per line, fields separated by " @@ ":
#   id @@ file @@ text to find @@ replacement @@ ctest -R regex @@ description
# Blank lines and lines starting with # are skipped. Spaces around each field
# are trimmed; the replacement may be empty (the text is deleted).
ids=() files=() finds=() repls=() regexes=() descs=()
lineno=0
bad=0
while IFS= read -r line || [ -n "$line" ]; do
    lineno=$((lineno + 1))
    [[ "$line" =~ ^[[:space:]]*(#|$) ]] && continue
    fields=()
    rest="$line"
    while [[ "$rest" == *" @@ "* ]]; do
        fields+=("${rest%% @@ *}")
        rest="${rest#* @@ }"
    done
    fields+=("$rest")
    if [ ${#fields[@]} -ne 6 ]; then
        echo "$list_file:$lineno: expected 6 fields, found ${#fields[@]}" >&2
        bad=1
        continue
    fi
    for i in "${!fields[@]}"; do
        f="${fields[$i]}"
        f="${f#"${f%%[![:space:]]*}"}"
        f="${f%"${f##*[![:space:]]}"}"
        fields[$i]="$f"
    done
    for seen in "${ids[@]}"; do
        [ "$seen" = "${fields[0]}" ] && { echo "$list_file:$lineno: id ${fields[0]} used twice" >&2; bad=1; }
    done
    ids+=("${fields[0]}") files+=("${fields[1]}") finds+=("${fields[2]}")
    repls+=("${fields[3]}") regexes+=("${fields[4]}") descs+=("${fields[5]}")
done <"$list_file"
[ $bad -eq 0 ] || exit 2

# Which mutants to run.
selected=()
if [ -n "$only" ]; then
    IFS=',' read -r -a wanted <<<"$only"
    for w in "${wanted[@]}"; do
        found=0
        for i in "${!ids[@]}"; do
            [ "${ids[$i]}" = "$w" ] && { selected+=("$i"); found=1; }
        done
        [ $found -eq 1 ] || { echo "no mutant with id $w" >&2; exit 2; }
    done
else
    selected=("${!ids[@]}")
fi

# count_in FILE TEXT: how often TEXT occurs literally in FILE.
count_in() {
    FIND="$2" perl -0777 -ne 'my $n = () = /\Q$ENV{FIND}\E/g; print $n' "$1"
}

# apply_in FILE TEXT REPLACEMENT: replaces the single occurrence.
apply_in() {
    FIND="$2" REPL="$3" perl -0777 -i -pe 's/\Q$ENV{FIND}\E/$ENV{REPL}/' "$1"
}

# --list: check the texts against the caller's tree as it is now.
if [ $list_only -eq 1 ]; then
    problems=0
    declare -A per_lib=()
    for i in "${selected[@]}"; do
        file="$repo/${files[$i]}"
        if [ ! -f "$file" ]; then
            printf '%-6s missing file   %s\n' "${ids[$i]}" "${files[$i]}"
            problems=$((problems + 1))
            continue
        fi
        n=$(count_in "$file" "${finds[$i]}")
        lib=$(echo "${files[$i]}" | cut -d/ -f2)
        per_lib[$lib]=$((${per_lib[$lib]:-0} + 1))
        if [ "$n" -ne 1 ]; then
            [ "$n" -eq 0 ] && what="stale (not found)" || what="found $n times"
            printf '%-6s %-17s %s: %s\n' "${ids[$i]}" "$what" "${files[$i]}" "${finds[$i]}"
            problems=$((problems + 1))
        fi
    done
    echo "mutants: ${#selected[@]}, texts not found exactly once: $problems"
    for lib in $(printf '%s\n' "${!per_lib[@]}" | sort); do
        printf '  %-10s %d\n' "$lib" "${per_lib[$lib]}"
    done
    [ $problems -eq 0 ]
    exit
fi

# A clean copy of the committed tree, never the caller's working files.
own_workdir=0
if [ -z "$workdir" ]; then
    workdir=$(mktemp -d "${TMPDIR:-/tmp}/korvo-mutants.XXXXXX") || exit 2
    own_workdir=1
fi
mkdir -p "$workdir" || exit 2
workdir=$(cd "$workdir" && pwd)
# The build folder sits inside the copy as build/ does in a developer's tree, so
# the compiler cache sees the same relative paths and serves their objects too.
src="$workdir/tree"
build="$src/build"
log="$workdir/mutants.log"
kept_log="${TMPDIR:-/tmp}/korvo-mutants-last.log"
cleanup() {
    if [ $own_workdir -eq 1 ]; then
        [ -f "$log" ] && cp "$log" "$kept_log"
        rm -rf "$workdir"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A reused work folder keeps its build folder; only the sources are laid anew
# (the compiler cache makes recompiling the unchanged ones cheap). They are
# laid with the present time, not the commit's: the objects of the last
# mutant of an earlier run are newer than the commit, and the build would
# otherwise keep them.
mkdir -p "$src"
find "$src" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
git -C "$repo" archive --format=tar HEAD | tar -x -m -C "$src" || { echo "git archive failed" >&2; exit 2; }
echo "clean copy of $(git -C "$repo" rev-parse --short HEAD) in $src"

# Paths relative to the copy so that the compiler cache serves every copy alike.
export CCACHE_BASEDIR="$workdir" CCACHE_NOHASHDIR=1
export QT_QPA_PLATFORM=offscreen

: >"$log"
if ! cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVO_WERROR=ON >>"$log" 2>&1; then
    echo "configuring the clean copy failed, see $log" >&2
    exit 2
fi

# tests_for REGEX: names of the tests the regex selects (their targets have the same name).
tests_for() {
    (cd "$build" && ctest -N -R "$1" 2>/dev/null) | sed -n 's/^ *Test *#[0-9]*: //p'
}

# build_and_test REGEX: 0 all passed, 1 a test failed, 2 build failed, 3 no test.
build_and_test() {
    local names
    mapfile -t names < <(tests_for "$1")
    [ ${#names[@]} -gt 0 ] || return 3
    local targets=()
    for t in "${names[@]}"; do
        [[ "$t" == launcher_* ]] || targets+=("$t")
    done
    if [ ${#targets[@]} -gt 0 ]; then
        cmake --build "$build" --parallel "$jobs" --target "${targets[@]}" >>"$log" 2>&1 || return 2
    fi
    (cd "$build" && ctest -R "$1" --timeout "$timeout" --output-on-failure) >>"$log" 2>&1 || return 1
    return 0
}

# The tests must pass on the unchanged copy, or nothing they say about a mutant counts.
# CMake's regular expressions allow only a few groups, so the baseline does
# not join the mutants' regexes: it runs the test names they select, as one
# group of plain names.
declare -A baseline_done=() baseline_tests=()
for i in "${selected[@]}"; do
    r="${regexes[$i]}"
    [ -n "${baseline_done[$r]:-}" ] && continue
    baseline_done[$r]=1
    while IFS= read -r t; do
        [ -n "$t" ] && baseline_tests[$t]=1
    done < <(tests_for "$r")
done
regex_union=""
for t in $(printf '%s\n' "${!baseline_tests[@]}" | sort); do
    regex_union="${regex_union:+$regex_union|}$t"
done
[ -n "$regex_union" ] && regex_union="^($regex_union)\$"
echo "building and running the unchanged tests ($regex_union) ..."
echo "=== baseline: $regex_union" >>"$log"
build_and_test "$regex_union"
case $? in
0) ;;
1) echo "the tests fail without any mutant; see $log" >&2; exit 2 ;;
2) echo "the unchanged copy does not build; see $log" >&2; exit 2 ;;
3) echo "the regexes select no test: $regex_union" >&2; exit 2 ;;
esac

caught=() missed=() notbuilt=() stale=() notest=()
for i in "${selected[@]}"; do
    id="${ids[$i]}"
    file="$src/${files[$i]}"
    printf '%-6s %-45s ' "$id" "${files[$i]}"
    echo "=== $id ${files[$i]}: ${descs[$i]}" >>"$log"
    if [ ! -f "$file" ] || [ "$(count_in "$file" "${finds[$i]}")" -ne 1 ]; then
        echo "stale"
        stale+=("$i")
        continue
    fi
    cp "$file" "$workdir/original"
    apply_in "$file" "${finds[$i]}" "${repls[$i]}"
    touch "$file"
    build_and_test "${regexes[$i]}"
    rc=$?
    # Put the file back with a new time stamp so the next build recompiles it
    # (the compiler cache makes that cheap).
    cat "$workdir/original" >"$file"
    touch "$file"
    case $rc in
    0) echo "MISSED"; missed+=("$i") ;;
    1) echo "caught"; caught+=("$i") ;;
    2) echo "not built"; notbuilt+=("$i") ;;
    3) echo "no test matches ${regexes[$i]}"; notest+=("$i") ;;
    esac
done

built=$((${#caught[@]} + ${#missed[@]}))
echo
echo "score: ${#caught[@]} / $built caught (of ${#selected[@]} mutants: ${#notbuilt[@]} not built, ${#stale[@]} stale, ${#notest[@]} without test)"
show() {
    local title="$1"
    shift
    [ $# -gt 0 ] || return 0
    echo "$title:"
    for i in "$@"; do
        printf '  %-6s %s: %s\n' "${ids[$i]}" "${files[$i]}" "${descs[$i]}"
    done
}
show "not caught" "${missed[@]}"
show "not built" "${notbuilt[@]}"
show "stale (text not found exactly once)" "${stale[@]}"
show "no test selected" "${notest[@]}"
[ $own_workdir -eq 1 ] && echo "log: $kept_log" || echo "log: $log"
[ ${#missed[@]} -eq 0 ] && [ ${#notbuilt[@]} -eq 0 ] && [ ${#stale[@]} -eq 0 ] && [ ${#notest[@]} -eq 0 ]
