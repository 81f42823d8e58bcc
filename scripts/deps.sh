#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, or says how to when not run as root.
#   deps.sh [--host] [PACKAGE...]
# --host: only what the host build and its unit tests need (make check): no mingw-w64, no Wine.
# Further arguments are extra packages a caller needs (for instance make demo's).
# wine32 is never asked for: 32-bit programs cannot run on the machines this project builds on.
set -euo pipefail

host_only=0
if [ "${1:-}" = "--host" ]; then
    host_only=1
    shift
fi

packages=(
    # host build, formatting check, GoogleTest sources (built for the host and cross-built)
    cmake make g++ clang-format googletest
    # the host tests build installer fragments
    wixl
    # the package builder (zlib, libcrypto) and the independent reader of its packages (Python,
    # xmllint for Microsoft's schemas)
    zlib1g-dev libssl-dev python3 libxml2-utils
)
if [ $host_only -eq 0 ]; then
    packages+=(
        # host benchmarks
        libbenchmark-dev
        # libFuzzer targets
        clang libclang-rt-14-dev
        # Windows builds
        g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
        # Windows tests
        wine wine64
        # the installer, and signing
        msitools osslsigncode openssl
    )
fi
# extra packages requested by the caller
packages+=("$@")

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
