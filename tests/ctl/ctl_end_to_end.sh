#!/bin/sh
# tavimorctl as built, on the program folder the build lays out, over a fresh registry file.
set -u
ctl="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
export TAVIMOR_TARGET="file:$work/registry.reg"
unset TAVIMOR_PASSWORD

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

out=$("$ctl" list) || fail "list exited $?"
echo "$out" | grep -q '^4  Start Menu *8 entries$' || fail "list printed: $out"

out=$("$ctl" set NoRun disable) || fail "set exited $?"
echo "$out" | grep -qx 'Start Menu/Run Dialog: Disabled (NoRun = 1)' || fail "set printed: $out"

out=$("$ctl" show NoRun) || fail "show exited $?"
echo "$out" | grep -qx 'Current Machine Settings: Disabled (1)' || fail "show printed: $out"

grep -q '^"NoRun"=dword:00000001' "$work/registry.reg" || fail "registry file lacks NoRun"

# Output that goes nowhere is a failure, and the reason is told.
if "$ctl" list >/dev/full 2>"$work/err"; then fail "list into a full disk exited 0"; fi
grep -q 'output could not be written: No space left on device' "$work/err" || fail "full disk: $(cat "$work/err")"
if "$ctl" list >&- 2>"$work/err"; then fail "list with its output closed exited 0"; fi
grep -q 'standard output is closed' "$work/err" || fail "closed output: $(cat "$work/err")"

# A FIFO is refused at once rather than waited on.
mkfifo "$work/fifo.rds"
timeout 20 "$ctl" export-xml "$work/fifo.rds" 2>"$work/err"
status=$?
[ "$status" = 1 ] || fail "export-xml of a FIFO exited $status"
grep -q 'fifo.rds: it is a FIFO, not a regular file' "$work/err" || fail "FIFO: $(cat "$work/err")"
echo "ok"
