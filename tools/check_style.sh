#!/usr/bin/env bash
# The project's conventions, checked: run by ./test.sh, or by hand from
# anywhere in the tree. Prints each breach and exits 1 if there is any.
#   - every C++ source is as clang-format (root .clang-format) would write it;
#   - only platform/sdl/ includes SDL, only platform/web/ Emscripten;
#   - game/ and engine/ reach the operating system only through platform/;
#   - constants are UPPER_CASE, not kCamelCase;
#   - no CMake file links with --wrap;
#   - code, comments and file names speak of the game, never of a document
#     it was built from.
set -uo pipefail
cd "$(dirname "$0")/.."

breaches=0
breach() {
  echo "style: $*" >&2
  breaches=$((breaches + 1))
}

mapfile -t sources < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h')

if ! command -v clang-format >/dev/null; then
  breach "clang-format is not installed"
else
  while IFS= read -r line; do
    breach "$line"
  done < <(clang-format --dry-run "${sources[@]}" 2>&1 | grep -E 'warning:' |
    sed -E 's/: warning: code should be clang-formatted.*/: not as clang-format writes it/')
fi

while IFS= read -r line; do
  breach "$line: SDL is included outside platform/sdl/"
done < <(grep -nE '#\s*include\s*[<"]SDL' "${sources[@]}" | grep -v '^platform/sdl/')

while IFS= read -r line; do
  breach "$line: Emscripten is included outside platform/web/"
done < <(grep -nE '#\s*include\s*[<"]emscripten' "${sources[@]}" | grep -v '^platform/web/')

# The platform's calls reach a backend through its table, on any toolchain:
# no linker option sends them elsewhere.
while IFS= read -r line; do
  breach "$line: a linker --wrap (backends are tables of calls)"
done < <(grep -nE -- '--wrap' CMakeLists.txt */CMakeLists.txt 2>/dev/null)
# The game and its library reach the operating system only through
# platform/ (platform/os.h for files, folders and the environment): no POSIX
# headers, and none of the C or POSIX calls on files, folders, the
# environment or the process (comment lines are passed over).
mapfile -t above_platform < <(printf '%s\n' "${sources[@]}" | grep -E '^(game|engine)/')
os_calls='getenv|secure_getenv|setenv|unsetenv|fopen|freopen|fdopen|open|openat'
os_calls+='|close|read|write|stat|lstat|fstat|access|mkdir|rmdir|rename|remove'
os_calls+='|unlink|getcwd|chdir|readlink|realpath|mkstemp|fsync|fchmod|opendir'
os_calls+='|usleep|poll|system'
while IFS= read -r line; do
  breach "$line: game/ and engine/ reach the operating system through platform/"
done < <(grep -nE '#\s*include\s*<(unistd\.h|fcntl\.h|dirent\.h|poll\.h|sys/|filesystem|fstream)' \
  "${above_platform[@]}"
# std::remove is the algorithm; the C library's calls may be named std::.
grep -nP "(?<![\\w.>])(?<!std::)(${os_calls})\s*\(|std::(getenv|fopen|freopen|rename|system)\s*\(" \
  "${above_platform[@]}" |
  grep -vE '^[^:]+:[0-9]+:\s*//')

while IFS= read -r line; do
  breach "$line: constants are named in UPPER_CASE"
done < <(grep -nE '\b(const|constexpr)\b[^=;(]*\bk[A-Z][A-Za-z0-9]*\s*(=|\[|\{)' "${sources[@]}")

mapfile -t tracked < <(git ls-files -co --exclude-standard | grep -vE '\.md$')
# The words are put together here so that this file does not match itself.
doc="spe""c"
while IFS= read -r line; do
  breach "$line: speaks of the document the game was built from"
done < <(grep -nIiE "${doc}ification|${doc}\\.md|\\bthe ${doc}\\b|\\bpart [0-9]+\\.[0-9]+\\b" \
  "${tracked[@]}" 2>/dev/null)
while IFS= read -r name; do
  breach "$name: a file name that speaks of the document the game was built from"
done < <(printf '%s\n' "${tracked[@]}" | grep -iE "(^|/)[^/]*${doc}[^/]*\$")

if [ "$breaches" -gt 0 ]; then
  echo "style: $breaches breach(es)" >&2
  exit 1
fi
echo "style: ${#sources[@]} sources checked, all clean"
