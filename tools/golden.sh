#!/usr/bin/env bash
# The golden cases of tests/golden/cases.txt: the replay tool's --dump of a capture
# against its reviewed expected file tests/golden/expected/NAME.dump.
#
#   tools/golden.sh list                 the cases
#   tools/golden.sh check NAME...        run the cases; show the difference of each that fails
#   tools/golden.sh refresh NAME...      write the expected files anew, for review (git diff)
#   tools/golden.sh check-all | refresh-all
#   tools/golden.sh reports COMMAND ...  the same for the report cases of
#                                        tests/golden/report_cases.txt: the replay tool's
#                                        --reports DIR against tests/golden/expected/NAME/
#
# HOPSCOPE_REPLAY names the replay tool (default build/src/replay/hopscope-replay);
# GOLDEN_WORK the directory for made captures (default build/tests/golden).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
export TZ=UTC LC_ALL=C
replay=${HOPSCOPE_REPLAY:-$root/build/src/replay/hopscope-replay}
work=${GOLDEN_WORK:-$root/build/tests/golden}
cases=tests/golden/cases.txt
expected_dir=tests/golden/expected
reports=0
if [ "${1:-}" = reports ]; then
    reports=1
    cases=tests/golden/report_cases.txt
    shift
fi

usage() { sed -n '2,15p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; }

trim() { local s=$1; s=${s#"${s%%[![:space:]]*}"}; s=${s%"${s##*[![:space:]]}"}; printf '%s' "$s"; }

# Prints "capture<TAB>options" of a case, or fails.
case_line() {
    local name line n c o
    name=$1
    while IFS= read -r line; do
        case $line in '#'* | '') continue ;; esac
        n=$(trim "${line%%|*}")
        [ "$n" = "$name" ] || continue
        line=${line#*|}
        c=$(trim "${line%%|*}")
        o=$(trim "${line#*|}")
        printf '%s\t%s\n' "$c" "$o"
        return 0
    done < "$cases"
    echo "golden.sh: no case named $name in $cases" >&2
    return 1
}

names() { grep -v '^#' "$cases" | grep -v '^$' | while IFS= read -r l; do trim "${l%%|*}"; echo; done; }

# The capture file of a case, made first when it is a made one.
capture_of() {
    local spec=$1
    if [ "${spec#made:}" != "$spec" ]; then
        local file=$work/${spec#made:}
        mkdir -p "$work"
        if [ ! -s "$file" ] || [ tests/golden/make_capture.py -nt "$file" ]; then
            python3 tests/golden/make_capture.py "${spec#made:}" "$file"
        fi
        echo "$file"
    else
        echo "$spec"
    fi
}

# Runs a case's dump into the file $2 (report cases: its reports into the directory $2).
dump() {
    local fields capture options
    fields=$(case_line "$1") || return 2
    capture=$(capture_of "${fields%%$'\t'*}")
    options=${fields#*$'\t'}
    if [ "$reports" = 1 ]; then
        rm -rf "$2" && mkdir -p "$2"
        # shellcheck disable=SC2086  # the options are words
        "$replay" --reports "$2" $options "$capture"
        return
    fi
    # shellcheck disable=SC2086  # the options are words
    "$replay" --dump $options "$capture" > "$2"
}

# The expected file (report cases: directory) of a case.
expected_of() { if [ "$reports" = 1 ]; then echo "$expected_dir/$1"; else echo "$expected_dir/$1.dump"; fi; }

[ $# -ge 1 ] || { usage >&2; exit 2; }
command=$1
shift
case $command in
    list) names ;;
    check | check-all)
        [ "$command" = check-all ] && set -- $(names)
        [ $# -ge 1 ] || { usage >&2; exit 2; }
        [ -x "$replay" ] || { echo "golden.sh: no replay tool at $replay" >&2; exit 2; }
        failed=0
        if [ "$reports" = 1 ]; then tmp=$(mktemp -d); else tmp=$(mktemp); fi
        trap 'rm -rf "$tmp"' EXIT
        again=""; [ "$reports" = 1 ] && again="reports "
        for name in "$@"; do
            expected=$(expected_of "$name")
            if ! dump "$name" "$tmp"; then
                echo "FAIL $name: the replay tool failed"; failed=1; continue
            fi
            if [ "$reports" = 1 ]; then
                same() { diff -ru "$expected" "$tmp"; }
            else
                same() { diff -u --label "$expected" --label "$name (now)" "$expected" "$tmp"; }
            fi
            if same; then
                echo "ok   $name"
            else
                echo "FAIL $name: the output differs from $expected (tools/golden.sh ${again}refresh $name)"
                failed=1
            fi
        done
        exit $failed ;;
    refresh | refresh-all)
        [ "$command" = refresh-all ] && set -- $(names)
        [ $# -ge 1 ] || { usage >&2; exit 2; }
        [ -x "$replay" ] || { echo "golden.sh: no replay tool at $replay" >&2; exit 2; }
        mkdir -p "$expected_dir"
        for name in "$@"; do
            expected=$(expected_of "$name")
            dump "$name" "$expected"
            echo "wrote $expected ($(cat "$expected" "$expected"/* 2>/dev/null | wc -l) lines)"
        done
        git --no-pager diff --stat -- "$expected_dir" || true ;;
    -h | --help) usage ;;
    *) usage >&2; exit 2 ;;
esac
