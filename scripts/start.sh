#!/usr/bin/env bash
# Sets everything up, builds, and starts Ferrymark in the current desktop session.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec "${BUILD_DIR:-build}/app/ferrymark" "$@"
