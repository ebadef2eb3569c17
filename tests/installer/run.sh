#!/usr/bin/env bash
# Runs peltorine_installer_tests the way a user meets the installer: two packages of the built
# program (this version and the next patch version, so that the second is an upgrade), a third
# that fails late when the tests ask it to, a fresh Wine prefix standing for a fresh Windows
# profile, and the test program inside it.
#   run.sh TEST_PROGRAM PELTORINE_EXE SETUP_ACTIONS_DLL BUILD_FOLDER
set -euo pipefail
tests="$1" program="$2" actions="$3" build="$4"
source "$(dirname "$0")/../../scripts/common.sh"

work="$build/installer-test"
# An earlier run's prefix goes only once nothing of it runs any more.
[ ! -d "$work/prefix" ] || (WINEPREFIX="$work/prefix" stop_wine_session)
rm -rf "$work"
mkdir -p "$work"

version="$(project_version "$build")"
IFS=. read -r major minor patch <<<"$version"
newer="$major.$minor.$((patch + 1))"
# The packages carry the tested program and custom actions, stripped as a release would be.
x86_64-w64-mingw32-strip -o "$work/peltorine.exe" "$program"
x86_64-w64-mingw32-strip -o "$work/setup_actions.dll" "$actions"
build_msi "$work/peltorine.exe" "$work/setup_actions.dll" "$version" "$work/Peltorine-$version-x64.msi"
build_msi "$work/peltorine.exe" "$work/setup_actions.dll" "$newer" "$work/Peltorine-$newer-x64.msi"
# The older version once more, with one deferred action late in the script (after the Startup
# shortcut has gone) that fails an uninstall given PELTORINE_TEST_FAIL_LATE=1: an uninstall that
# fails late and rolls back. Only the tests build this package.
failing="$work/Peltorine-$version-failing-x64.msi"
build_msi "$work/peltorine.exe" "$work/setup_actions.dll" "$version" "$failing"
msibuild "$failing" \
    -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('FailLateForTest', 1058, 'LocalAppDataFolder', '[System64Folder]cmd.exe /c exit 1')" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('FailLateForTest', 'PELTORINE_TEST_FAIL_LATE', 6590)" \
    || die "could not add the failing action to $failing"

windows_path() { local path="${1//\//\\}"; printf 'Z:%s' "$path"; }
export PELTORINE_OLDER_MSI="$(windows_path "$work/Peltorine-$version-x64.msi")"
export PELTORINE_NEWER_MSI="$(windows_path "$work/Peltorine-$newer-x64.msi")"
export PELTORINE_FAILING_MSI="$(windows_path "$failing")"
export PELTORINE_OLDER_VERSION="$version" PELTORINE_NEWER_VERSION="$newer"

ensure_wine_prefix "$work/prefix"
# Wine's background processes must not hold CTest's output pipe open.
trap stop_wine_session EXIT
start_wine_session "$build" >/dev/null 2>&1 </dev/null

cd "$build"
"$WINE64" "$tests" --gtest_output=xml:test-results/peltorine_installer_tests.xml </dev/null
