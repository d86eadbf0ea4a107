#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test mistle: the native tool chain,
# GoogleTest, the MinGW-w64 cross compiler and wine for the Windows build, what CPack needs to
# find the Debian package's dependencies (file, dpkg-shlibdeps), clang's sanitizer and fuzzer
# run-times, the symbolizer that puts names into their reports, Python 3 for the benchmark's
# measurements, and what the package tests run: lintian, groff and man for the manual page, and
# ansible-core for the playbooks; nlohmann-json3-dev (header-only) for the JSON output, with
# python3-jsonschema to check it, promtool (prometheus) for the collector's file and ansible-lint
# for the playbooks. Needs root (or sudo).
set -euo pipefail

packages=(cmake ninja-build g++ clang libgtest-dev googletest g++-mingw-w64-x86-64-posix wine64
    file dpkg-dev libclang-rt-14-dev llvm python3 python3-pytest lintian groff-base man-db ansible-core
    nlohmann-json3-dev python3-jsonschema prometheus ansible-lint)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi
