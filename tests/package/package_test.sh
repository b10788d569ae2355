#!/usr/bin/env bash
# Builds the Debian package from a build folder (cpack, as scripts/package.sh
# does) and checks it: its control fields (dpkg-deb -I), the exact list of
# its files (dpkg-deb -c), stripped programs, a changelog of this version,
# and lintian without errors (its warnings are printed).
#   package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  exit 1
}
deb=$work/velkor_${version}_$(dpkg --print-architecture).deb
if [[ ! -f $deb ]]; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack made no $(basename "$deb")" >&2
  exit 1
fi
dpkg-deb -I "$deb"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == velkor ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version)"
[[ $(field Section) == utils ]] || fail "Section: $(field Section)"
[[ $(field Recommends) == bash-completion ]] || fail "Recommends: $(field Recommends)"
depends=$(field Depends)
names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//')
for needed in libc6 libstdc++6 libqt6widgets6 libqt6core6 libmount1 xdg-utils; do
  grep -qxF "$needed" <<<"$names" || fail "Depends lacks $needed: $depends"
done

# Files: exactly these, in the usual places.
expected=(
  ./usr/bin/velkor
  ./usr/bin/velkor-cli
  ./usr/lib/systemd/system/velkor-compact.service
  ./usr/lib/systemd/system/velkor-compact.timer
  ./usr/libexec/velkor/velkor-compact
  ./usr/share/applications/velkor.desktop
  ./usr/share/bash-completion/completions/velkor-cli
  ./usr/share/doc/velkor/changelog.gz
  ./usr/share/doc/velkor/copyright
  ./usr/share/man/man1/velkor-cli.1.gz
  ./usr/share/man/man1/velkor.1.gz
  ./usr/share/metainfo/org.velkor.Velkor.metainfo.xml
  ./usr/share/velkor/Velkor.htm
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/velkor.png")
done
dpkg-deb -c "$deb" >"$work/contents"
actual=$(awk '$1 !~ /^d/ { print $6 }' "$work/contents" | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [[ $actual != "$wanted" ]]; then
  fail "files differ from the expected list:"
  diff <(echo "$wanted") <(echo "$actual") >&2 || true
fi
# Owned by root, programs executable, everything else read-only data.
awk '$2 != "root/root" { print "FAIL: owner " $2 ": " $6; bad = 1 }
     $1 !~ /^d/ && $6 ~ /^\.\/usr\/(bin|libexec)\// && $1 != "-rwxr-xr-x" { print "FAIL: mode " $1 ": " $6; bad = 1 }
     $1 !~ /^d/ && $6 !~ /^\.\/usr\/(bin|libexec)\// && $1 != "-rw-r--r--" { print "FAIL: mode " $1 ": " $6; bad = 1 }
     $1 ~ /^d/ && $1 != "drwxr-xr-x" { print "FAIL: mode " $1 ": " $6; bad = 1 }
     END { exit bad }' "$work/contents" >&2 || fail "owners or modes"

# Stripped programs, and a changelog that names this version.
dpkg-deb -x "$deb" "$work/root"
for program in velkor velkor-cli; do
  if readelf -S "$work/root/usr/bin/$program" | grep -qE '\.(debug_info|symtab)'; then
    fail "$program is not stripped"
  fi
done
head -n1 <(gzip -dc "$work/root/usr/share/doc/velkor/changelog.gz") |
  grep -qF "velkor ($version)" || fail "changelog.gz does not start with version $version"

# lintian: no errors; warnings are shown.
if ! lintian --fail-on error --tag-display-limit 0 "$deb"; then
  fail "lintian reports errors"
fi

((failures == 0)) || exit 1
echo "PASS: $(basename "$deb")"
