#!/usr/bin/env bash
# Runs clang-tidy with the repository's .clang-tidy over the C++ sources of a
# configured build directory (the first argument; it needs
# compile_commands.json and its generated sources). With a second argument,
# a git revision, only the sources changed since that revision are checked;
# without one, all of them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: check_tidy.sh BUILD_DIR [BASE_REVISION]}
base=${2:-}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "check_tidy: $build/compile_commands.json missing; configure the build first" >&2
  exit 2
fi
if [ -n "$base" ]; then
  mapfile -t files < <(git diff --name-only --diff-filter=d "$base" -- '*.cpp')
else
  mapfile -t files < <(git ls-files '*.cpp')
fi
# Only what the build compiles has its flags in the database.
compiled=()
for f in "${files[@]}"; do
  if grep -qF "\"file\": \"$(pwd)/$f\"" "$build/compile_commands.json"; then
    compiled+=("$(pwd)/$f")
  fi
done
if [ ${#compiled[@]} -eq 0 ]; then
  echo "Tidy: no C++ source to check."
  exit 0
fi
printf '%s\n' "${compiled[@]}" | xargs -P"$(nproc)" -n4 clang-tidy -p "$build" --quiet 2>/dev/null
echo "Tidy: ${#compiled[@]} sources checked."
