#!/usr/bin/env bash
# Compares the functions that a shared library defines for its users with those that its public
# header marks for export (NASAPI_EXPORT ... NasApi...): both lists must be equal.
set -euo pipefail
library=$1
header=$2
exported=$(nm -D --defined-only "$library" | awk '{print $NF}' | sort -u)
declared=$(grep -oE 'NASAPI_EXPORT[^(]*\bNasApi[A-Za-z0-9_]*' "$header" |
           grep -oE 'NasApi[A-Za-z0-9_]*$' | sort -u)
if [ -z "$declared" ]; then
    echo "no exported function found in $header" >&2
    exit 1
fi
if [ "$exported" != "$declared" ]; then
    echo "exported by $library:" >&2
    echo "$exported" >&2
    echo "declared in $header:" >&2
    echo "$declared" >&2
    exit 1
fi
echo "$(echo "$exported" | wc -l) NasApi exports, as declared"
