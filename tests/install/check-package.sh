#!/usr/bin/env bash
# Makes the Debian package from the build, checks its control fields and
# contents, unpacks it into a scratch root and runs the programs from there
# (the windows under Xvfb) with the bundled data found.
# usage: check-package.sh BUILD_DIR SCRATCH_DIR VERSION PROGRAM...
set -euo pipefail
build=$1 scratch=$2 version=$3
shift 3
programs=("$@")
. "$(dirname "$0")/common.sh"

# a group-writable umask must not leak into the package
umask 0002
rm -rf "$scratch"
mkdir -p "$scratch"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 ||
  fail "cpack failed: $(cat "$scratch/cpack.log")"
architecture=$(dpkg --print-architecture)
deb=$scratch/package/kestrovan_${version}_$architecture.deb
expect_file "$deb"

# control fields
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kestrovan ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$architecture" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = science ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[[ "$(field Description)" == "evolutionary robotics simulator"* ]] || fail "Description: $(field Description)"
depends=", $(field Depends),"
# from dpkg-shlibdeps: the C and C++ run-time libraries every program links
for package in libc6 libstdc++6; do
  [[ "$depends" == *", $package "* || "$depends" == *", $package,"* ]] || fail "Depends lacks $package: $depends"
done
if [[ " ${programs[*]} " == *" kestrovan "* ]]; then
  for package in libqt6widgets6 libqt6openglwidgets6 libglu1-mesa libjpeg62-turbo qt6-qpa-plugins libqt6svg6; do
    [[ "$depends" == *", $package "* || "$depends" == *", $package,"* ]] || fail "Depends lacks $package: $depends"
  done
fi
recommends=", $(field Recommends),"
for package in python3-matplotlib ffmpeg; do
  [[ "$recommends" == *", $package,"* ]] || fail "Recommends lacks $package: $recommends"
done

# contents: owned by root, under /usr, the programs stripped, nothing built for developers
listing=$(dpkg-deb -c "$deb")
awk '{ print $2 }' <<<"$listing" | grep -vxF root/root && fail "files not owned by root"
awk '$1 != "drwxr-xr-x" && $1 != "-rwxr-xr-x" && $1 != "-rw-r--r--"' <<<"$listing" | grep . &&
  fail "files or folders with unusual permissions"
paths=$(awk '{ print $6 }' <<<"$listing")
grep -vE '^\./usr/' <<<"$paths" | grep -vxF './' && fail "files outside /usr"
grep -E '\.(a|h|cmake)$|/include/|/lib/' <<<"$paths" && fail "development files in the package"
for program in "${programs[@]}"; do
  grep -qxF "./usr/bin/$program" <<<"$paths" || fail "the package lacks /usr/bin/$program"
  grep -qxF "./usr/share/man/man1/$program.1.gz" <<<"$paths" || fail "the package lacks the manual page of $program"
done
for f in ./usr/share/kestrovan/arenas/default.txt ./usr/share/kestrovan/arenas/furnished.txt \
  ./usr/share/kestrovan/arenas/textures/floor.bmp ./usr/share/doc/kestrovan/README.md \
  ./usr/share/doc/kestrovan/LICENSE; do
  grep -qxF "$f" <<<"$paths" || fail "the package lacks $f"
done

# unpacked into a scratch root, the programs run from another folder
dpkg -x "$deb" "$scratch/root"
root=$scratch/root
file "$root/usr/bin/kestrovan-batch" | grep -q ', stripped' || fail "kestrovan-batch is not stripped"
check_programs "$root/usr/bin" "$root/usr/share/kestrovan" "$scratch/work" "${programs[@]}"
for program in "${programs[@]}"; do
  man -l -P cat "$root/usr/share/man/man1/$program.1.gz" 2>&1 | grep -q "$program" ||
    fail "the packaged manual page of $program does not render"
done

# the windows open: the main window's caption appears on the X server
if [[ " ${programs[*]} " == *" kestrovan "* ]]; then
  cat >"$scratch/start-gui.sh" <<'SCRIPT'
set -u
cd "$2"
"$1" 2>gui.log &
gui=$!
for _ in $(seq 1 100); do
  if xwininfo -root -tree 2>/dev/null | grep -qF '"Kestrovan, v1.0"'; then
    kill "$gui"
    wait "$gui"
    exit 0
  fi
  kill -0 "$gui" 2>/dev/null || { echo "the program ended: $(cat gui.log)" >&2; exit 1; }
  sleep 0.2
done
kill "$gui"
echo "no window 'Kestrovan, v1.0' after 20 s: $(cat gui.log)" >&2
exit 1
SCRIPT
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" bash "$scratch/start-gui.sh" "$root/usr/bin/kestrovan" \
    "$scratch/work" || fail "kestrovan did not open its main window"
fi
rm -rf "$scratch"
echo "package: $(basename "$deb"), control fields, contents and the unpacked programs checked"
