#!/usr/bin/env bash
# Fails when a translatable text of the sources is missing from a .ts file
# or left unfinished there: lupdate runs on a copy of each file, so the tree
# is never changed, and every unfinished message of the copy is named.
#   check_translations.sh [source folder [ts file...]]
# (default: src/ and both files under resources/translations/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
LUPDATE=${LUPDATE:-lupdate}
src=${1:-$root/src}
if [ $# -gt 1 ]; then
    shift
    ts=("$@")
else
    ts=("$root"/resources/translations/vistrel_zh_CN.ts "$root"/resources/translations/vistrel_zh_TW.ts)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for file in "${ts[@]}"; do
    copy=$work/$(basename "$file")
    cp "$file" "$copy"
    "$LUPDATE" -silent "$src" -ts "$copy" >/dev/null
    missing=$(python3 - "$copy" <<'PY'
import sys
import xml.etree.ElementTree as tree
for context in tree.parse(sys.argv[1]).getroot().iter("context"):
    for message in context.iter("message"):
        translation = message.find("translation")
        if translation is not None and translation.get("type") == "unfinished":
            print("  %s: %s" % (context.findtext("name"), message.findtext("source")))
PY
)
    if [ -n "$missing" ]; then
        echo "$(basename "$file"): texts without a finished translation:"
        echo "$missing"
        failed=1
    fi
done
if [ "$failed" = 0 ]; then
    echo "Translations: every text of the sources is translated in ${#ts[@]} files."
fi
exit "$failed"
