#!/bin/sh
# Installs the build into a temporary folder (DESTDIR, prefix /usr) and runs
# the installed program from there: a console conversion of a sample icon,
# then its window under a virtual display (screenshot mode) with the theme
# it ships. The installed copy must find its theme and window module beside
# itself and never touch the source tree or the build folder; the build
# folder's own program must still take the source tree's theme.
#
#   installed_program_test.sh BUILD_DIR SOURCE_DIR BUILT_PROGRAM
# Status 77 (skipped) when strace or xvfb-run is missing or tracing is not
# allowed here.
set -eu
build=$(cd "$1" && pwd -P)
source=$(cd "$2" && pwd -P)
built=$(cd "$(dirname "$3")" && pwd -P)/$(basename "$3")

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

work=$(mktemp -d /tmp/trovabild-install-XXXXXX)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
case "$work/" in "$source"/* | "$build"/*) fail "the temporary folder lies inside the tree" ;; esac

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
  fail "cmake --install: $(cat "$work/install.log")"
root=$work/root
program=$root/usr/bin/trovabildcmd
for file in usr/bin/trovabildcmd usr/lib/trovabild/trovabild_desktop.so usr/share/trovabild/gfx/handdrawn.zip \
  usr/share/trovabild/manual/index.html usr/share/man/man1/trovabildcmd.1.gz \
  usr/share/bash-completion/completions/trovabildcmd usr/share/applications/trovabild.desktop \
  usr/share/icons/hicolor/48x48/apps/trovabild.png usr/share/doc/trovabild/copyright \
  usr/share/doc/trovabild/changelog.gz usr/share/doc/trovabild/manual/index.html; do
  [ -e "$root/$file" ] || fail "not installed: $file"
done
[ ! -e "$root/usr/bin/trovabild-source-tree" ] || fail "the build folder's marker was installed"

# Every run gets its own lock folder, temporary folder and home.
mkdir -p "$work/runtime" "$work/tmp" "$work/home" "$work/in" "$work/out" "$work/shots" "$work/shots-build"
export XDG_RUNTIME_DIR="$work/runtime" TMPDIR="$work/tmp" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
unset DISPLAY WAYLAND_DISPLAY || true
cd "$work"

# The console face on a sample icon.
cp "$source/samples/heart.ico" in/
"$program" -q -i in/heart.ico -o out || fail "the installed program did not convert the sample icon"
ls out/heart*.jpg >/dev/null 2>&1 || fail "no JPEG written: $(ls out)"
[ "$("$program" -v)" = "2.9" ] || fail "version"

command -v xvfb-run >/dev/null || { echo "xvfb-run is missing"; exit 77; }
command -v strace >/dev/null || { echo "strace is missing"; exit 77; }
strace -f -o /dev/null true 2>/dev/null || { echo "tracing is not allowed here"; exit 77; }

# Opened successfully: the call returned a descriptor.
opened() { grep -E "\"$2\"[^=]*= [0-9]" "$1" >/dev/null; }

# The window of the installed program, traced.
xvfb-run -a -s "-screen 0 1280x1024x24" strace -f -qq -e trace=%file -o "$work/trace" "$program" -T "$work/shots" ||
  fail "screenshot mode of the installed program"
[ -s shots/trovabild1.jpg ] && [ -s shots/trovabild1x.jpg ] || fail "the window was not captured: $(ls shots)"
opened trace "$root/usr/bin/../share/trovabild/gfx/handdrawn.zip" || fail "the installed theme was not read"
opened trace "$root/usr/bin/../lib/trovabild/trovabild_desktop.so" || fail "the installed window module was not loaded"
if grep -F -e "$source/" -e "$build/" trace >"$work/strays"; then
  fail "the installed program looked into the tree: $(head -5 "$work/strays")"
fi

# The build folder's program still takes its source tree's theme.
xvfb-run -a -s "-screen 0 1280x1024x24" strace -f -qq -e trace=%file -o "$work/trace-build" "$built" -T "$work/shots-build" ||
  fail "screenshot mode of the built program"
[ -s shots-build/trovabild1.jpg ] || fail "the built program's window was not captured"
opened trace-build "$source/gfx/handdrawn.zip" || fail "the built program did not read the source tree's theme"
echo "ok"
