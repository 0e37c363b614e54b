#!/usr/bin/env bash
# The shape of the sources: only the platform layer includes the systems' own headers, and no
# folder's units include each other in a circle (a unit: a header with its sources, the
# system-specific sources of a platform header counted with it).
#   layout_check.sh SOURCE_DIR
set -euo pipefail
cd "$1"
status=0

system_headers='#include <(sys/[a-z_]+|arpa/[a-z_]+|netinet/[a-z_]+|poll|unistd|fcntl|dirent|iconv|netdb|signal|pwd|spawn|io|windows|winsock2|ws2tcpip|shellapi|psapi)\.h>'
# Product code and tests alike; a test source for one system only is named *_posix.cpp or
# *_win32.cpp, and the benchmarks measure this Linux machine.
offenders=$(git ls-files -- '*.cpp' '*.h' | grep -v -E '^(platform|bench)/|_(posix|win32)\.cpp$' |
    xargs grep -l -E "$system_headers" || true)
if [ -n "$offenders" ]; then
    echo "system headers outside the platform layer:"
    echo "$offenders" | sed 's/^/  /'
    status=1
fi

for folder in platform base net http transfer app tools/recorder-sim; do
    edges=$(for file in $(git ls-files -- "$folder/*.cpp" "$folder/*.h"); do
        unit=$(basename "$file" | sed -E 's/\.(cpp|h)$//; s/_(posix|win32)$//')
        sed -n -E 's/^#include "([A-Za-z0-9_]+)\.h".*/\1/p' "$file" | while read -r used; do
            if [ "$used" != "$unit" ] && [ -f "$folder/$used.h" ]; then echo "$unit $used"; fi
        done
    done | sort -u)
    if ! echo "$edges" | tsort >/dev/null 2>&1; then
        echo "units of $folder/ include each other in a circle:"
        echo "$edges" | tsort 2>&1 >/dev/null | sed 's/^/  /'
        status=1
    fi
done
exit $status
