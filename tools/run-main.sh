#!/usr/bin/env bash
# The main job: build the driver and let the host tool drive the built-in
# simulated cameras. Extra arguments go to cvl-host.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
exec build/bin/cvl-host "$@"
