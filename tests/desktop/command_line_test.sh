#!/usr/bin/env bash
# Runs the program with --version and --help where there is no display at all and checks that
# each answers on standard output and exits 0 without starting the window (which would fail for
# want of a display, or leave a settings file behind).
# Usage: command_line_test.sh PATH/TO/qarv-vindle VERSION
set -uo pipefail
program=$1
version=$2

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

failed=0
check() {
    local what=$1 expected_pattern=$2
    shift 2
    local output status
    output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$program" "$@" 2>&1)
    status=$?
    if [ "$status" -eq 0 ] && [[ "$output" == $expected_pattern ]] && [ -z "$(ls -A)" ]; then
        echo "ok      $what"
    else
        echo "FAILED  $what (exit $status): $output"
        failed=1
    fi
}

check "--version" "Qarv Vindle LAN Setup Utility"$'\n'"Version $version" --version
check "--help names --user-settings" "Usage: qarv-vindle *--user-settings*--version*" --help
exit $failed
