#!/usr/bin/env bash
# The sanitizer pass developers run before submitting: builds everything with
# AddressSanitizer and UndefinedBehaviorSanitizer (CMake preset "asan", folder build-asan/)
# and runs the whole test suite under them, the shared api games included. Any finding (a
# memory error, undefined behaviour) fails the test that ran into it. Leak checking is off:
# the software GL driver is unloaded before the check runs, so its caches show up as leaks of
# an unknown module that no suppression can name.
#
# usage: scripts/sanitize.sh [ctest arguments...]      e.g. scripts/sanitize.sh -R host_scripts
#
# It is not part of .ci/run: on the 2-core CI machine the sanitized build and run alone take
# longer than CI's 20 minutes (docs/hardening.md has the figures).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake --preset asan
cmake --build --preset asan
# Sanitized frames are several times larger: the deepest recursion the tests reach (the
# regular-expression matcher over a 4,096-character pattern) needs more than 8 MB of stack.
ulimit -s 65536 2>/dev/null || ulimit -s unlimited
ctest --preset asan -j2 "$@"
