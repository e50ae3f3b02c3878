#!/usr/bin/env bash
# Installs what is missing, builds, starts the unit simulator on 127.0.0.1 and
# the program pointed at it. Never talks to a real unit.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display available (DISPLAY and WAYLAND_DISPLAY are unset); start it from a graphical session." >&2
  exit 1
fi
scripts/install-deps.sh
scripts/build.sh

port=${ZEB_SIM_PORT:-16543}
# The simulated unit triggers by itself a second after each start; the site
# is noisy (passing vehicles, a noisy and a dead geophone) for the noise monitor.
build/tools/unitsim/zeb-unitsim --port "$port" --trigger-wait 1000 --site-noise &
sim=$!
pids=("$sim")
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT

# Upload servers: the normal data server and the witness server, which the
# program is told to use for this run instead of the server in its settings
# file and the network's gateway: a manual run never reaches either.
upload_port=${ZEB_UPLOAD_PORT:-15005}
witness_port=${ZEB_WITNESS_PORT:-15555}
build/tools/uploadsrv/zeb-uploadsrv --normal-port "$upload_port" --witness-port "$witness_port" &
pids+=("$!")
upload_args=(--upload-server "127.0.0.1:$upload_port" --upload-gateway "127.0.0.1:$witness_port")

# The program keeps its settings file and records beside its executable.
build/src/zeb --instrument "127.0.0.1:$port" "${upload_args[@]}"
