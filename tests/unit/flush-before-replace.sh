#!/bin/sh
# From Wine's relay trace of a test's saves: every temporary file was flushed
# to disk (FlushFileBuffers on its handle succeeded) after it was created and
# before it was moved over printer.ini or printer.ini.bak, and each new
# printer.ini but the first got the replaced one's owner and access list
# (SetNamedSecurityInfoW) before its move. No seam in the code: the order of the
# calls is seen from outside.
#   flush-before-replace.sh WINE-EXEC UNIT-TESTS-EXE
set -eu
# Only the calls it reads (the same list as kRelayInclude in tests/ui/harness.h:
# the value is one for every process of the prefix).
"$1" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /f /d \
  'KERNEL32.CreateFileW;KERNEL32.FlushFileBuffers;KERNEL32.MoveFileExW;user32.GetSystemMenu;user32.AppendMenuW;user32.EnableMenuItem;user32.DeleteMenu;user32.SendMessageW;advapi32.SetNamedSecurityInfoW' \
  >/dev/null 2>&1
log=$(mktemp)
trap 'rm -f "$log" "$log.out"' EXIT
if ! WINEDEBUG=+relay "$1" "$2" --gtest_filter=SettingsFile.SaveKeepsTheReplacedFileAsBackup \
    >"$log.out" 2>"$log"; then
  cat "$log.out"
  exit 1
fi
awk '
  function quoted(line) { return match(line, /L"[^"]*"/) ? substr(line, RSTART, RLENGTH) : "" }
  function argument(line) { return match(line, /\([0-9a-f]+/) ? substr(line, RSTART + 1, RLENGTH - 1) : "" }
  function retval(line) { return match(line, /retval=[0-9a-f]+/) ? substr(line, RSTART + 7, RLENGTH - 7) : "" }
  /:Call KERNEL32\.CreateFileW\(/ { creating = quoted($0); next }
  /:Ret  KERNEL32\.CreateFileW\(\)/ {
    if (creating ~ /\.(tmp|previous)"$/ && retval($0) !~ /^f+$/) { handle[creating] = retval($0); flushed[creating] = 0 }
    creating = ""; next
  }
  /:Call KERNEL32\.FlushFileBuffers\(/ { flushing = argument($0); next }
  /:Ret  KERNEL32\.FlushFileBuffers\(\)/ {
    if (retval($0) != "00000001") next
    for (name in handle) if (handle[name] == flushing) flushed[name] = 1
    next
  }
  /:Call advapi32\.SetNamedSecurityInfoW\(/ { secured[quoted($0)] = 1; next }
  /:Call KERNEL32\.MoveFileExW\(/ {
    moves++
    source = quoted($0)
    if (!flushed[source]) { print "moved without a flush first: " source; bad++ }
    target = substr($0, index($0, source) + length(source))
    if (quoted(target) ~ /printer\.ini"$/ && ++settings > 1 && !secured[source]) {
      print "replaced without its rights: " source; bad++
    }
    delete handle[source]
  }
  END {
    if (moves < 5) { print "expected five saves, saw " moves + 0 " moves"; exit 1 }
    if (bad) exit 1
    print moves " moves, each of a file flushed before"
  }
' "$log"
