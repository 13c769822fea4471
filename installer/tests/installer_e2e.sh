#!/usr/bin/env bash
# The installer under Wine, as a deployment tool runs it:
#   silent install -> files, InstalledPath, defaults, Run entry, NvMGR running, Netvane.exe starts
#   from the Run entry's command; an older build first and this one over it keeps changed settings;
#   silent uninstall after an update -> NvUninst's two phases in order, and none of the product's
#   files, keys, service or shortcuts left (the prefix's listings before and after are compared);
#   "/UPDATEKEY=<hex>" leaves the key where the update client reads it.
# installer_e2e.sh <NetvaneSetup.exe> <makensis> <netvane.nsi> <bin dir> <work dir> [<help file>]
set -u
setup=$1 makensis=$2 nsi=$3 bindir=$4 work=$5 help=${6:-}
export PATH=/usr/lib/wine:$PATH
: "${WINEPREFIX:?run under the wine fixture}"
rm -rf "$work" && mkdir -p "$work"
inst="$WINEPREFIX/drive_c/Program Files/Tarn/Netvane"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Netvane"
key='HKLM\SOFTWARE\Tarn\Netvane-H'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
run_value='Netvane (Only Railgate)'
arp_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Netvane'
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
w() { wine64 "$@" </dev/null 2>/dev/null; }
value() { w reg query "$1" /v "$2" | tr -d '\r' | awk -v n="$2" 'index($0, n) { sub(/^.*REG_[A-Z_]+ +/, ""); print }'; }
has_key() { w reg query "$1" >/dev/null; }
wait_until() {  # <tenths of seconds> <command...>
  local n=$1; shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
# The prefix as files and registry key names (values of keys that Wine rewrites are left out).
listing() {
  (cd "$WINEPREFIX" && find drive_c -not -path '*/windows/*' -not -path '*/Temp/*' -not -path '*/temp/*' | sort)
  # Asked of the server: the hive files on disk are written only now and then.
  local export="$work/hklm-software.reg"
  rm -f "$export"
  w reg export 'HKLM\SOFTWARE' "Z:$(echo "$export" | tr / '\\')" /y >/dev/null
  iconv -f UTF-16LE -t UTF-8 "$export" 2>/dev/null | tr -d '\r' | grep '^\[' | sort
  w reg query "$run_key" | tr -d '\r' | grep -i 'REG_' | sed 's/^ */RUN: /'
}
product_traces() { grep -iE 'tarn|netvane|nvmgr|nvsvc|railgate' "$1" || true; }

# Never let a COM port reach this machine's console.
rm -f "$WINEPREFIX"/dosdevices/com*
# A leftover from an interrupted run would spoil the "before" listing.
[ -e "$inst/uninstall.exe" ] && { w "$inst/uninstall.exe" /S; wait_until 100 test ! -e "$inst/uninstall.exe"; }
listing >"$work/before.txt"

# 1. An older build, silently.
"$makensis" -V1 -DVERSION=1.3.11.0 -DBINDIR="$bindir" -DHELPFILE="$help" -DOUTFILE="$work/OldSetup.exe" "$nsi" \
  >"$work/makensis.txt" 2>&1 || { cat "$work/makensis.txt"; exit 1; }
w "$work/OldSetup.exe" /S || fail "the older installer ended with $?"
for f in Netvane.exe Corekit.dll NvIdle.dll NvSVC.exe Updagent.exe continue.exe NvUninst.dll NvRes.dll \
         LDNvChng.EXE NetvaneENG.ini NetvaneKOR.ini uninstall.exe ${help:+Netvane_Help.chm}; do
  [ -f "$inst/$f" ] || fail "$f is not in Program Files"
done
[ "$(value "$key" InstalledPath)" = 'C:\Program Files\Tarn\Netvane' ] || fail "InstalledPath is '$(value "$key" InstalledPath)'"
[ "$(value "$key\AdOpt" dwOpt)" = 0xb ] || fail "default dwOpt is '$(value "$key\AdOpt" dwOpt)'"
[ "$(value "$arp_key" DisplayVersion)" = 1.3.11.0 ] || fail "the older version is not registered"
w sc query NvMGR | grep -q RUNNING || fail "NvMGR is not running after the install"
[ -f "$menu/Netvane.lnk" ] || fail "no Start menu shortcut"

# 2. The Run entry's command starts the tray program (settings for a start without dialogs or
#    switch box: one network, no control path, the log on).
command=$(value "$run_key" "$run_value")
[ "$command" = '"C:\Program Files\Tarn\Netvane\Netvane.exe"' ] || fail "Run entry is '$command'"
w reg add "$key\AdOpt" /v dwOpt /t REG_DWORD /d 4 /f >/dev/null
w reg add "$key\AdOpt" /v dwComport /t REG_DWORD /d 5 /f >/dev/null
w reg add "$key\IPCfg" /v dwIPnum /t REG_DWORD /d 1 /f >/dev/null
w reg add "$key\IPCfg\info0" /v szNetDev /d 'Test adapter' /f >/dev/null
w reg add "$key\IPCfg\info1" /v szNetDev /d 'Test adapter' /f >/dev/null
w reg add "$key" /v dwPktCnt /t REG_DWORD /d 7 /f >/dev/null
(eval "NV_NO_MESSAGEBOX=1 wine64 $command" </dev/null >/dev/null 2>&1 &)
started() { grep -qs START "$inst"/Log/*.log; }
wait_until 300 started || fail "Netvane.exe started from the Run entry wrote no START"

# 3. This build over the older one, with the update signing key: the tray program is asked to
#    close, settings stay, the key lands where the update client reads it.  A key that is not
#    one is refused before anything changes.
update_key=41d8a9dee237c543cccb8005eb2016afbe68197a7d573403188a2a7efdc314a6f675670c79e66057dcf3a03acf847a07d4b67fdbe1ad21634015d80aee42b6b8
w "$setup" /S /UPDATEKEY=41d8a9dee237c543-not-hex
[ $? -eq 2 ] || fail "a malformed /UPDATEKEY= was not refused with exit code 2"
[ "$(value "$arp_key" DisplayVersion)" = 1.3.11.0 ] || fail "a refused /UPDATEKEY= still installed"
w "$setup" /S /UPDATEKEY=$update_key || fail "the installer ended with $?"
[ "$(value "$key\Update" szUpdateKey)" = "$update_key" ] || fail "szUpdateKey is '$(value "$key\Update" szUpdateKey)'"
[ "$(value "$arp_key" DisplayVersion)" != 1.3.11.0 ] || fail "the upgrade did not register its version"
[ "$(value "$key\AdOpt" dwOpt)" = 0x4 ] || fail "the upgrade changed dwOpt to '$(value "$key\AdOpt" dwOpt)'"
[ "$(value "$key" dwPktCnt)" = 0x7 ] || fail "the upgrade changed dwPktCnt to '$(value "$key" dwPktCnt)'"
[ "$(value "$key\IPCfg\info0" szNetDev)" = 'Test adapter' ] || fail "the upgrade lost the network record"
grep -qs SHUTDOWN "$inst"/Log/*.log || fail "the running tray program was not closed before the upgrade"
w sc query NvMGR | grep -q RUNNING || fail "NvMGR is not running after the upgrade"

# 4. Silent uninstall after an update ran: what the update path leaves (the finisher's copy, a
#    hand-over list, a temporary of a broken copy, the staging folder with its files, the audit
#    trail) goes too.  Traced: the uninstaller runs from a copy of itself, so wait for its end.
cp "$inst/continue.exe" "$inst/orgcontinue.exe"
printf 'a.dll|C:\\x\\a.dll||%064d\r\n' 0 >"$inst/VerSion.txt"
printf 'half' >"$inst/~nvcopy-12-1.tmp"
mkdir -p "$inst/UpdateTemp" "$inst/Log" && printf 'staged' >"$inst/UpdateTemp/a.dll"
printf '{"event":"update"}\r\n' >>"$inst/Log/audit.jsonl"
trace="$work/uninstall-trace.txt"
NV_TRACE=1 NV_TRACE_FILE="Z:$(echo "$trace" | tr / '\\')" w "$inst/uninstall.exe" /S
gone() { ! has_key "$arp_key"; }
wait_until 300 gone || fail "the uninstaller did not finish"
first=$(grep -n 'UninstInitialize Entry' "$trace" | head -1 | cut -d: -f1)
second=$(grep -n 'UninstUnInitialize Entry' "$trace" | head -1 | cut -d: -f1)
[ -n "$first" ] && [ -n "$second" ] && [ "$first" -lt "$second" ] ||
  fail "NvUninst's phases did not run in order (trace: $(tr '\n' '|' <"$trace"))"
grep -qi 'NvSVC.exe" ran' "$trace" || fail "UninstInitialize did not run NvSVC.exe from the installation"
grep -q 'MessageBox(Uninstallation Complete' "$trace" || fail "the second phase did not reach its question"
! w sc query NvMGR | grep -q NvMGR || fail "NvMGR is still installed"
has_key "$key" && fail "the product key is still there"
[ -n "$(value "$run_key" "$run_value")" ] && fail "the Run entry is still there"
[ -e "$inst" ] && fail "the installation folder is still there: $(ls "$inst")"
[ -e "$menu" ] && fail "the Start menu folder is still there"

listing >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" >"$work/listing-diff.txt"
left=$(grep '^>' "$work/listing-diff.txt" | product_traces /dev/stdin)
[ -z "$left" ] || fail "the product left traces in the prefix: $left"
echo "prefix before/after (other changes are Wine's own):"; cat "$work/listing-diff.txt"

[ "$failures" -eq 0 ] && echo "installer_e2e: all checks passed" || echo "installer_e2e: $failures failures"
[ "$failures" -eq 0 ]
