#!/bin/sh
# Installs the Debian packages the build and the tests need, and only those
# that are missing; quick when everything is there.
set -eu
packages="cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 xvfb googletest python3 zip clang libclang-rt-dev x11-apps lld llvm libwine-dev"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing
