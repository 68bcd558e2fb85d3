#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test the project.
# Idempotent: every package is checked first; only missing ones are fetched.
set -euo pipefail

want=(
  cmake g++ ninja-build libgtest-dev libgmock-dev googletest libbenchmark-dev
  libspandsp-dev pkg-config clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64 wine32:i386 libwine-dev
  xvfb xauth imagemagick x11-utils xdotool fonts-crosextra-caladea fonts-wine
)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture (needed by wine32)"
  as_root dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${want[@]}"; do
  installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: every package is already installed"
else
  echo "setup: installing ${missing[*]}"
  as_root apt-get update -qq
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# libjpeg for MinGW: Debian ships none, so its source package is fetched once into
# .deps/ (not committed) and built for each Windows preset in the build tree.
repo="$(cd "$(dirname "$0")/.." && pwd)"
jpeg_dir="$repo/.deps/libjpeg-turbo"
if [ -f "$jpeg_dir/CMakeLists.txt" ]; then
  echo "setup: the libjpeg-turbo sources are already there"
else
  src_list=/etc/apt/sources.list.d/debian-src.sources
  if ! grep -rqs '^Types: deb-src' /etc/apt/sources.list.d/; then
    echo "setup: adding Debian's source packages ($src_list)"
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' \
      'Suites: bookworm bookworm-updates' 'Components: main' \
      'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' | as_root tee "$src_list" >/dev/null
  fi
  as_root apt-get update -qq
  fetch="$(mktemp -d)"
  (cd "$fetch" && apt-get source --download-only -qq libjpeg-turbo)
  mkdir -p "$jpeg_dir"
  tar -xzf "$fetch"/libjpeg-turbo_*.orig.tar.gz -C "$jpeg_dir" --strip-components=1
  rm -rf "$fetch"
  echo "setup: libjpeg-turbo sources in $jpeg_dir"
fi

# Whether 32-bit Windows programs can run here (tools/runs-32bit.sh tries the
# 32-bit loader), kept in build/runs-32bit for the commands of this run: "yes",
# or "no: <reason>". Tried anew at every set-up, so it never outlives the machine.
mkdir -p "$repo/build"
if reason=$(bash "$repo/tools/runs-32bit.sh"); then
  answer=yes
  echo "setup: this machine runs 32-bit programs"
else
  answer="no: $reason"
  echo "setup: $reason: only the 64-bit build runs under Wine"
fi
printf '%s\n' "$answer" >"$repo/build/runs-32bit.$$"
mv -f "$repo/build/runs-32bit.$$" "$repo/build/runs-32bit"
echo "setup: done"
