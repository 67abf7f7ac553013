#!/bin/sh
# Lists the tests of the last ctest run in build folder $1 that were skipped,
# whole or in part, each with the reason it gave (from ctest's own log).
log="$1/Testing/Temporary/LastTest.log"
[ -f "$log" ] || exit 0
awk '
  /^[0-9]+\/[0-9]+ Test: / { name = $3 }
  reason_next { sub(/^ +/, ""); print "  skipped " name ": " $0; reason_next = 0; n++ }
  / Skipped$/ { reason_next = 1 }
  /^  \[ skipped \] / { line = $0; sub(/^  \[ skipped \] /, "", line); print "  skipped in part " name ": " line; n++ }
  END { if (n) print n " skip(s) in " FILENAME; else print "No test was skipped." }
' "$log"
