#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The window as a new user meets it from the desktop menu, on a virtual screen: the build installed
# in a throwaway prefix, started by the command of its menu entry with no TAVIMOR_* variable and a
# fresh home, then through the registry chooser (File > Open Registry) it opens a fresh Wine prefix,
# an offline Windows disk (copies of the test hive) and the GPO of a throwaway Samba domain whose
# central store holds Samba's own templates. Each caption must name the registry; one PNG per step
# lands in OUT, and gpo-open.png is the window on the GPO with the domain's templates in the tree.
# Usage (as root, no other Samba running): scripts/window-walk.sh [BUILD_DIR [OUT]]
# Needs Samba (the domain tests' packages), wine, Xvfb, xdotool, ImageMagick and openbox; takes
# about three minutes, most of it wineboot and the domain's provisioning.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
out=$(mkdir -p "${2:-walk}" && cd "${2:-walk}" && pwd)
for tool in wineboot Xvfb xdotool import convert openbox; do
    command -v "$tool" >/dev/null || { echo "window-walk: $tool is missing" >&2; exit 2; }
done
# The domain holds the loopback's LDAP and SMB ports: a second one would not start.
if pgrep -x samba >/dev/null; then
    echo "window-walk: a samba runs already (a samba_* test?); try again when it has ended" >&2
    exit 2
fi
# domain.sh: provisions and starts the domain, makes the GPO "Tavimor Test", sets HOME and the XDG
# folders into its own $work, and removes all of it at exit.
. "$top/tests/samba/domain.sh"
while read -r name; do unset "$name"; done < <(env | sed -n 's/^\(TAVIMOR_[A-Z_]*\)=.*/\1/p')
export XDG_STATE_HOME="$HOME/.local/state"
mkdir -p "$HOME"

samba-tool gpo admxload -H ldap://127.0.0.1 "${admin[@]}" >"$work/admxload.log" 2>&1 ||
    fail "admxload: $(tail -3 "$work/admxload.log")"
ls "$sysvol"/tavimor.test/Policies/PolicyDefinitions/*.admx >/dev/null 2>&1 || fail "no central store"

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 || fail "install: $(tail -3 "$work/install.log")"
entry=$(ls "$work"/prefix/share/applications/*.desktop) || fail "no desktop entry installed"
# The menu entry's command, its field codes (%f) dropped: no file is handed over.
command=$(sed -n 's/^Exec=//p' "$entry" | sed 's/ %[a-zA-Z]//g')
export PATH="$work/prefix/bin:$PATH"

WINEPREFIX="$HOME/.wine" WINEDEBUG=-all wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot"
WINEPREFIX="$HOME/.wine" wineserver -w
hive="$top/tests/registry/data/minimal.hiv"
for file in Windows/System32/config/SOFTWARE Windows/System32/config/SYSTEM Users/ann/NTUSER.DAT; do
    mkdir -p "$HOME/disk/$(dirname "$file")" && cp "$hive" "$HOME/disk/$file" || fail "copy of the hive"
done
gpo="gpo:$sysvol?gpo=Tavimor Test"
# One of the domain's template policies set in the GPO beforehand, to be seen in the window; the
# command line keeps its own settings, so the window's first start stays a first start.
"$work/prefix/bin/tavimorctl" --settings-folder "$work/ctl" --target "$gpo" \
    set machine/fullarmor:POL_3CD2A970_826E_518E_B5F0_5E6725FF354D Enabled \
    CHK_5C837672_BFBB_592A_907C_E378BEEDA2E4=true >"$work/ctl.log" 2>&1 || fail "tavimorctl set: $(cat "$work/ctl.log")"
targets=("wine:~/.wine" "windows:~/disk?user=ann" "$gpo")

# The first start: no password change, then the login with the empty password. Each registry:
# the chooser, its Target box, the target, Open, and Yes to the question a non-9x Windows gets.
keys=(alt+n Return)
for target in "${targets[@]}"; do
    keys+=(ctrl+shift+o alt+t ctrl+a "type:$target" Return Return)
done
# On the GPO: Computer Configuration found by typing in the tree, opened down to the domain's categories.
keys+=(type:Computer Right Down Right Down)
titles="$work/titles"

# Starts COMMAND on a virtual screen and saves a PNG of it before the first key and after each:
# shots OUT WAIT KEY... -- COMMAND. A key "type:TEXT" types TEXT.
shots() {
    local dir=$1 pause=$2 keys=() display=:$((90 + RANDOM % 800)) step=0 key
    shift 2
    while [ "$1" != -- ]; do keys+=("$1") && shift; done
    shift
    Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
    local screen=$!
    sleep 0.5
    DISPLAY=$display "$@" &
    local program=$!
    sleep "$pause"
    DISPLAY=$display import -window root "$dir/0.png"
    for key in "${keys[@]}"; do
        step=$((step + 1))
        if [[ $key == type:* ]]; then DISPLAY=$display xdotool type --delay 50 "${key#type:}"
        else DISPLAY=$display xdotool key --delay 100 "$key"; fi
        sleep "$pause"
        DISPLAY=$display import -window root "$dir/$step.png"
    done
    kill "$program" "$screen" 2>/dev/null
    wait "$program" "$screen" 2>/dev/null
    return 0
}
# Beside the program, the window manager that draws the captions and a note of every caption seen.
shots "$out" 3 "${keys[@]}" -- bash -c '
    openbox --sm-disable >/dev/null 2>&1 &
    while kill -0 $$ 2>/dev/null; do
        for w in $(xdotool search --name "^Tavimor" 2>/dev/null); do xdotool getwindowname "$w"; done
        sleep 0.5
    done >>"'"$titles"'" 2>/dev/null &
    sleep 1
    exec '"$command" >"$work/window.log" 2>&1 || fail "the virtual screen: $(tail -3 "$work/window.log")"
last=$(ls "$out" | grep -c '^[0-9]*\.png$')
convert "$out/$((last - 1)).png" -trim +repage -colors 64 "PNG8:$out/gpo-open.png"

status=0
for target in "${targets[@]}"; do
    caption="Tavimor 4.0 - $target"
    if grep -qxF "$caption" "$titles"; then echo "seen: $caption"; else echo "NOT seen: $caption"; status=1; fi
done
echo "screenshots: $out (0.png to $((last - 1)).png, gpo-open.png)"
exit $status
