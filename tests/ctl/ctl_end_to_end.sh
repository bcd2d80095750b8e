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
echo "ok"
