#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The README's "push three restrictions" example and the .reg, report and search commands, on
# tavimorctl as built: exit codes, what goes to stdout and stderr, files left untouched.
set -u
ctl="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
unset TAVIMOR_TARGET TAVIMOR_PASSWORD
cd "$work" || exit 1

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The example as the README gives it.
t="--target file:$work/push-machine.reg"
"$ctl" $t set NoRun disable >/dev/null || fail "set NoRun"
"$ctl" $t set NoFind disable >/dev/null || fail "set NoFind"
"$ctl" $t set NoClose disable >/dev/null || fail "set NoClose"
out=$("$ctl" $t export-reg NoRun NoFind NoClose three.reg) || fail "export-reg exited $?"
[ "$out" = "Wrote three.reg (version 5, 3 values, 0 deletions)." ] || fail "export-reg printed: $out"
head -c 2 three.reg | od -An -tx1 | grep -q 'ff fe' || fail "three.reg has no UTF-16LE byte order mark"
text=$(iconv -f UTF-16LE -t UTF-8 three.reg | tr -d '\r')
[ "$(echo "$text" | grep -c '=dword:00000001$')" = 3 ] || fail "three.reg holds: $text"
echo "$text" | grep -q 'VersionNumber\|ComputerName' && fail "three.reg holds more than the policies"
"$ctl" $t export-reg --format 4 NoRun NoFind NoClose three-9x.reg >/dev/null || fail "export-reg --format 4"
head -n 1 three-9x.reg | grep -q '^REGEDIT4' || fail "three-9x.reg is not REGEDIT4"

# The file carried to another machine, through a pipe.
"$ctl" $t export-reg NoRun NoFind NoClose - | "$ctl" --target "file:$work/other.reg" import-reg - >out.txt ||
    fail "import-reg - exited $?"
grep -q '^Imported - into file:.*: 3 values written, 0 deleted\.$' out.txt || fail "import-reg printed: $(cat out.txt)"
grep -q '^"NoClose"=dword:00000001' other.reg || fail "other.reg lacks NoClose"

# A damaged file: exit 1, its line named on stderr, nothing on stdout, the registry untouched.
cp other.reg before.reg
printf 'REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n"A"=dword:1\r\n"B"=hex:zz\r\n' >bad.reg
"$ctl" --target "file:$work/other.reg" import-reg bad.reg >out.txt 2>err.txt
status=$?
[ $status = 1 ] || fail "import-reg of a damaged file exited $status"
[ -s out.txt ] && fail "import-reg of a damaged file printed: $(cat out.txt)"
grep -q 'bad.reg:4: bad hex byte "zz"; nothing was changed' err.txt || fail "stderr: $(cat err.txt)"
cmp -s before.reg other.reg || fail "the damaged file changed the registry"

# The report to a file and to stdout are the same page (but for the minute it was made).
"$ctl" $t report "Start Menu" report.html >/dev/null || fail "report exited $?"
"$ctl" $t report "Start Menu" - >stdout.html || fail "report - exited $?"
[ "$(grep -v 'Date: <b>' report.html)" = "$(grep -v 'Date: <b>' stdout.html)" ] || fail "report - differs from report FILE"
grep -q 'Run Dialog' report.html || fail "the report lacks Run Dialog"

out=$("$ctl" $t search run dialog) || fail "search exited $?"
echo "$out" | grep -q '^Start Menu/Run Dialog  *Disabled  *Disabled  *\*$' || fail "search printed: $out"
"$ctl" $t search nothing-like-this >/dev/null 2>&1 && fail "a search without matches exited 0"
[ "$("$ctl" $t list --all | wc -l)" = 58 ] || fail "list --all does not list 57 entries"
echo "ok"
