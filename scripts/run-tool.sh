#!/usr/bin/env bash
# Builds mistle natively and runs its main job against the simulated card of the stand-in board
# libraries. Extra arguments are handed to the tool instead of the default job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/prepare-machine.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target mistle mistle_sim_libraries
tool=build/linux/app/mistle
export LD_LIBRARY_PATH="$PWD/build/linux/simlib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
if [ $# -gt 0 ]; then
    exec "$tool" "$@"
fi
echo "== mistle /gen_blob_v1_0 build/config-image.bin"
"$tool" /gen_blob_v1_0 build/config-image.bin
echo "== mistle /am (against the simulated card)"
set +e
"$tool" /am
status=$?
echo
echo "(exit code $status)"
exit $status
