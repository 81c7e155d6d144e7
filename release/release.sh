#!/usr/bin/env bash
# Builds the release files of the commit checked out, with the tests of each
# build, and puts them into build/release-files/ with their SHA-256 sums:
# the .deb and .tar.gz for x86-64 and for arm64 Linux, the Windows ZIP, and
# the page as a ZIP of static files (its browser tests are the web
# workflow's).
#   bash release/release.sh
# Two runs give the same bytes from any clone, at any time: the commit's date
# is every timestamp (SOURCE_DATE_EPOCH, which CPack and MinGW's linker
# take), the umask is 022, the archives' owner is root, and the Release build
# maps its own folders out of the programs.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -n "$(git status --porcelain)" ]; then
  echo "release.sh: the work tree has changes; release files are built from a commit" >&2
  exit 1
fi
umask 022
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
# A UTF-8 locale, which Wine needs to hand over names in every script.
export LC_ALL=C.UTF-8 TZ=UTC

# Where cpack does not run as root, a user namespace makes root the owner.
as_root=()
if [ "$(id -u)" != 0 ]; then
  as_root=(unshare --map-root-user)
  "${as_root[@]}" true || { echo "release.sh: cannot pack as root here (unshare -r)" >&2; exit 1; }
fi
# The Windows tests that need a console window of a program's own need a
# display under Wine.
with_display=()
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  with_display=(xvfb-run -a)
fi

# Every build starts afresh (the Wine prefix aside), so that nothing of an
# earlier configure leaks in.
for build in build/package build/arm64 build/windows build/web; do
  if [ -d "$build" ]; then
    find "$build" -mindepth 1 -maxdepth 1 ! -name wine-prefix -exec rm -rf {} +
  fi
done
cmake --workflow --preset package
cmake --workflow --preset arm64
"${with_display[@]}" cmake --workflow --preset windows
# The Windows tests that Wine ended before they began, and that ran again.
grep -h "running it again" build/windows/Testing/Temporary/LastTest.log || true
if [ ${#as_root[@]} -gt 0 ]; then
  for preset in package arm64 windows; do
    "${as_root[@]}" cpack --preset "$preset"
  done
fi
cmake --preset web
cmake --build --preset web

out=build/release-files
rm -rf "$out"
mkdir -p "$out"
# The version as project() sets it, read back from a build that configured it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/package/CMakeCache.txt)
files=(
  "build/package/psx-adpcm-rippers_${version}_amd64.deb"
  "build/package/psx-adpcm-rippers-${version}-linux-x86_64.tar.gz"
  "build/arm64/psx-adpcm-rippers_${version}_arm64.deb"
  "build/arm64/psx-adpcm-rippers-${version}-linux-arm64.tar.gz"
  "build/windows/psx-adpcm-rippers-${version}-windows-x86_64.zip"
)
cp "${files[@]}" "$out/"

web="psx-adpcm-rippers-${version}-web"
node release/pack_site.mjs build/web/site "$web" "$out/$web.zip" "$SOURCE_DATE_EPOCH" build/web/web-modules/node_modules

# What each file must hold: the programs where users look for them, and in
# the .tar.gz ones that need no shared library.
check() { "$@" || { echo "release.sh: check failed: $*" >&2; exit 1; }; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for arch in amd64 arm64; do
  deb="$out/psx-adpcm-rippers_${version}_${arch}.deb"
  check test "$(dpkg-deb -f "$deb" Architecture)" = "$arch"
  check test "$(dpkg-deb -c "$deb" | awk '$6 ~ /^\.\/usr\/bin\/(cinerip|blockrip|discrip)$/' | wc -l)" = 3
done
for cpu in x86_64 arm64; do
  top="psx-adpcm-rippers-${version}-linux-${cpu}"
  tar -xzf "$out/$top.tar.gz" -C "$scratch"
  for program in cinerip blockrip discrip; do
    check test -x "$scratch/$top/usr/bin/$program"
    check test -z "$(readelf -d "$scratch/$top/usr/bin/$program" 2>/dev/null | grep NEEDED)"
  done
done
zip="$out/psx-adpcm-rippers-${version}-windows-x86_64.zip"
listing=$(cmake -E tar tf "$zip")
for program in cinerip blockrip discrip; do
  check grep -qx "psx-adpcm-rippers-${version}-windows-x86_64/$program.exe" <<<"$listing"
done
listing=$(cmake -E tar tf "$out/$web.zip")
for file in index.html rippers.wasm sw.js; do
  check grep -qx "$web/$file" <<<"$listing"
done

(cd "$out" && sha256sum -- *.deb *.tar.gz *.zip > SHA256SUMS)
echo "Release files of $(git rev-parse --short HEAD), in $out:"
(cd "$out" && ls -l -- * && cat SHA256SUMS)
