#!/usr/bin/env bash
# Who may include whom. common reaches nothing above it; the toolkit no
# program; no program another; Placeva's core no widget and no window; no
# window but the main window includes the main window's header; the command
# line no window header; benchmarks, tools and fuzz targets nothing from a
# tests/ folder. The build enforces part of this (each Placeva library exports
# only its own include root); this check covers the rest. Usage:
# check-layers.sh [TREE] (the source tree, by default this one).
set -u
root=${1:-"$(dirname "$0")/.."}
cd "$root" || exit 2
fail=0
say() { echo "$1"; fail=$((fail + 1)); }

# The quoted and angled includes of a file, one a line, without the delimiters.
quoted() { sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/p' "$1" | grep -v '\.moc$'; }
angled() { sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<([^>]+)>.*/\1/p' "$1"; }
sources() { [ -d "$1" ] && find "$1" -type f \( -name '*.cpp' -o -name '*.h' \) | sort; }
headers_of() { [ -d "$1" ] && find "$1" -maxdepth 1 -name '*.h' -printf '%f\n'; }
in_list() { grep -qxF -- "$1" <<<"$2"; }

widget_header='^(QtWidgets/|QtPrintSupport/|QtCharts/|QtSvg/)?Q(Widget|Dialog|Label|MainWindow|Application|Painter|PrintDialog|PrintPreviewDialog|ProgressDialog|FileDialog|MessageBox|Menu|MenuBar|Action|ChartView|Chart|PdfWriter|Printer|SvgGenerator|GuiApplication|Image|Font|FontMetrics|FontMetricsF)$'
ranqor_headers=$(headers_of ranqor)
tallimo_headers=$(headers_of tallimo)
common_headers=$(headers_of common)
toolkit_headers=$(headers_of toolkit)
placeva_layer='^(core|gui|cli)/'
placeva_testsupport=$(headers_of placeva/testsupport | sed 's|^|testsupport/|')

while IFS= read -r f; do
  while IFS= read -r inc; do
    in_list "$inc" "$common_headers" || say "common reaches above itself: $f includes \"$inc\""
  done < <(quoted "$f")
  while IFS= read -r inc; do
    [[ $inc =~ $widget_header ]] && say "common includes a widget or painting header: $f includes <$inc>"
  done < <(angled "$f")
done < <(sources common)

while IFS= read -r f; do
  while IFS= read -r inc; do
    if [[ $inc =~ $placeva_layer ]] || in_list "$inc" "$placeva_testsupport" || in_list "$inc" "$ranqor_headers" \
       || in_list "$inc" "$tallimo_headers"; then
      say "the toolkit reaches a program: $f includes \"$inc\""
    fi
  done < <(quoted "$f")
done < <(sources toolkit)

check_program() { # folder, the headers of the other programs
  local folder=$1 others=$2 f inc
  while IFS= read -r f; do
    while IFS= read -r inc; do
      in_list "${inc##*/}" "$others" && [ ! -e "$(dirname "$f")/$inc" ] &&
        say "a program reaches another: $f includes \"$inc\""
    done < <(quoted "$f")
  done < <(sources "$folder")
}
check_program ranqor "$tallimo_headers"
check_program tallimo "$ranqor_headers"
check_program placeva "$(printf '%s\n%s' "$ranqor_headers" "$tallimo_headers")"
while IFS= read -r f; do
  while IFS= read -r inc; do
    { [[ $inc =~ $placeva_layer ]] || in_list "$inc" "$placeva_testsupport"; } &&
      say "a program reaches Placeva: $f includes \"$inc\""
  done < <(quoted "$f")
done < <(sources ranqor; sources tallimo)

while IFS= read -r f; do
  while IFS= read -r inc; do
    [[ $inc =~ ^(gui|cli|testsupport)/ ]] && say "the core includes a window, command-line or test header: $f includes \"$inc\""
    in_list "$inc" "$toolkit_headers" && say "the core includes the window toolkit: $f includes \"$inc\""
  done < <(quoted "$f")
  while IFS= read -r inc; do
    [[ $inc =~ $widget_header ]] && say "the core includes a widget or painting header: $f includes <$inc>"
  done < <(angled "$f")
done < <(sources placeva/core)

while IFS= read -r f; do
  case "$f" in */gui/mainwindow.*) continue ;; esac
  while IFS= read -r inc; do
    [ "$inc" = gui/mainwindow.h ] && say "a window other than the main window includes its header: $f"
  done < <(quoted "$f")
done < <(sources placeva/gui; sources placeva/cli)

# A window header: one that names a widget or the window toolkit.
window_headers=$(cd placeva/gui 2>/dev/null && grep -lE 'QWidget|QDialog|tk::|"toolkit.h"|"startup.h"' -- *.h | sed 's|^|gui/|')
while IFS= read -r f; do
  while IFS= read -r inc; do
    { in_list "$inc" "$window_headers" || in_list "$inc" "$toolkit_headers"; } &&
      say "the command line includes a window header: $f includes \"$inc\""
  done < <(quoted "$f")
  while IFS= read -r inc; do
    [[ $inc =~ ^(QtWidgets/)?Q(Widget|Dialog|Application|MessageBox|FileDialog|ProgressDialog|MainWindow|Menu|MenuBar)$ ]] &&
      say "the command line includes a widget header: $f includes <$inc>"
  done < <(angled "$f")
done < <(sources placeva/cli)

# Nothing outside a tests/ folder includes from one, nor a file that only a
# tests/ folder holds.
test_only=$(find . -path '*/tests/*' \( -name '*.h' -o -name '*.cpp' \) -not -path './build*' -printf '%f\n' | sort -u)
while IFS= read -r f; do
  case "$f" in */tests/*) continue ;; esac
  while IFS= read -r inc; do
    if [[ $inc == *tests/* ]] || { in_list "${inc##*/}" "$test_only" && [ ! -e "$(dirname "$f")/$inc" ]; }; then
      say "includes from a tests folder: $f includes \"$inc\""
    fi
  done < <(quoted "$f")
done < <(for d in common toolkit ranqor tallimo placeva bench tools fuzz; do sources "$d"; done)

if [ "$fail" -gt 0 ]; then echo "0 passed, 1 failed"; exit 1; fi
echo "1 passed, 0 failed"
