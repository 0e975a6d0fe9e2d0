#!/usr/bin/env bash
# Prints the id of the first window on the current X display whose title is
# the argument, waiting up to thirty seconds for it to appear (a loaded
# machine may take that long to map it).
set -u
for _ in $(seq 1 300); do
    id=$(xwininfo -root -tree 2>/dev/null | awk -v title="\"$1\":" '$0 ~ title {print $1; exit}')
    if [ -n "$id" ]; then
        echo "$id"
        exit 0
    fi
    sleep 0.1
done
exit 1
