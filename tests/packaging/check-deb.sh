#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a build tree, unpacks it into a scratch root and checks
# what a user gets: every file where it belongs and nothing else, the library dependencies,
# the copyright file naming the licence, AppStream metainfo that appstreamcli accepts with
# the desktop entry and icon it names, programs that run from the installed tree and report
# the project's version and licence, maintainer scripts that never fail an installation,
# whether or not udev is usable, and no lintian error.
# Usage: check-deb.sh BUILD_DIR VERSION UDEV_RULES_DIR
set -euo pipefail
build=$1 version=$2 rules_dir=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A relative rules directory lies under the package's prefix, /usr.
case "$rules_dir" in /*) rules_dir=${rules_dir#/} ;; *) rules_dir=usr/$rules_dir ;; esac

if ! "${CPACK:-cpack}" --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  echo "FAIL: cpack did not build the package"
  exit 1
fi
deb=$scratch/out/palor-programmer_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$deb" ]; then
  echo "FAIL: no $(basename "$deb"); cpack made:"
  ls "$scratch/out"
  exit 1
fi
dpkg-deb -x "$deb" "$scratch/root"
dpkg-deb -e "$deb" "$scratch/control"

# lintian finds no error (its warnings are shown, not failed on).
lintian_report=$(lintian "$deb" 2>&1) || fail "lintian reports errors"
grep -v '^running with root privileges' <<<"$lintian_report" || true

# The files, exactly.
expected=$(sort <<LIST
usr/bin/palor-pager-sim
usr/bin/palor-programmer
usr/bin/palor-report-pdf
usr/bin/palorctl
$rules_dir/70-palor-programmer.rules
usr/share/applications/palor-programmer.desktop
usr/share/doc/palor-programmer/changelog.gz
usr/share/doc/palor-programmer/copyright
usr/share/doc/palor-programmer/user-guide.md
usr/share/doc/palor-programmer/window-addresses.png
usr/share/doc/palor-programmer/window-reading.png
usr/share/doc/palor-programmer/window-settings.png
usr/share/icons/hicolor/scalable/apps/palor-programmer.svg
usr/share/man/man1/palor-pager-sim.1.gz
usr/share/man/man1/palor-programmer.1.gz
usr/share/man/man1/palor-report-pdf.1.gz
usr/share/man/man1/palorctl.1.gz
usr/share/metainfo/org.palor.programmer.metainfo.xml
LIST
)
actual=$(cd "$scratch/root" && find . ! -type d | sed 's|^\./||' | sort)
if [ "$actual" != "$expected" ]; then
  fail "the package's files differ from the expected (< expected, > packaged):"
  diff <(echo "$expected") <(echo "$actual") | grep '^[<>]' || true
fi

# The desktop entry starts an installed program and names an installed icon.
entry=$scratch/root/usr/share/applications/palor-programmer.desktop
if [ -f "$entry" ]; then
  exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  icon_name=$(sed -n 's/^Icon=//p' "$entry")
  [ -x "$scratch/root/usr/bin/$exec_name" ] || fail "the desktop entry starts '$exec_name', not installed"
  [ -f "$scratch/root/usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ] ||
    fail "the desktop entry names the icon '$icon_name', not installed"
fi

# The copyright file in Debian's machine-readable format, the whole package under the
# GPL version 3 or later, whose text it leaves to common-licenses.
copyright=$scratch/root/usr/share/doc/palor-programmer/copyright
if [ -f "$copyright" ]; then
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" ||
    fail "the copyright file is not in Debian's machine-readable format"
  [ "$(sed -n '/^Files: \*$/,/^$/s/^License: //p' "$copyright")" = "GPL-3+" ] ||
    fail "the copyright file's Files: * paragraph is not under License: GPL-3+"
  grep -q '/usr/share/common-licenses/GPL-3' "$copyright" ||
    fail "the copyright file does not refer to /usr/share/common-licenses/GPL-3"
fi

# The metainfo, validated in the installed tree with the desktop entry and icon it names.
if ! appstream_report=$(appstreamcli validate-tree --no-net --pedantic "$scratch/root" 2>&1) ||
  grep -q '^ *[EWIP]: ' <<<"$appstream_report"; then
  fail "appstreamcli validate-tree reports:"
  echo "$appstream_report"
fi

# The control file: name, version, and the libraries dpkg-shlibdeps found.
field() { sed -n "s/^$1: //p" "$scratch/control/control"; }
[ "$(field Package)" = palor-programmer ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
depends=$(field Depends)
for library in libc6 libstdc++6 libqt6widgets6; do
  [[ $depends == *"$library "* || $depends == *"$library," || $depends == *"$library" ]] ||
    fail "Depends has no $library: '$depends'"
done
for script in postinst postrm; do
  [ -x "$scratch/control/$script" ] || fail "the package has no executable $script"
done

# The installed programs run (no display needed) and report the project's version, then the
# licence.
for program in palor-programmer palorctl palor-pager-sim palor-report-pdf; do
  reported=$(env -u DISPLAY -u WAYLAND_DISPLAY "$scratch/root/usr/bin/$program" --version 2>&1) ||
    fail "$program --version failed: $reported"
  [ "$(head -n1 <<<"$reported")" = "$program $version" ] &&
    grep -q '^Licence: GPL-3.0-or-later' <<<"$reported" ||
    fail "$program --version says '$reported'"
done

# The postinst on machines where udevadm is missing, refuses (no udev running) or works:
# it exits 0 every time, and triggers the adapter's tty only after a successful reload.
fakebin=$scratch/fakebin
mkdir -p "$fakebin" "$scratch/nobin"
cat >"$fakebin/udevadm" <<'FAKE'
#!/bin/sh
echo "$*" >>"$UDEVADM_LOG"
case "$1" in control) exit "$CONTROL_STATUS" ;; trigger) exit "$TRIGGER_STATUS" ;; esac
exit 2
FAKE
chmod +x "$fakebin/udevadm"
reload="control --reload-rules"
trigger="trigger --subsystem-match=tty --property-match=ID_VENDOR_ID=067b"
while IFS='|' read -r name path control_status trigger_status calls; do
  log=$scratch/udevadm-$name.log
  : >"$log"
  status=0
  env -i PATH="$scratch/$path" UDEVADM_LOG="$log" CONTROL_STATUS="$control_status" \
    TRIGGER_STATUS="$trigger_status" /bin/sh "$scratch/control/postinst" configure || status=$?
  [ "$status" -eq 0 ] || fail "postinst, udevadm $name: exit status $status"
  expected_calls=$(eval "printf '%s\n' $calls")
  [ "$(cat "$log")" = "$expected_calls" ] ||
    fail "postinst, udevadm $name: called '$(cat "$log")', expected '$expected_calls'"
done <<CASES
missing|nobin|0|0|
no udev running|fakebin|1|0|"\$reload"
trigger refused|fakebin|0|1|"\$reload" "\$trigger"
working|fakebin|0|0|"\$reload" "\$trigger"
CASES

if [ "$failures" -ne 0 ]; then
  echo "$failures checks failed; package contents:"
  dpkg-deb -c "$deb"
  exit 1
fi
echo "$(basename "$deb"): $(echo "$actual" | wc -l) files where they belong; postinst safe"
