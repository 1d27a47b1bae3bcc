#!/bin/sh
# Installs what building, running and testing Kagero needs on Debian 12.
# Idempotent: does nothing when every package is already present.
set -eu

PACKAGES="cmake make g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 \
binutils-mingw-w64-i686 wine wine64 fonts-wine xvfb xauth x11-utils fonts-noto-cjk fonts-ipafont-gothic locales imagemagick \
doctest-dev nlohmann-json3-dev python3 python3-jsonschema"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

# wine32 makes /usr/bin/wine pick the 32-bit loader, which this kernel cannot run.
if dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q "install ok installed"; then
    echo "install-deps: wine32 is installed; remove it (apt-get remove wine32): it breaks /usr/bin/wine here." >&2
    exit 1
fi

# Wine runs in the Japanese locale, as the program's users do: the system's
# own dialog texts and fonts then match the program's Japanese templates.
need_locale=""
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    need_locale=yes
fi

if [ -z "$missing" ] && [ -z "$need_locale" ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    [ -n "$missing" ] && echo "install-deps: missing packages:$missing" >&2
    [ -n "$need_locale" ] && echo "install-deps: missing the ja_JP.UTF-8 locale" >&2
    echo "install-deps: run 'sudo make deps'" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ -n "$missing" ]; then
    echo "install-deps: installing$missing"
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing
fi
if [ -n "$need_locale" ] || ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    echo "install-deps: generating the ja_JP.UTF-8 locale"
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
