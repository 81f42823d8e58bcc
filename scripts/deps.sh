#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, or says how to when not run as root.
#   deps.sh [--host | --test] [PACKAGE...]
# --host: only what the host build and its unit tests need (make check): no mingw-w64, no Wine.
# --test: everything, and the workflow validator that make test runs on .github/workflows/ (a
#         pinned release from the npm registry, installed into build/tools/, never system-wide).
# Further arguments are extra packages a caller needs (for instance make demo's).
# wine32 is never asked for: 32-bit programs cannot run on the machines this project builds on.
set -euo pipefail
cd "$(dirname "$0")/.."

# The validator's release. @action-validator/cli finds its engine, @action-validator/core, as a
# peer of the same version; both are named so that npm installs exactly these two.
action_validator_version=0.6.0
action_validator_dir=build/tools/action-validator

host_only=0
with_validator=0
case "${1:-}" in
    --host)
        host_only=1
        shift
        ;;
    --test)
        with_validator=1
        shift
        ;;
esac

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
# npm and the node that runs the validator; a node that brings its own npm will do
if [ $with_validator -eq 1 ] && ! command -v npm >/dev/null; then
    packages+=(nodejs npm)
fi
# extra packages requested by the caller
packages+=("$@")

# The validator, unless that release is installed already.
install_action_validator() {
    [ $with_validator -eq 1 ] || return 0
    local manifest=$action_validator_dir/node_modules/@action-validator/cli/package.json
    if [ -f "$manifest" ] && grep -q "\"version\": \"$action_validator_version\"" "$manifest"; then
        return 0
    fi
    echo "Installing @action-validator/cli $action_validator_version from the npm registry into" \
        "$action_validator_dir"
    npm install --prefix "$action_validator_dir" --no-save --no-package-lock --no-audit --no-fund \
        "@action-validator/cli@$action_validator_version" \
        "@action-validator/core@$action_validator_version"
}

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null | grep -qx installed; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    install_action_validator
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
install_action_validator
