#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# tavimorctl as built, on the program folder the build lays out: what a script sees of it
# (exit status, standard output and error, files left untouched).
set -u
ctl="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
unset TAVIMOR_TARGET TAVIMOR_PASSWORD
registry="$work/data/tavimor/registry.reg"
cd "$work" || exit 1

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# run STATUS COMMAND...: runs tavimorctl, keeps its output in out/err, checks the exit status.
run() {
    want=$1
    shift
    "$ctl" "$@" >"$work/out" 2>"$work/err"
    got=$?
    [ "$got" = "$want" ] || fail "tavimorctl $* exited $got, not $want: $(cat "$work/err")"
}

# The per-user registry is made on first use, even by a command that only reads.
run 0 list
grep -q '^4  Start Menu *8 entries$' out || fail "list printed: $(cat out)"
[ -f "$registry" ] || fail "no registry file after the first command"
run 0 save office.rds

# On a fresh registry diff lists the 55 values apply writes, and apply prints exactly those.
run 1 diff office.rds
[ "$(grep -c ': absent -> 0' out)" = 55 ] || fail "diff printed: $(cat out)"
cp out planned
run 0 apply office.rds
cmp -s out planned || fail "apply printed other lines than diff: $(diff planned out)"
run 0 diff office.rds
[ "$(cat out)" = "Nothing to do." ] || fail "diff after apply printed: $(cat out)"

run 0 set NoRun Disabled
grep -qx 'Start Menu/Run Dialog: Disabled (NoRun = 1)' out || fail "set printed: $(cat out)"
grep -q '^"NoRun"=dword:00000001' "$registry" || fail "registry file lacks NoRun"
run 0 unset NoRun
grep -q '"NoRun"' "$registry" && fail "unset left NoRun in the registry file"
run 0 set NoRun 1

# A registry that cannot be written: apply names each value it could not write and why, prints no
# line for it, exits 1, and the file stays as it was byte for byte.
cp "$registry" before.reg
chmod 1777 "$(dirname "$registry")"
chmod 444 "$registry"
as_other=""
if [ "$(id -u)" = 0 ]; then
    # root writes read-only files; run as nobody, for whom the file is read-only.
    chmod -R a+rX "$work"
    as_other="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
$as_other "$ctl" apply office.rds >out 2>err
[ $? = 1 ] || fail "apply on a read-only registry did not exit 1: $(cat err)"
[ -s out ] && fail "apply printed lines it did not write: $(cat out)"
grep -q '^tavimorctl: not applied: Start Menu/Run Dialog: .*NoRun could not be written: ' err || fail "apply said: $(cat err)"
cmp -s "$registry" before.reg || fail "the read-only registry file changed"
chmod 644 "$registry"

# Trouble is not "something to do": diff exits 2 for a file it cannot read.
run 2 diff missing.rds
grep -q 'missing.rds does not exist' err || fail "diff said: $(cat err)"
run 2 --json diff missing.rds
python3 -c 'import json,sys; e=json.load(open("err")); sys.exit(e["format"]!=1 or e["status"]!=2)' ||
    fail "the JSON error was: $(cat err)"

# Words are no drive letters, and refusing one changes nothing.
cp "$registry" before.reg
run 2 drives off
run 2 drives clear
cmp -s "$registry" before.reg || fail "a refused drives command changed the registry"
run 0 drives all
[ "$(head -1 out)" = "Hidden drives: A: B: C: D: E: F: G: H: I: J: K: L: M: N: O: P: Q: R: S: T: U: V: W: X: Y: Z:" ] ||
    fail "drives all printed: $(cat out)"

# A mistyped target is an error naming it, never a clean machine.
run 1 --target "file:$work/typo/dir/x.reg" list
grep -q "$work/typo/dir/x.reg does not exist" err || fail "list on a typo said: $(cat err)"
[ -e "$work/typo" ] && fail "a reading command made the typo's folders"

# - is standard input and output.
"$ctl" save - | "$ctl" export-xml - >out || fail "save - | export-xml - failed"
grep -q '<REGISTRYSETTINGS Section="Display">' out || fail "export-xml - printed: $(head -3 out)"

# Output that goes nowhere is a failure, and the reason is told.
if "$ctl" list >/dev/full 2>"$work/err"; then fail "list into a full disk exited 0"; fi
grep -q 'output could not be written: No space left on device' "$work/err" || fail "full disk: $(cat "$work/err")"
if "$ctl" list >&- 2>"$work/err"; then fail "list with its output closed exited 0"; fi
grep -q 'standard output is closed' "$work/err" || fail "closed output: $(cat "$work/err")"
for command in save export-reg report; do
    if "$ctl" "$command" - >/dev/full 2>"$work/err"; then fail "$command - into a full disk exited 0"; fi
    grep -q 'cannot write to standard output: No space left on device' "$work/err" ||
        fail "$command - into a full disk: $(cat "$work/err")"
done

# A FIFO is refused at once rather than waited on.
mkfifo "$work/fifo.rds"
timeout 20 "$ctl" export-xml "$work/fifo.rds" 2>"$work/err"
status=$?
[ "$status" = 1 ] || fail "export-xml of a FIFO exited $status"
grep -q 'fifo.rds: it is a FIFO, not a regular file' "$work/err" || fail "FIFO: $(cat "$work/err")"
echo "ok"
