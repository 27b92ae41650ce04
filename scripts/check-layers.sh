#!/usr/bin/env bash
# Placeva's layers: the core never names a window, and no window but the main
# window itself includes the main window's header (the others read the last
# pass through LastPass and MainWindowLink). Nothing outside a tests/ folder
# includes from one.
set -u
cd "$(dirname "$0")/.."
fail=0
say() { echo "$1"; fail=$((fail + 1)); }
for f in placeva/core/*; do
  grep -qE '#include *["<](gui|testsupport)/' "$f" && say "core includes a window or test header: $f"
  grep -qE '#include *<Qt?(Widgets|Gui|Charts|PrintSupport)?/?Q(Widget|Dialog|Label|MainWindow|Painter|Application)\b' "$f" &&
    say "core includes a widget or painting header: $f"
done
for f in placeva/gui/*; do
  case "$f" in placeva/gui/mainwindow.*) continue ;; esac
  grep -q '#include "gui/mainwindow.h"' "$f" && say "a window other than the main window includes its header: $f"
done
while IFS= read -r f; do
  case "$f" in */tests/*) continue ;; esac
  grep -qE '#include *"[^"]*tests/' "$f" && say "includes from a tests folder: $f"
done < <(git ls-files '*.cpp' '*.h')
if [ "$fail" -gt 0 ]; then echo "0 passed, 1 failed"; exit 1; fi
echo "1 passed, 0 failed"
