# Shared by the end-to-end tests and the run command (sourced): X display, Wine prefix, probe, checks.
# shellcheck shell=bash
# The E2E_ variables are read by the scripts that source this file.
# shellcheck disable=SC2034

E2E_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_CACHE=${THERMAL_CACHE:-/var/cache/thermal-setup}
# A kernel without 32-bit programs runs neither Wine's 32-bit loader nor a 32-bit Windows. There
# (E2E_WINE64_ONLY=1) `wine` is the 64-bit loader, every prefix a 64-bit Windows, and the x86_64
# build the program under test: the i686 product's place is taken by its 64-bit twin.
E2E_WINE64_ONLY=${E2E_WINE64_ONLY:-0}
if ((E2E_WINE64_ONLY)); then
    E2E_BUILD=${E2E_BUILD:-$E2E_REPO/build/win64}
    E2E_DRIVER_ENV="Windows x64" # the environment the installer adds its drivers for
    # Debian's `wine` script takes the 32-bit loader whenever it is installed; winepath and
    # wineboot go through `wine-stable`.
    mkdir -p "$E2E_CACHE/wine64-bin"
    for _e2e_loader in wine wine-stable; do
        # Renamed into place: another run may be starting it this moment.
        printf '#!/bin/sh\nWINELOADER=/usr/lib/wine/wine64 exec /usr/lib/wine/wine64 "$@"\n' \
            >"$E2E_CACHE/wine64-bin/.$_e2e_loader.$$"
        chmod +x "$E2E_CACHE/wine64-bin/.$_e2e_loader.$$"
        mv -f "$E2E_CACHE/wine64-bin/.$_e2e_loader.$$" "$E2E_CACHE/wine64-bin/$_e2e_loader"
    done
    [[ ":$PATH:" == *":$E2E_CACHE/wine64-bin:"* ]] || export PATH=$E2E_CACHE/wine64-bin:$PATH
else
    E2E_BUILD=${E2E_BUILD:-$E2E_REPO/build/win32}
    E2E_DRIVER_ENV="Windows NT x86"
fi
E2E_PROBE=${E2E_PROBE:-$E2E_BUILD/tests/e2e/probe/uiprobe.exe}
E2E_ARTIFACTS=${E2E_ARTIFACTS:-$E2E_REPO/build/artifacts}
# Per-run prefix copies are 1.3 GB: keep them out of /tmp, which may be a small tmpfs.
E2E_SCRATCH=${E2E_SCRATCH:-/var/tmp}
E2E_SERVER_TIMEOUT=${E2E_SERVER_TIMEOUT:-60}

e2e_passed=0
e2e_failed=0
_e2e_cleanups=()

pass() {
    e2e_passed=$((e2e_passed + 1))
    echo "PASS: $*"
}
fail() {
    e2e_failed=$((e2e_failed + 1))
    echo "FAIL: $*"
}
note() { echo "NOTE: $*"; }

# check <description> <command...>: one passed or failed check from a command's status.
check() {
    local what=$1
    shift
    if "$@"; then
        pass "$what"
    else
        fail "$what"
    fi
}

# Folds the PASS:/FAIL: lines of a helper's output into the counts, echoing them.
e2e_count() {
    local line
    while IFS= read -r line; do
        case "$line" in
        PASS:*) e2e_passed=$((e2e_passed + 1)) ;;
        FAIL:*) e2e_failed=$((e2e_failed + 1)) ;;
        esac
        printf '%s\n' "$line"
    done
}

e2e_summary() {
    echo "$e2e_passed passed, $e2e_failed failed"
    ((e2e_failed == 0))
}

# e2e_give_up <what>: one failure for a missing precondition, the summary, and the end.
e2e_give_up() {
    fail "$1"
    e2e_summary
    exit 1
}

# e2e_expect_end <pid> <seconds> <what> [screenshot]: one check that the program (a child of
# this shell) ended by itself within <seconds> after <what>; if not, a screenshot and a kill.
e2e_expect_end() {
    local pid=$1 seconds=$2 what=$3 shot=${4:-} i rc
    for ((i = 0; i < seconds * 10; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        fail "program still running $seconds s after $what"
        [[ -z $shot ]] || e2e_screenshot "$shot"
        kill "$pid" 2>/dev/null
        return
    fi
    wait "$pid"
    rc=$?
    check "program ended by itself after $what (exit status $rc)" test "$rc" -lt 124
}

# Clean-ups run in reverse order of registration, once, whatever ends the script.
e2e_on_exit() { _e2e_cleanups+=("$1"); }
_e2e_run_cleanups() {
    local i
    for ((i = ${#_e2e_cleanups[@]} - 1; i >= 0; i--)); do
        eval "${_e2e_cleanups[i]}" || true
    done
    _e2e_cleanups=()
}
trap _e2e_run_cleanups EXIT
trap 'exit 130' INT TERM

_e2e_display_usable() {
    [[ -n "${DISPLAY:-}" ]] && timeout 10 xdotool getdisplaygeometry >/dev/null 2>&1
}

# e2e_start_display [--prefer-current]: an X server for Wine. With --prefer-current a usable
# DISPLAY is kept (the user watches); otherwise a private Xvfb on a free display number.
e2e_start_display() {
    if [[ "${1:-}" == --prefer-current ]] && _e2e_display_usable; then
        E2E_XVFB=0
        return 0
    fi
    local numfile
    numfile=$(mktemp "${TMPDIR:-/tmp}/e2e-display.XXXXXX")
    # -displayfd lets the server pick a free number itself: no race with other test runs.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
    E2E_XVFB_PID=$!
    e2e_on_exit "kill $E2E_XVFB_PID 2>/dev/null; wait $E2E_XVFB_PID 2>/dev/null"
    local i
    for ((i = 0; i < 100; i++)); do
        [[ -s "$numfile" ]] && break
        kill -0 "$E2E_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    local num
    num=$(tr -dc 0-9 <"$numfile")
    rm -f "$numfile"
    if [[ -z "$num" ]]; then
        echo "error: Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=:$num
    E2E_XVFB=1
}

# e2e_id IDC_NAME: a control id as res/resource.h defines it.
e2e_id() { awk -v n="$1" '$1 == "#define" && $2 == n { print $3 }' "$E2E_REPO/res/resource.h"; }

e2e_wine_version() { wine --version 2>/dev/null | tr -cs 'A-Za-z0-9.' '-' | sed 's/^-//; s/-$//'; }

# Runs one Wine command on a prefix, bounded in time.
_e2e_wine_in() {
    local prefix=$1 limit=$2
    shift 2
    WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        timeout -k 5 "$limit" wine "$@"
}

_e2e_server_in() {
    local prefix=$1
    shift
    WINEPREFIX=$prefix timeout -k 5 "$E2E_SERVER_TIMEOUT" wineserver "$@"
}

# e2e_template_prefix [win64|win32]: the prepared prefix, made once per Wine version and word
# size and kept outside the checkout. win64 (the default) is a 64-bit Windows; win32 a 32-bit one.
e2e_template_prefix() {
    local arch=${1:-win64} template
    ((E2E_WINE64_ONLY)) && arch=win64
    template=$E2E_CACHE/wineprefix-$(e2e_wine_version)
    [[ $arch == win64 ]] || template+=-$arch
    # Prepared without WOW64's 32-bit half: not the prefix a full Wine makes.
    ((E2E_WINE64_ONLY)) && template+=-64only
    if [[ -f "$template/.complete" ]]; then
        E2E_TEMPLATE=$template
        return 0
    fi
    mkdir -p "$E2E_CACHE"
    (
        # Two runs starting together must not both build it.
        flock -w 600 9 || exit 1
        [[ -f "$template/.complete" ]] && exit 0
        local partial=$template.partial
        rm -rf "$partial"
        echo "preparing Wine prefix $template (once, about 20 s)" >&2
        # Mono and Gecko stay off: their installers would ask on screen.
        WINEARCH=$arch _e2e_wine_in "$partial" 300 wineboot -i >/dev/null 2>&1 || exit 1
        # Arial Narrow is not installed; the regular-width substitute makes the dialog a third wider.
        _e2e_wine_in "$partial" 120 reg add 'HKCU\Software\Wine\Fonts\Replacements' \
            /v "Arial Narrow" /t REG_SZ /d "Liberation Sans Narrow" /f >/dev/null 2>&1 || exit 1
        # A default virtual desktop gives windows a frame without a window manager.
        _e2e_wine_in "$partial" 120 reg add 'HKCU\Software\Wine\Explorer' \
            /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1 || exit 1
        _e2e_wine_in "$partial" 120 reg add 'HKCU\Software\Wine\Explorer\Desktops' \
            /v Default /t REG_SZ /d 1024x768 /f >/dev/null 2>&1 || exit 1
        _e2e_server_in "$partial" -w || exit 1
        touch "$partial/.complete"
        mv "$partial" "$template"
    ) 9>"$E2E_CACHE/wineprefix.lock" || {
        echo "error: could not prepare the Wine prefix" >&2
        return 1
    }
    E2E_TEMPLATE=$template
}

# e2e_prefix [win64|win32]: a private copy of the prepared prefix for this run; removed at exit.
e2e_prefix() {
    e2e_template_prefix "$@" || return 1
    E2E_WORK=$(mktemp -d "$E2E_SCRATCH/thermal-e2e.XXXXXX")
    e2e_on_exit "rm -rf '$E2E_WORK'"
    # A copy, never hard links: wineserver rewrites the registry files in place.
    cp -a "$E2E_TEMPLATE" "$E2E_WORK/prefix" || return 1
    export WINEPREFIX=$E2E_WORK/prefix
    E2E_DRIVE_C=$WINEPREFIX/drive_c
    e2e_on_exit "_e2e_server_in '$WINEPREFIX' -k 2>/dev/null; _e2e_server_in '$WINEPREFIX' -w"
    # A persistent server makes every later probe call start in a fraction of a second.
    _e2e_server_in "$WINEPREFIX" -p </dev/null >/dev/null 2>&1
    # The first program starts the prefix's services, which stay and keep its output open:
    # with a pipe there, a later $(...) around a Wine call would never see its end.
    e2e_wine 120 cmd.exe /c exit </dev/null >/dev/null 2>&1
}

# e2e_wine <seconds> <program> [args]: a program on this run's prefix.
e2e_wine() {
    local limit=$1
    shift
    _e2e_wine_in "$WINEPREFIX" "$limit" "$@"
}

# e2e_probe <command> <args...>: the dialog probe, at most a minute per call.
e2e_probe() {
    e2e_wine 60 "$E2E_PROBE" "$@"
}

# Processes of this run's prefix whose command line names the given program.
e2e_prefix_processes() {
    local name=$1 pid
    for pid in $(pgrep -f -- "$name" 2>/dev/null); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            echo "$pid"
        fi
    done
}

# e2e_stage_run_dir <dir>: the program with the package and archiver DLL beside it when built.
e2e_stage_run_dir() {
    local dir=$1
    mkdir -p "$dir"
    cp "$E2E_BUILD/DriverInstaller.exe" "$dir/"
    E2E_HAVE_PACKAGE=0
    E2E_HAVE_DLL=0
    local pkg=$E2E_REPO/build/package/DriverData.Drv dll
    if [[ -f "$pkg" ]]; then
        cp "$pkg" "$dir/"
        E2E_HAVE_PACKAGE=1
    fi
    dll=$(find "$E2E_BUILD/tools/sevenzip" -name 7-zip32.dll -print -quit 2>/dev/null)
    if [[ -n "$dll" ]]; then
        cp "$dll" "$dir/"
        E2E_HAVE_DLL=1
    fi
}

e2e_screenshot() {
    local name=$1
    mkdir -p "$E2E_ARTIFACTS"
    if timeout 30 import -window root "$E2E_ARTIFACTS/$name.png" 2>/dev/null; then
        echo "screenshot: $E2E_ARTIFACTS/$name.png"
    else
        note "screenshot $name failed"
    fi
}

# e2e_caption IDD_NAME: a dialog's caption as res/Dialogs.inc defines it.
e2e_caption() {
    python3 "$E2E_REPO/tests/e2e/dialog_template.py" --inc "$E2E_REPO/res/Dialogs.inc" \
        --ids "$E2E_REPO/res/resource.h" --dialog "$1" --caption
}

# e2e_field <file> <kind> <n> [<name>]: field n of a tool's tab-separated lines of one kind (and
# with that name in field 2).
e2e_field() {
    awk -F'\t' -v kind="$2" -v n="$3" -v key="${4-}" \
        '$1 == kind && (key == "" || $2 == key) { print $n }' "$1"
}

# e2e_installer_setup <win32|win64> [<tool.exe>...]: for a run of the installer itself: the
# tools checked, an X display, a prefix, E2E_RUN staged with the program, its package and the
# archiver DLL, and the HKCU key Windows always has for the default printer (a fresh Wine prefix
# lacks it, and the installer only opens it). Gives up on anything missing.
e2e_installer_setup() {
    local arch=$1 need
    shift
    for need in "$E2E_BUILD/DriverInstaller.exe" "$E2E_PROBE" "$@"; do
        [[ -f "$need" ]] ||
            e2e_give_up "$need is missing (cmake --preset win32 && cmake --build --preset win32)"
    done
    e2e_start_display "" || e2e_give_up "no X display"
    e2e_prefix "$arch" || e2e_give_up "no Wine prefix"
    E2E_RUN=$E2E_WORK/run
    e2e_stage_run_dir "$E2E_RUN"
    ((E2E_HAVE_PACKAGE && E2E_HAVE_DLL)) ||
        e2e_give_up "DriverData.Drv and 7-zip32.dll are needed (build-package.sh, win32 build)"
    e2e_wine 60 reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows' /f \
        </dev/null >/dev/null 2>&1 || e2e_give_up "could not create the Windows key of HKCU"
}
