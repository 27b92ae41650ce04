#!/usr/bin/env bash
# Sets up, builds and starts one program: ranqor (the default), placeva or tallimo.
set -euo pipefail
cd "$(dirname "$0")/.."
program="${1:-ranqor}"
case "$program" in
  ranqor|placeva|tallimo) ;;
  *) echo "usage: $0 [ranqor|placeva|tallimo]" >&2; exit 2 ;;
esac
# Only the program and what it needs (Placeva: the empty Bank.db beside it),
# so that the first window comes without building the tests and benchmarks.
bash scripts/setup.sh build -DCMAKE_BUILD_TYPE=Release --target "$program"
exec "build/bin/$program"
