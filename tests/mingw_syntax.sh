#!/bin/sh
# Keeps the plain C++ compiling for Windows: every plain source of dict/, window/,
# copy/, settings/, update/ and lookup/, the base part of platform/ and its
# Windows implementations through the MinGW compiler (syntax only), and no
# POSIX, Qt, X11 or Wayland header in dict/, copy/, settings/ and update/
# (system calls belong behind platform/'s headers).
# Usage: mingw_syntax.sh SOURCE_DIR
src=${1:?source folder}
cxx=x86_64-w64-mingw32-g++-posix
if ! command -v "$cxx" >/dev/null 2>&1; then
  echo "SKIPPED: $cxx is not installed (apt install g++-mingw-w64-x86-64-posix)"
  exit 77
fi
cd "$src" || exit 1
status=0

# The Linux forms of the download (libcurl) and of the zip reader (libzip);
# Windows builds download_windows.cpp and unzip_zlib.cpp instead.
bound="update/download.cpp update/unzip_libzip.cpp"
# Nothing is exempt from the header rule.
pending=""
headers='^#include <(unistd|fcntl|dirent|dlfcn|pwd|iconv|poll|signal|termios|sys/[a-z]+|Q[A-Za-z]*|X11/[A-Za-z]+|wayland-[a-z-]+)(\.h)?>'
for f in dict/*.cpp dict/*.h copy/*.cpp copy/*.h settings/*.cpp settings/*.h update/*.cpp update/*.h window/*.cpp window/*.h; do
  case " $pending " in *" $f "*) continue ;; esac
  if grep -nE "$headers" "$f"; then
    echo "FAIL: $f includes a system header (put the call behind platform/)"
    status=1
  fi
done

sources=""
for f in dict/*.cpp copy/*.cpp settings/*.cpp update/*.cpp lookup/*.cpp window/*.cpp \
         platform/sjis.cpp platform/files.cpp platform/folders.cpp platform/ini.cpp \
         platform/linkitems.cpp platform/checknote.cpp platform/instance.cpp platform/*_windows.cpp; do
  case " $bound " in *" $f "*) continue ;; esac
  sources="$sources $f"
done
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Two at a time: the machine is shared.
echo $sources | tr ' ' '\n' | xargs -P 2 -I{} sh -c \
  "$cxx -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I. -DKOVANT_INSTALLED_DATA_DIR='\"C:/kovant\"' \
   -DKOVANT_VERSION='\"0\"' {} >/dev/null 2>&1 || echo {}" >"$log"
if [ -s "$log" ]; then
  for f in $(cat "$log"); do
    echo "FAIL: $f does not compile for Windows:"
    $cxx -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I. -DKOVANT_INSTALLED_DATA_DIR='"C:/kovant"' \
      -DKOVANT_VERSION='"0"' "$f" 2>&1 | grep -m5 -E 'error'
  done
  status=1
fi
echo "$(echo $sources | wc -w) sources checked; left out: $bound (their libraries) and the header rule for $pending"
exit $status
