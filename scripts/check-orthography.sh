#!/usr/bin/env bash
# Persian texts use Arabic yeh (U+064A) and keheh (U+06A9) throughout; a Farsi
# yeh (U+06CC) or an Arabic kaf (U+0643) slipped into a source file makes the
# same word compare unequal to the one stored or typed elsewhere.
set -u
cd "$(dirname "$0")/.."
hits=$(LC_ALL=C grep -rlE $'\xdb\x8c|\xd9\x83' --include='*.cpp' --include='*.h' --include='*.txt' \
       --include='*.desktop' --include='*.xml' common toolkit ranqor tallimo placeva bench tools packaging 2>/dev/null)
if [ -n "$hits" ]; then
  echo "Farsi yeh or Arabic kaf in:"; echo "$hits"
  echo "0 passed, 1 failed"
  exit 1
fi
echo "1 passed, 0 failed"
