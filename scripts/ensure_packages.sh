#!/bin/sh
# Installs Debian packages a make target needs when their commands are
# missing: `ensure_packages.sh COMMAND:PACKAGE ...`. Installs only as root
# with apt-get; exits 1 when something is still missing.
missing=""
for pair in "$@"; do
    cmd=${pair%%:*}
    command -v "$cmd" >/dev/null 2>&1 || missing="$missing ${pair#*:}"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "installing:$missing" >&2
    DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi
for pair in "$@"; do
    command -v "${pair%%:*}" >/dev/null 2>&1 || { echo "missing: ${pair#*:} (apt-get install ${pair#*:})" >&2; exit 1; }
done
