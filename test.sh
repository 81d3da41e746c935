#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
tools/install-packages.sh "${BUILD_PACKAGES[@]}" "${WINDOW_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
# The "test" preset of CMakePresets.json: build/, RelWithDebInfo, warnings fatal.
cmake --preset test >/dev/null
cmake --build build
ctest --preset test -j"$(nproc)"
