#!/usr/bin/env bash
# Checks of the Debian package, run by CTest. Exit 77 (a skip) with the reason
# when a tool the check needs is not installed.
#   desktop FILE...            desktop-file-validate on the desktop entries
#   metainfo FILE...           appstreamcli validate --no-net on the metainfo
#   build CPACKCONFIG DIR      cpack -G DEB into DIR
#   lintian DIR                lintian on the package, no errors allowed
#   smoke DIR                  unpack into a scratch root and start each program
set -uo pipefail

skip() { echo "SKIPPED: $*"; exit 77; }
need() { for t in "$@"; do command -v "$t" >/dev/null 2>&1 || skip "$t is not installed (Debian package: $(pkg_of "$t"))"; done; }
pkg_of() {
  case "$1" in
    desktop-file-validate) echo desktop-file-utils ;; appstreamcli) echo appstream ;;
    dpkg-deb|dpkg-shlibdeps) echo dpkg-dev ;; *) echo "$1" ;;
  esac
}
the_deb() {
  local debs=("$1"/*.deb)
  [ -f "${debs[0]}" ] || skip "no package in $1 (package_build did not make one)"
  echo "${debs[0]}"
}

mode=$1; shift
case "$mode" in
desktop)
  need desktop-file-validate
  desktop-file-validate "$@" || exit 1
  for f in "$@"; do
    grep -q '^Categories=Education;$' "$f" || { echo "$f: Categories is not Education;"; exit 1; }
    for k in 'Name' 'Name\[fa\]' 'Comment' 'Comment\[fa\]'; do
      grep -q "^$k=" "$f" || { echo "$f: no $k"; exit 1; }
    done
  done
  echo "desktop entries valid: $#"
  ;;
metainfo)
  need appstreamcli
  appstreamcli validate --no-net "$@" || exit 1
  ;;
build)
  need cpack dpkg-deb dpkg-shlibdeps file
  config=$1 dir=$2
  rm -rf "$dir" && mkdir -p "$dir"
  cpack -G DEB --config "$config" -B "$dir" >"$dir/cpack.log" 2>&1 || { cat "$dir/cpack.log"; exit 1; }
  deb=$(the_deb "$dir")
  dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
  dpkg-deb --contents "$deb" | awk '{print $6}'
  depends=$(dpkg-deb --field "$deb" Depends)
  for d in libqt6sql6-sqlite libqt6gui6 fonts-noto-ui-core qt6-translations-l10n libqt6widgets6 libc6; do
    [[ ",$depends" == *[\ ,]"$d"* ]] || { echo "Depends lacks $d: $depends"; exit 1; }
  done
  ;;
lintian)
  need lintian
  deb=$(the_deb "$1")
  lintian --fail-on error "$deb"
  ;;
smoke)
  need dpkg-deb timeout
  deb=$(the_deb "$1")
  root=$(mktemp -d "${TMPDIR:-/tmp}/kt-smoke.XXXXXX")
  trap 'rm -rf "$root"' EXIT
  dpkg-deb -x "$deb" "$root" || exit 1
  export HOME="$root/home" XDG_DATA_HOME="$root/home/data" XDG_CONFIG_HOME="$root/home/config"
  export QT_QPA_PLATFORM=offscreen KT_QUIT_AFTER_FIRST_WINDOW=1 ASAN_OPTIONS=detect_leaks=0
  mkdir -p "$HOME"
  bank="$XDG_DATA_HOME/kardani-tools/placeva/Bank.db"
  for p in ranqor tallimo placeva; do
    timeout 60 "$root/usr/bin/$p" || { echo "$p did not show its first window (status $?)"; exit 1; }
    "$root/usr/bin/$p" --version | grep -q "^$p " || { echo "$p --version"; exit 1; }
    echo "$p showed its first window"
  done
  [ -f "$bank" ] || { echo "Placeva made no $bank"; exit 1; }
  [ -z "$(find "$root/usr" -newer "$deb" -type f)" ] || { echo "Placeva wrote under usr/"; exit 1; }
  # What is entered is kept in the user's database, from one start to the next.
  printf 'Name,Dini,Adabiat,Zaban,Riazi,ZabanT,Madar,barname,system,zakhire,sakhteman\nSmoke,50,50,50,50,50,50,50,50,50,50\n' \
    >"$root/in.csv"
  "$root/usr/bin/placeva" --import-applicants "$root/in.csv" || { echo "import into $bank"; exit 1; }
  timeout 60 "$root/usr/bin/placeva" || { echo "placeva second start"; exit 1; }
  "$root/usr/bin/placeva" --export-applicants "$root/out.csv" || exit 1
  grep -q '^Smoke,' "$root/out.csv" || { echo "the imported row is not kept"; exit 1; }
  echo "Placeva keeps its data in $bank"
  ;;
*)
  echo "unknown check: $mode"; exit 2 ;;
esac
