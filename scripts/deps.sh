#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need,
# only when some are missing. Run as root on Debian 12 (x86_64).
set -euo pipefail

pkgs=(cmake ninja-build g++ make pkg-config googletest libgtest-dev libgmock-dev
      libpq-dev libssl-dev nlohmann-json3-dev postgresql openssl python3 bc time
      g++-multilib libpq5:i386 libssl-dev:i386)

if [ "$(dpkg --print-architecture)" != amd64 ]; then
    echo "deps: this script expects an x86_64 (amd64) Debian host" >&2
    exit 1
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    missing=yes
else
    missing=
fi
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "deps: missing packages:$missing; run as root to install them" >&2
    exit 1
fi
dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${pkgs[@]}"
