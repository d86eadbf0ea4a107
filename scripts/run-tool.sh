#!/usr/bin/env bash
# Builds mistle natively and shows what it does: without arguments, a short tour against simulated
# cards of the stand-in board libraries (scripts/tour.sh); with arguments, the tool runs with them
# against the simulated card (or the scenario that TVXSIM_CONFIG names).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/prepare-machine.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target mistle mistle_sim_libraries
tool=build/linux/app/mistle
if [ $# -eq 0 ]; then
    exec scripts/tour.sh "$tool" build/linux/simlib
fi
export LD_LIBRARY_PATH="$PWD/build/linux/simlib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
exec "$tool" "$@"
