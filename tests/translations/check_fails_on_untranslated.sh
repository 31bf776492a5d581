#!/usr/bin/env bash
# The translation check must fail, naming the text, when the sources hold a
# text that no .ts file translates: one is added to a copy of the sources.
set -euo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/src" "$work/src"
cat >"$work/src/Untranslated.cpp" <<'CPP'
#include <QCoreApplication>
const char* UntranslatedText()
{
    return QT_TRANSLATE_NOOP("CVistrel", "A text nobody has translated");
}
CPP
if "$root/scripts/check_translations.sh" "$work/src" >"$work/out.txt" 2>&1; then
    echo "the check passed with an untranslated text"
    exit 1
fi
for lang in zh_CN zh_TW; do
    grep -A1000 "vistrel_$lang.ts" "$work/out.txt" | grep -q "CVistrel: A text nobody has translated" || {
        cat "$work/out.txt"
        echo "vistrel_$lang.ts: the untranslated text is not named"
        exit 1
    }
done
# Nothing of the tree was touched.
git -C "$root" diff --quiet -- resources/translations || { echo "the .ts files were changed"; exit 1; }
echo "1 passed, 0 failed"
