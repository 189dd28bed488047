#!/usr/bin/env bash
# The mutation check: scripts/mutants.sh [LIST]
#
# Makes each small edit of LIST (tests/mutants.txt unless told; its format is described at its
# top) to a copy of the tree, builds it and runs the unit tests, and says whether the tests caught
# the edit. Ends with "N caught, M missed" (and how many entries are broken: their text does not
# occur exactly once, or the edit does not build). Exits with 1 when any mutant is missed or
# broken. It takes minutes, so ./test.sh does not run it; run it before resolving an issue that
# changes the core.
#
# The copy and its build live in build/mutants/ and are kept between runs, so that a run builds
# only what changed. The tests an entry names run first; only when they all pass do the other unit
# tests run (the end-to-end and packaging tests, which the unit tests cover, are left out).
#
#   MUTANTS_ONLY="3 7"   run only these entries (numbered from 1 in the order of the list)
#   MUTANTS_TIMEOUT=900  seconds the tests of one mutant may take in all (each test: 300)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
root=$PWD
list=$(realpath "${1:-tests/mutants.txt}")
work=$root/build/mutants
tree=$work/tree
build=$tree/build/default
slow='^(e2e_.*|install_tree|tst_print_cups)$'
limit=${MUTANTS_TIMEOUT:-900}
started=$(date +%s)

# The list: one entry per block of "key: value" lines, blocks separated by blank lines.
files=() finds=() replaces=() faults=() tests=()
entry_file="" entry_find="" entry_replace="" entry_fault="" entry_tests="" have_find=0
flush() {
    if [ -n "$entry_file$entry_find$entry_replace$entry_fault$entry_tests" ] || [ $have_find = 1 ]; then
        files+=("$entry_file") finds+=("$entry_find") replaces+=("$entry_replace")
        faults+=("$entry_fault") tests+=("$entry_tests")
    fi
    entry_file="" entry_find="" entry_replace="" entry_fault="" entry_tests="" have_find=0
}
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
    '#'*) ;;
    '') flush ;;
    'file: '*) entry_file=${line#file: } ;;
    'find: '*) entry_find=${line#find: } have_find=1 ;;
    'replace:'*) entry_replace=${line#replace:} entry_replace=${entry_replace# } ;;
    'fault: '*) entry_fault=${line#fault: } ;;
    'tests: '*) entry_tests=${line#tests: } ;;
    *) echo "mutants.sh: $list: a line that belongs to no key: $line" >&2; exit 2 ;;
    esac
done <"$list"
flush
echo "== ${#files[@]} mutants in ${list#"$root"/}"

# The copy: every file git knows of (committed or not, but not ignored), copied only when it
# changed, so that the build stays incremental; files gone from the tree go from the copy too.
mkdir -p "$tree"
git ls-files -co --exclude-standard -z | sort -z >"$work/files.new"
while IFS= read -r -d '' f; do
    [ -f "$f" ] || continue
    if ! cmp -s "$f" "$tree/$f"; then
        mkdir -p "$tree/$(dirname "$f")"
        cp "$f" "$tree/$f"
    fi
done <"$work/files.new"
if [ -f "$work/files" ]; then
    comm -z -23 "$work/files" "$work/files.new" | while IFS= read -r -d '' gone; do
        rm -f "$tree/$gone"
    done
fi
mv "$work/files.new" "$work/files"

export QT_QPA_PLATFORM=offscreen
log=$work/log
if [ ! -f "$build/CMakeCache.txt" ]; then
    (cd "$tree" && cmake --preset default) >"$log" 2>&1 || { cat "$log"; exit 2; }
fi

# Runs the unit tests of the copy: those named in $1 (space-separated) first, then the others.
# Succeeds when all of them pass.
run_tests() {
    local named=$1 regex others=$slow
    if [ -n "$named" ]; then
        regex="^($(echo "$named" | tr ' ' '|'))$"
        # shellcheck disable=SC2086
        cmake --build "$build" -j2 --target $named >>"$log" 2>&1 || return 3
        (cd "$build" && timeout "$limit" ctest --timeout 300 --stop-on-failure -R "$regex") \
            >>"$log" 2>&1 || return 1
        others="$slow|$regex"
    fi
    cmake --build "$build" -j2 >>"$log" 2>&1 || return 3
    (cd "$build" && timeout "$limit" ctest --timeout 300 --stop-on-failure -E "$others") \
        >>"$log" 2>&1 || return 1
}

echo "== the copy without any mutant: it builds and its unit tests pass"
: >"$log"
run_tests ""
case $? in
0) ;;
3) echo "mutants.sh: the copy does not build:"; tail -n 40 "$log"; exit 2 ;;
*) echo "mutants.sh: the unit tests fail without any mutant:"; tail -n 40 "$log"; exit 2 ;;
esac

# The file being mutated, kept to be put back after each mutant (and on an interruption).
current=""
restore() {
    if [ -n "$current" ]; then
        cp "$work/original" "$tree/$current"
        touch "$tree/$current" # newer than the mutant's objects, so it is built again
        current=""
    fi
}
trap restore EXIT
trap 'exit 130' INT TERM

caught=0 missed=0 broken=0
for i in "${!files[@]}"; do
    n=$((i + 1))
    if [ -n "${MUTANTS_ONLY:-}" ] && [[ " $MUTANTS_ONLY " != *" $n "* ]]; then
        continue
    fi
    file=${files[$i]} find=${finds[$i]} replace=${replaces[$i]}
    label="$n. $file: ${faults[$i]}"
    if [ ! -f "$tree/$file" ] || [ -z "$find" ]; then
        echo "broken  $label (no such file, or nothing to find)"
        broken=$((broken + 1))
        continue
    fi
    count=$(FIND=$find perl -0777 -ne '$n = () = /\Q$ENV{FIND}\E/g; print $n' "$tree/$file")
    if [ "$count" != 1 ]; then
        echo "broken  $label (the text occurs $count times)"
        broken=$((broken + 1))
        continue
    fi
    cp "$tree/$file" "$work/original"
    current=$file
    FIND=$find REPLACE=$replace perl -0777 -pi -e 's/\Q$ENV{FIND}\E/$ENV{REPLACE}/' "$tree/$file"
    : >"$log"
    run_tests "${tests[$i]}"
    case $? in
    0) echo "MISSED  $label"; missed=$((missed + 1)) ;;
    3) echo "broken  $label (does not build)"; broken=$((broken + 1)) ;;
    *) echo "caught  $label"; caught=$((caught + 1)) ;;
    esac
    restore
done

minutes=$((($(date +%s) - started + 30) / 60))
summary="$caught caught, $missed missed"
[ "$broken" -gt 0 ] && summary="$summary, $broken broken"
echo "== $summary (in about $minutes minutes)"
[ "$missed" -eq 0 ] && [ "$broken" -eq 0 ]
