#!/usr/bin/env bash
# The installer under Wine, as a deployment tool runs it:
#   silent install -> files, InstalledPath, defaults, Run entry, NvMGR running, Netvane.exe starts
#   from the Run entry's command; an older build first and this one over it keeps changed settings;
#   "/UPDATEKEY=<hex>" leaves the key where the update client reads it;
#   a verified update as a user runs it (the tray program's Update command, Start in the dialog)
#   against a real FTP server with a list signed by the administrators' tool: the finisher
#   replaces installed files, restarts the tray program, the sequence and the audit line are kept;
#   silent uninstall after that update -> NvUninst's two phases in order, and none of the
#   product's files, folders, keys, service or shortcuts left (the prefix's listings before and
#   after are compared).
# installer_e2e.sh <NetvaneSetup.exe> <makensis> <netvane.nsi> <bin dir> <work dir> <tray_update.exe> [<help file>]
# Needs openssl and python3-pyftpdlib (scripts/install-deps.sh): without them it fails.
set -u
setup=$1 makensis=$2 nsi=$3 bindir=$4 work=$5 tray_update=$6 help=${7:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
sign=$here/../../tools/update-signing/nv-update-sign.sh
ftp_server=$here/../../updater/client/tests/e2e/ftp_server.py
export PATH=/usr/lib/wine:$PATH
: "${WINEPREFIX:?run under the wine fixture}"
command -v openssl >/dev/null || { echo "FAIL: openssl is missing (scripts/install-deps.sh)"; exit 1; }
/usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null ||
  { echo "FAIL: python3-pyftpdlib is missing (scripts/install-deps.sh)"; exit 1; }
rm -rf "$work" && mkdir -p "$work"
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null' EXIT
inst="$WINEPREFIX/drive_c/Program Files/Tarn/Netvane"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Netvane"
key='HKLM\SOFTWARE\Tarn\Netvane-H'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
run_value='Netvane (Only Railgate)'
runonce_key='HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce'
arp_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Netvane'
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
w() { wine64 "$@" </dev/null 2>/dev/null; }
winpath() { echo "Z:$1" | tr / '\\'; }
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
  w reg export 'HKLM\SOFTWARE' "$(winpath "$export")" /y >/dev/null
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

# 3. This build over the older one, with the update signing key made here: the tray program is
#    asked to close, settings stay, the key lands where the update client reads it.  A key that is
#    not one is refused before anything changes.
update_key=$("$sign" keygen "$work/key.pem" | tail -1)
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

# 4. A verified update, as a user runs it: the tray program (started from the Run entry, pointed at
#    this test's server) gets the Update command, the dialog's Start fetches a list signed at
#    sequence 7 that names the library the tray program and Updagent hold (restart: a build of it
#    without test switches, so the restarted tray program traces into the log folder as a shipped
#    one does) and a string file, each with new bytes; Updagent hands over to the finisher's copy,
#    which replaces both and starts the tray program again.
root=$work/ftp
mkdir -p "$root/Netvane-H"
/usr/bin/python3 "$ftp_server" "$root" "$work/ftp.port" "$work/ftp.log" </dev/null >"$work/ftp.out" 2>&1 &
server=$!
wait_until 100 test -s "$work/ftp.port" || { echo "FAIL: the FTP server did not start: $(cat "$work/ftp.out")"; exit 1; }
served=$root/Netvane-H
cp "$bindir/shipped/Corekit.dll" "$served/Corekit.dll" || { echo "FAIL: no shipped Corekit.dll in $bindir"; exit 1; }
! cmp -s "$served/Corekit.dll" "$inst/Corekit.dll" || fail "the shipped Corekit.dll is the installed one"
{ cat "$bindir/NetvaneKOR.ini"; printf '\r\n; updated\r\n'; } >"$served/NetvaneKOR.ini"
hash() { "$sign" hash "$1" | cut -d' ' -f1; }
printf 'Corekit.dll|ALL|ALL|INSTALLEDPATH|99.0.0|Restart||NONE|%s\r\nNetvaneKOR.ini|ALL|ALL|INSTALLEDPATH|99.0.0|||NONE|%s\r\n' \
  "$(hash "$served/Corekit.dll")" "$(hash "$served/NetvaneKOR.ini")" >"$served/VerSion.txt"
"$sign" sign "$work/key.pem" "$served/VerSion.txt" 7 >/dev/null || fail "the list could not be signed"
trace="$work/update-trace.txt"
starts() { cat "$inst"/Log/*.log 2>/dev/null | grep -c START; }
starts_before=$(starts)
(export NV_NO_MESSAGEBOX=1 NV_TRACE=1 NV_TRACE_FILE="$(winpath "$trace")" NV_UPDATE_DEFAULT_SERVER=127.0.0.1 \
   NV_UPDATE_FTP_PORT=$(cat "$work/ftp.port") && eval "wine64 $(value "$run_key" "$run_value")" </dev/null >/dev/null 2>&1 &)
started_again() { [ "$(starts)" -gt "$starts_before" ]; }
wait_until 300 started_again || fail "Netvane.exe did not start for the update"
starts_before=$(starts)
wine64 "$tray_update" 60 </dev/null 2>/dev/null | tr -d '\r' >"$work/tray-update.txt"
grep -q 'update client ended with 0$' "$work/tray-update.txt" ||
  fail "the update was not handed over: $(cat "$work/tray-update.txt"); trace: $(grep -a Updagent "$trace" | tail -5)"
grep -q 'trust line: $' "$work/tray-update.txt" || fail "the dialog did not take the update as verified"
grep -aq "the list's signature is valid" "$trace" || fail "the list's signature was not checked"
replaced() { cmp -s "$inst/Corekit.dll" "$served/Corekit.dll" && cmp -s "$inst/NetvaneKOR.ini" "$served/NetvaneKOR.ini"; }
wait_until 300 replaced || fail "the finisher did not install the new Corekit.dll and NetvaneKOR.ini"
wait_until 300 started_again || fail "the finisher did not start the tray program again"
handed_over() { [ ! -e "$inst/VerSion.txt" ]; }
wait_until 100 handed_over || fail "the hand-over list is still there"
[ -f "$inst/orgcontinue.exe" ] || fail "the finisher did not run from its copy"
[ "$(value "$key\Update" dwUpdateSequence)" = 0x7 ] ||
  fail "the stored sequence is '$(value "$key\Update" dwUpdateSequence)'"
# The audit line goes to NvMGR's event source, which Wine accepts and does not keep: the trace
# shows the line as written.
grep -aq 'audit: update from .* handed over verified (sequence 7): Corekit.dll, NetvaneKOR.ini' "$trace" ||
  fail "the audit trail has no verified update: $(grep -a 'audit' "$trace")"
wait_until 100 test -s "$inst/Log/trace-Netvane.txt" || fail "the restarted tray program wrote no trace of its own"
# Closed for the update, the tray program named its logon helper for the next start.
[ -n "$(value "$runonce_key" "$run_value")" ] || fail "the tray program left no RunOnce entry to remove"
kill "$server" 2>/dev/null
server=

# 5. Silent uninstall after the update: what the update path left goes too.  Traced: the
#    uninstaller runs from a copy of itself, so wait for its end.
trace="$work/uninstall-trace.txt"
NV_TRACE=1 NV_TRACE_FILE="$(winpath "$trace")" w "$inst/uninstall.exe" /S
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
[ -n "$(value "$runonce_key" "$run_value")" ] && fail "the RunOnce entry is still there"
w reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations |
  grep -qi 'Tarn' && fail "a replacement at the next start still names the installation"
[ -e "$inst" ] && fail "the installation folder is still there: $(ls -R "$inst")"
[ -e "$menu" ] && fail "the Start menu folder is still there"

listing >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" >"$work/listing-diff.txt"
# The downloads are not kept in the user's internet cache either, whatever their names.
added=$(grep '^>' "$work/listing-diff.txt")
left=$(echo "$added" | product_traces /dev/stdin; echo "$added" | grep -i 'INetCache')
[ -z "$left" ] || fail "the product left traces in the prefix: $left"
echo "prefix before/after (other changes are Wine's own):"; cat "$work/listing-diff.txt"

[ "$failures" -eq 0 ] && echo "installer_e2e: all checks passed" || echo "installer_e2e: $failures failures"
[ "$failures" -eq 0 ]
