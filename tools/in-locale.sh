#!/usr/bin/env bash
# Runs a command under a locale that must be installed (LC_ALL): in-locale.sh LOCALE COMMAND [ARGUMENTS...]
# Fails, rather than running under another locale, when it is missing (tools/install-deps.sh makes it).
set -euo pipefail
wanted="$1"
shift
normal() { tr '[:upper:]' '[:lower:]' | sed 's/utf-8/utf8/'; }
if ! locale -a | normal | grep -x "$(printf '%s' "$wanted" | normal)" >/dev/null; then
  echo "in-locale.sh: the locale $wanted is not installed (tools/install-deps.sh generates it)" >&2
  exit 1
fi
export LC_ALL="$wanted"
exec "$@"
