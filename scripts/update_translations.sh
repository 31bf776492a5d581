#!/usr/bin/env bash
# Collects the program's translatable texts from src/ into the .ts files,
# keeping the existing translations. New texts arrive unfinished: translate
# them (Qt Linguist or an editor) and mark them finished before committing.
set -euo pipefail
cd "$(dirname "$0")/.."
LUPDATE=${LUPDATE:-lupdate}
ts=(resources/translations/vistrel_zh_CN.ts resources/translations/vistrel_zh_TW.ts)

"$LUPDATE" src -ts "${ts[@]}"
# Texts that moved to another class keep their translation.
python3 scripts/fill_translations.py "${ts[@]}"
# Bring the files back into lupdate's own layout after the edit above.
"$LUPDATE" src -ts "${ts[@]}" >/dev/null
