#!/bin/sh
# Starts the operator program with its settings file and records in a folder
# it may write: the installed program's own folder under /usr is not one.
set -e
here=$(dirname "$(readlink -f "$0")")
program="$here/../libexec/zeb/zeb"
for arg in "$@"; do
    case "$arg" in
        --program-dir|--program-dir=*) exec "$program" "$@" ;;
    esac
done
exec "$program" --program-dir "${ZEB_PROGRAM_DIR:-/var/lib/zeb}" "$@"
