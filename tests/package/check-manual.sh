#!/usr/bin/env bash
# The manual page renders without a single groff warning and names every option that the tool's
# help lists, so that it does not fall behind the tool.
#
#   check-manual.sh MANUAL_PAGE TOOL
set -euo pipefail
page=$1 tool=$2

if ! command -v groff >/dev/null; then
    [ "${CI:-}" != true ] || { echo "groff is missing" >&2 && exit 1; }
    echo "groff is missing: skipped" && exit 77
fi
warnings=$(LC_ALL=C.UTF-8 groff -man -ww -Tutf8 -z "$page" 2>&1)
[ -z "$warnings" ] || { echo "$warnings" && exit 1; }
text=$(groff -man -Tascii -P-cbou "$page")
missing=$("$tool" /? | grep -o '^/[^ ]*' | sort -u | while read -r option; do
    grep -qwF -- "$option" <<<"$text" || echo "$option"
done)
[ -z "$missing" ] || { echo "the manual page does not name:" $missing && exit 1; }
echo "manual page: no warning; it names every option of the help"
