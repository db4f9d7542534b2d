#!/bin/sh
# Writes a program's man page, gzipped, from the program's own --help and, for a program with
# commands, from each command's --help: the page always says what the program says.
# Usage: man-page.sh PROGRAM NAME VERSION SUMMARY OUTPUT.gz
set -eu
program=$1 name=$2 version=$3 summary=$4 output=$5
here=$(dirname "$0")
roff_name=$(printf '%s' "$name" | sed 's/-/\\-/g')

page=$(mktemp) notes=$(mktemp)
trap 'rm -f "$page" "$notes"' EXIT
{
    printf '.TH %s 1 "" "Kavro %s" "User Commands"\n' "$(printf '%s' "$roff_name" | tr a-z A-Z)" "$version"
    printf '.SH NAME\n%s \\- %s\n' "$roff_name" "$summary"
    help=$("$program" --help)
    printf '%s\n' "$help" | awk -v name="$name" -v command="" -v notes="$notes" -f "$here/help-to-man.awk"
    commands=$(printf '%s\n' "$help" | awk '/^Subcommands:$/ { on = 1; next } /^$/ { on = 0 } on && /^  [^ ]/ { print $1 }')
    for c in $commands; do
        "$program" "$c" --help | awk -v name="$name" -v command="$c" -f "$here/help-to-man.awk"
    done
    cat "$notes"
} >"$page"
gzip -9n <"$page" >"$output"
