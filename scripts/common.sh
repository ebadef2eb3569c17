# Shared by the project's scripts: packages, the build and the Wine prefix.
# Source it; it defines functions and changes nothing by itself.

PELTORINE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# PELTORINE_BUILD may name another build folder, so that several builds can run side by side.
PELTORINE_BUILD="${PELTORINE_BUILD:-$PELTORINE_ROOT/build/mingw}"
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

PELTORINE_PACKAGES=(
    cmake make
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev mingw-w64-tools
    wine64 libwine libwine-dev
    gstreamer1.0-libav gstreamer1.0-plugins-good gstreamer1.0-plugins-base
    xvfb xauth googletest ffmpeg imagemagick x11-apps python3-pil fonts-urw-base35 mesa-vulkan-drivers
    wixl msitools zip
)

say() { printf '[peltorine] %s\n' "$*" >&2; }
die() { printf '[peltorine] error: %s\n' "$*" >&2; exit 1; }

ensure_packages() {
    local missing=()
    for package in "${PELTORINE_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "installing missing Debian packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq || die "apt-get update failed; check the package sources"
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null \
        || die "could not install: ${missing[*]} (see apt-get's message above)"
}

build_project() {
    say "configuring and building (mingw-w64 cross compiler) in $PELTORINE_BUILD"
    cmake --preset mingw -S "$PELTORINE_ROOT" -B "$PELTORINE_BUILD" >/dev/null || die "cmake configure failed"
    cmake --build "$PELTORINE_BUILD" -j "$(nproc)" || die "build failed"
}

# Makes (once) the build folder's Wine prefix: one virtual desktop for every process,
# so that the notification area exists, and no Mono or Gecko installers. Its settings are
# brought up to date whenever they change (the version in the ready-marker).
PELTORINE_PREFIX_VERSION=3
ensure_wine_prefix() {
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    local marker="$WINEPREFIX/.peltorine-ready"
    if [ ! -f "$marker" ]; then
        say "creating the Wine prefix $WINEPREFIX (once per build folder)"
        mkdir -p "$WINEPREFIX"
        "$WINE64" wineboot -i >/dev/null 2>&1 || die "wineboot failed to create $WINEPREFIX"
        # The first boot's services end and its registry is written before anything changes it.
        "$WINESERVER" -w
    fi
    if [ "$(cat "$marker" 2>/dev/null)" != "$PELTORINE_PREFIX_VERSION" ]; then
        prefix_setting 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
        prefix_setting 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1920x1080
        # A program that crashes ends at once with its failure: no debugger attaches and waits.
        prefix_setting 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 0
        "$WINE64" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
        prefix_setting 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
        # No sound card here: ALSA's "null" output takes a clip's sound, or the engine plays no frame.
        prefix_setting 'HKCU\Software\Wine\Drivers\winealsa.drv' /v ALSAOutputDevices /t REG_MULTI_SZ /d null
        # Wine's Vulkan renderer (Mesa's lavapipe). Its OpenGL renderer keeps a pointer to the last swap
        # chain it drew into after that swap chain is released, and reads it when it next unloads a
        # texture: now and then a crash in wined3d.dll whenever video windows close. Child windows
        # show Direct3D only under Vulkan too (the development desktop).
        prefix_setting 'HKCU\Software\Wine\Direct3D' /v renderer /d vulkan
        "$WINESERVER" -w
        echo "$PELTORINE_PREFIX_VERSION" >"$marker"
    fi
}

# One registry value of the prefix; a failure names the key and what reg said.
prefix_setting() {
    local output
    output="$("$WINE64" reg add "$@" /f 2>&1 </dev/null)" || die "could not set $1 ${*:2} in $WINEPREFIX: $output"
}

# Runs the rest of the calling script on a fresh Xvfb display when there is no display.
ensure_display() {
    if [ -z "${DISPLAY:-}" ]; then
        say "no display: running on Xvfb"
        exec xvfb-run -a -s "-screen 0 1920x1080x24" "$@"
    fi
}

# Starts the prefix's wineserver, its services and the virtual desktop ahead of the test
# programs, and waits until the desktop's notification area is there. Otherwise the first test
# program starts them, they inherit CTest's output pipe, and CTest waits for them for ever.
#   start_wine_session [BUILD_FOLDER]   (the folder that holds peltorine_wait_for_desktop.exe)
start_wine_session() {
    local build="${1:-$PELTORINE_BUILD}"
    "$WINESERVER" -p
    "$WINE64" wineboot >/dev/null 2>&1 </dev/null || true
    "$WINE64" explorer /desktop=Default,1920x1080 >/dev/null 2>&1 </dev/null &
    "$WINE64" "$build/peltorine_wait_for_desktop.exe" 30 </dev/null || die "the Wine desktop did not start"
    # Wine closes a virtual desktop one second after the last program on it ends, and a program
    # that starts while it closes loses its windows: this one stays on it until the session ends.
    "$WINE64" "$build/peltorine_wait_for_desktop.exe" 30 --hold </dev/null >/dev/null 2>&1 &
}

# Ends every process of the prefix and waits for its wineserver to be gone, so that nothing of
# this session is still shutting down when the next one (or a new prefix at the same place) starts.
stop_wine_session() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
}

# The project's version, as CMake wrote it into the build folder at configure time.
project_version() {
    local file="$1/peltorine-version.txt"
    [ -f "$file" ] || die "no $file: configure the build first"
    tr -d '[:space:]' <"$file"
}

# Builds the per-user Windows Installer package with wixl.
#   build_msi PROGRAM ACTIONS_DLL VERSION OUTPUT
# PROGRAM is the peltorine.exe to ship, ACTIONS_DLL the installer's custom actions
# (peltorine_setup_actions.dll), VERSION x.y.z.
build_msi() {
    local program="$1" actions="$2" version="$3" output="$4"
    local stage
    stage="$(mktemp -d)"
    # wixl finds its sources by relative name only, so everything goes into one folder first.
    cp "$program" "$stage/peltorine.exe"
    cp "$actions" "$stage/setup_actions.dll"
    cp "$PELTORINE_ROOT/LICENSE" "$stage/LICENSE.txt"
    cp "$PELTORINE_ROOT/resources/peltorine.ico" "$stage/peltorine.ico"
    (
        cd "$stage"
        wixl -a x64 -D "Version=$version" -D ProgramFile=peltorine.exe -D LicenseFile=LICENSE.txt \
            -D IconFile=peltorine.ico -D ActionsFile=setup_actions.dll \
            -o package.msi "$PELTORINE_ROOT/installer/peltorine.wxs" 2>wixl.log \
            || { cat wixl.log >&2; exit 1; }
        # wixl writes every Start-menu shortcut as an advertised one (its target is the feature);
        # point it at the program itself, as a plain shortcut.
        msibuild package.msi -q "UPDATE \`Shortcut\` SET \`Target\` = '[#PeltorineExe]', \`Description\` = 'Peltorine' WHERE \`Shortcut\` = 'StartMenuShortcut'"
        # wixl schedules MajorUpgrade's RemoveExistingProducts after the last custom action that
        # follows InstallFinalize, not after InstallValidate: the older version would be removed
        # after the newer one had been installed, taking shared registrations with it.
        msibuild package.msi -q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 1401 WHERE \`Action\` = 'RemoveExistingProducts'"
        # wixl ignores Execute="commit" and makes an immediate action: RemoveStartupShortcut is a DLL
        # action (1) run when the script has succeeded (0x200 commit, 0x400 in the script).
        msibuild package.msi -q "UPDATE \`CustomAction\` SET \`Type\` = 1537 WHERE \`Action\` = 'RemoveStartupShortcut'"
        # wixl 0.101 has no dialogs: the licence and progress dialogs of an interactive install go
        # in as tables (installer/ui), the licence text from LICENSE as RTF.
        python3 - "$PELTORINE_ROOT/LICENSE" "$PELTORINE_ROOT/installer/ui/Control.idt" Control.idt <<'PYTHON'
import sys
licence, template, output = sys.argv[1:]
paragraphs = [" ".join(p.split()) for p in open(licence, encoding="utf-8").read().split("\n\n") if p.strip()]
escape = lambda text: text.replace("\\", "\\\\").replace("{", "\\{").replace("}", "\\}")
rtf = r"{\rtf1\ansi\deff0{\fonttbl{\f0 Tahoma;}}\fs16 " + r"\par\par ".join(map(escape, paragraphs)) + "}"
open(output, "w", encoding="utf-8").write(open(template, encoding="utf-8").read().replace("@LICENSE_RTF@", rtf))
PYTHON
        for table in Dialog ControlEvent ControlCondition EventMapping CheckBox TextStyle; do
            cp "$PELTORINE_ROOT/installer/ui/$table.idt" .
        done
        for table in Dialog Control ControlEvent ControlCondition EventMapping CheckBox TextStyle; do
            msibuild package.msi -i "$table.idt"
        done
        msibuild package.msi \
            -q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('DefaultUIFont', 'PeltorineFont')" \
            -q "INSERT INTO \`InstallUISequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('LicenseDlg', 'NOT Installed', 1250)" \
            -q "INSERT INTO \`InstallUISequence\` (\`Action\`, \`Sequence\`) VALUES ('ProgressDlg', 1280)"
    ) || { rm -rf "$stage"; die "wixl could not build the installer"; }
    mv "$stage/package.msi" "$output"
    rm -rf "$stage"
}
