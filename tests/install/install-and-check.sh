#!/usr/bin/env bash
# Installs the build into a fresh temporary prefix with `cmake --install` and checks the result
# with check-installed.sh. Usage: install-and-check.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: install-and-check.sh BUILD_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
"$(dirname "$0")/check-installed.sh" "$prefix"
