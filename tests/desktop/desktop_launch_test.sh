#!/usr/bin/env bash
# Starts the program with the desktop entry's command line and as from a shell, on the offscreen
# platform, and checks where each keeps its settings file: the desktop launch in its folder under
# XDG_CONFIG_HOME (created), the shell launch in the working directory.
# Usage: desktop_launch_test.sh PATH/TO/qarv-vindle PATH/TO/qarv-vindle.desktop
set -euo pipefail
program=$1
desktop=$2

read -r -a command <<<"$(sed -n 's/^Exec=//p' "$desktop")"
if [ "${command[0]}" != qarv-vindle ]; then
    echo "FAILED: the desktop entry does not start qarv-vindle: ${command[*]}"
    exit 1
fi
command[0]=$program

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/launcher" "$tmp/shell"
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$tmp/config

# Runs the command in folder $1 until the settings file $2 exists (at most 20 s), then ends it.
run_until_settings() {
    local folder=$1 settings=$2
    shift 2
    (cd "$folder" && exec "$@") &
    local pid=$! waited=0
    while [ ! -f "$settings" ] && [ $waited -lt 200 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

failed=0
expect() {
    if eval "$1"; then echo "ok      $2"; else echo "FAILED  $2"; failed=1; fi
}

run_until_settings "$tmp/launcher" "$tmp/config/qarv-vindle/QarvVindle.ini" "${command[@]}"
expect '[ -f "$tmp/config/qarv-vindle/QarvVindle.ini" ]' "desktop launch: settings in its own folder"
expect '[ -z "$(ls -A "$tmp/launcher")" ]' "desktop launch: nothing in the launcher's folder"

rm -rf "$tmp/config"
run_until_settings "$tmp/shell" "$tmp/shell/QarvVindle.ini" "$program"
expect '[ -f "$tmp/shell/QarvVindle.ini" ]' "shell launch: settings in the working directory"
expect '[ ! -e "$tmp/config" ]' "shell launch: no settings folder created"
exit $failed
