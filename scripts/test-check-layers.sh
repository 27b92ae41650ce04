#!/usr/bin/env bash
# The layer check must refuse each kind of forbidden include: each case plants
# one line in a copy of the tree and expects the check to fail naming it.
set -u
here="$(cd "$(dirname "$0")/.." && pwd)"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for d in common toolkit ranqor tallimo placeva bench tools fuzz; do
  cp -r "$here/$d" "$scratch/$d"
done
mkdir -p "$scratch/placeva/cli"

passed=0 failed=0
plant() { # file, include line, words the check's message must hold
  local file=$1 line=$2 expect=$3 out
  [ -e "$scratch/$file" ] || : >"$scratch/$file"
  cp "$scratch/$file" "$scratch/.saved"
  printf '%s\n' "$line" >>"$scratch/$file"
  if out=$(bash "$here/scripts/check-layers.sh" "$scratch" 2>&1); then
    echo "not refused: $line in $file"; failed=$((failed + 1))
  elif ! grep -qF -- "$expect" <<<"$out"; then
    echo "refused without saying \"$expect\": $line in $file"; echo "$out"; failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
  mv "$scratch/.saved" "$scratch/$file"
}

bash "$here/scripts/check-layers.sh" "$scratch" >/dev/null || { echo "the unplanted copy is refused"; failed=$((failed + 1)); }
plant common/numbers.cpp '#include "toolkit.h"' "common reaches above itself"
plant common/numbers.cpp '#include <QWidget>' "common includes a widget"
plant toolkit/toolkit.cpp '#include "rank.h"' "the toolkit reaches a program"
plant toolkit/toolkit.cpp '#include "core/stats.h"' "the toolkit reaches a program"
plant ranqor/rank.cpp '#include "calculatorwindow.h"' "a program reaches another"
plant tallimo/calculatorwindow.cpp '#include "gui/report.h"' "a program reaches Placeva"
plant placeva/core/stats.cpp '#include "estimatorwindow.h"' "a program reaches another"
plant placeva/core/stats.cpp '#include "gui/passtexts.h"' "the core includes a window"
plant placeva/core/stats.cpp '#include "toolkit.h"' "the core includes the window toolkit"
plant placeva/core/stats.cpp '#include <QPainter>' "the core includes a widget or painting header"
plant placeva/gui/chartwindow.cpp '#include "gui/mainwindow.h"' "a window other than the main window"
plant placeva/cli/planted.cpp '#include "gui/chartwindow.h"' "the command line includes a window header"
plant placeva/cli/planted.cpp '#include <QApplication>' "the command line includes a widget header"
plant bench/bench_stats.cpp '#include "../placeva/tests/tst_stats.cpp"' "includes from a tests folder"
plant tools/screenshots.cpp '#include "store_writer.cpp"' "includes from a tests folder"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
