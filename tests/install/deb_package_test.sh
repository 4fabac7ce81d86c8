#!/usr/bin/env bash
# Builds the Debian package with cpack and checks its control fields and contents, and runs
# lintian on it where it is installed: no errors.
#   deb_package_test.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1
id=$2

work=$(mktemp -d /tmp/corvale-deb.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

"${CPACK:-cpack}" -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(tail -n 20 "$work/cpack.log")"
deb=$(find "$work" -maxdepth 1 -name 'corvale_*.deb')
[ -n "$deb" ] || fail "no package made"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = corvale ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture"
[[ $(field Version) =~ ^[0-9]+(\.[0-9]+)+$ ]] || fail "Version: $(field Version)"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
[ "$(field Section)" = sound ] || fail "Section: $(field Section)"
description=$(field Description)
[ "$(echo "$description" | wc -l)" -ge 3 ] || fail "no extended description"
# Dependencies computed from the linked libraries, and the platform plugin that is loaded later.
depends=$(field Depends)
for package in libc6 libcurl4 libqt6widgets6 libqt6webenginewidgets6 qt6-qpa-plugins; do
  [[ $depends == *"$package"* ]] || fail "Depends lacks $package: $depends"
done

dpkg-deb -c "$deb" | awk '{print $NF}' >"$work/contents"
for file in usr/bin/corvale usr/bin/corvale-demo-service usr/share/corvale/pic/0103.jpg \
  usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/$id.svg usr/share/icons/hicolor/48x48/apps/$id.png \
  usr/share/icons/hicolor/128x128/apps/$id.png usr/share/doc/corvale/copyright \
  usr/share/doc/corvale/changelog.gz usr/share/man/man1/corvale.1.gz; do
  grep -qx "\./$file" "$work/contents" || fail "the package lacks $file"
done
! grep -q '^\./usr/local/' "$work/contents" || fail "files under /usr/local"

if command -v lintian >/dev/null; then
  lintian "$deb" >"$work/lintian.log" 2>&1 || true
  cat "$work/lintian.log"
  ! grep -q '^E: ' "$work/lintian.log" || fail "lintian reports errors"
fi
echo "package ok: $(basename "$deb")"
