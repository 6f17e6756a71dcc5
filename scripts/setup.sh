#!/usr/bin/env bash
# Installs what building and testing quorvantline needs on a Debian 12 machine,
# and fetches Lua 5.4 and mimalloc from Debian's source packages into .cache/
# when missing.
# Safe to run again: every step skips work that is already done.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache="$root/.cache"
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64 xvfb xauth
          fonts-wqy-microhei googletest cmake ninja-build dpkg-dev xz-utils imagemagick patch
          nlohmann-json3-dev)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
apt_updated=0
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  apt_updated=1
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes its code page and interface language from the Unix locale: without a
# generated zh_CN.UTF-8 it falls back to English and code page 1252.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "setup: generating the zh_CN.UTF-8 locale"
  if ! dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q 'ok installed'; then
    [ "$apt_updated" -eq 1 ] || { "${sudo_cmd[@]}" apt-get update -qq; apt_updated=1; }
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends locales >/dev/null
  fi
  echo 'zh_CN.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi

# Makes Debian's source packages reachable for apt-get source, once per run.
# Source entries are derived from the machine's own package sources, so no mirror is named here.
source_entries_ready=0
enable_source_entries() {
  [ "$source_entries_ready" -eq 0 ] || return 0
  src_list=/etc/apt/sources.list.d/quorvantline-src.sources
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | "${sudo_cmd[@]}" tee "$src_list" >/dev/null
    else
      grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/quorvantline-src.list >/dev/null
    fi
    apt_updated=0
  fi
  [ "$apt_updated" -eq 1 ] || "${sudo_cmd[@]}" apt-get update -qq
  apt_updated=1
  source_entries_ready=1
}

lua_dir="$cache/lua"
if [ ! -f "$lua_dir/.ready" ]; then
  enable_source_entries
  rm -rf "$cache/lua-download" "$lua_dir"
  mkdir -p "$cache/lua-download"
  (cd "$cache/lua-download" && apt-get source --download-only lua5.4 >/dev/null)
  orig=$(ls "$cache"/lua-download/lua5.4_*.orig.tar.gz | head -n 1)
  debian=$(ls "$cache"/lua-download/lua5.4_*.debian.tar.xz | head -n 1)
  mkdir -p "$lua_dir"
  tar -xzf "$orig" -C "$lua_dir" --strip-components=1
  tar -xJf "$debian" -C "$lua_dir"
  # Only the security fixes apply here; Debian's other patches adapt its own build and module paths.
  for p in "$lua_dir"/debian/patches/*; do
    case "$(basename "$p")" in
      *[Cc][Vv][Ee]*) echo "setup: applying $(basename "$p")"; patch -d "$lua_dir" -p1 -s < "$p" ;;
    esac
  done
  touch "$lua_dir/.ready"
fi
# mimalloc, the allocator under the plugins' Lua states (cmake/mimalloc.cmake
# compiles it); Debian's package carries no patches of its own.
mimalloc_dir="$cache/mimalloc"
if [ ! -f "$mimalloc_dir/.ready" ]; then
  enable_source_entries
  rm -rf "$cache/mimalloc-download" "$mimalloc_dir"
  mkdir -p "$cache/mimalloc-download"
  (cd "$cache/mimalloc-download" && apt-get source --download-only mimalloc >/dev/null)
  orig=$(ls "$cache"/mimalloc-download/mimalloc_*.orig.tar.* | head -n 1)
  mkdir -p "$mimalloc_dir"
  tar -xf "$orig" -C "$mimalloc_dir" --strip-components=1
  touch "$mimalloc_dir/.ready"
fi
echo "setup: ready (Lua sources in $lua_dir, mimalloc sources in $mimalloc_dir)"
