#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, or says how to when not run as root.
# wine32 is never asked for: 32-bit programs cannot run on the machines this project builds on.
set -euo pipefail

packages=(
    # host build, formatting check
    cmake make g++ clang-format
    # GoogleTest sources, built for the host and cross-built for Windows
    googletest
    # host benchmarks
    libbenchmark-dev
    # libFuzzer targets
    clang libclang-rt-14-dev
    # Windows builds
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
    # Windows tests
    wine wine64
    # the installer, and signing
    wixl msitools osslsigncode openssl
    # extra packages requested by the caller (for instance `make demo`)
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null | grep -qx installed; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

install="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Install them as root with:" >&2
    echo "    apt-get update && $install" >&2
    exit 1
fi

echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
