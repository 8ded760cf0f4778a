#!/usr/bin/env bash
# Keeps the windows' translations in step with the code: lupdate reads every
# text the operator meets in ffsload-gui (tr() and QT_TRANSLATE_NOOP in the
# Qt code, the operator-text catalogue, the panel file's texts) into
# translations/ffsload_LANG.ts, which a translator finishes in Qt Linguist.
#
#   scripts/update_translations.sh            updates the .ts files in place
#   scripts/update_translations.sh --check    updates copies of them and
#       fails when a language lacks a text or leaves one unfinished, or when a
#       translation drops a placeholder (%1..%9) of its source (CTest runs it)
#   scripts/update_translations.sh --add LANG starts translations/ffsload_LANG.ts
#
# Locations are left out of the .ts files: a moved line then changes nothing
# in them, and three branches can edit the code without clashing there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
lupdate=${LUPDATE:-}
if [ -z "$lupdate" ]; then
  for candidate in /usr/lib/qt6/bin/lupdate "$(command -v lupdate6 || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then lupdate=$candidate; break; fi
  done
fi
if [ -z "$lupdate" ]; then
  echo "SKIP: lupdate is not installed (Debian package qt6-l10n-tools)" >&2
  exit 77
fi

mode=update
case "${1:-}" in
  --check) mode=check ;;
  --add) mode=add; new_language=${2:?--add needs a language code such as fr}
    ;;
  "") ;;
  *) echo "usage: $0 [--check | --add LANG]" >&2; exit 2 ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# lupdate tells a form by its name's ending; the panel file keeps its own name.
ln -s "$root/src/ui/download.uir" "$work/download.ui"
sources=("$root"/src/app/*.cpp "$root"/src/app/*.h "$root"/src/platform/qt_*.cpp
         "$root"/src/platform/qt_*.h "$root"/src/platform/operator_text_catalogue.cpp
         "$work/download.ui")

case $mode in
  add)
    target=$root/translations/ffsload_$new_language.ts
    [ -e "$target" ] && { echo "$target exists already" >&2; exit 1; }
    "$lupdate" -silent -I "$root/src" -locations none -target-language "$new_language" "${sources[@]}" \
      -ts "$target"
    echo "started $target: translate it in Qt Linguist (linguist $target)"
    ;;
  update)
    "$lupdate" -no-obsolete -I "$root/src" -locations none "${sources[@]}" -ts "$root"/translations/ffsload_*.ts
    ;;
  check)
    mkdir "$work/ts"
    cp "$root"/translations/ffsload_*.ts "$work/ts/"
    "$lupdate" -no-obsolete -I "$root/src" -locations none "${sources[@]}" -ts "$work"/ts/ffsload_*.ts |
      grep -E "Updating|Found" || true
    python3 "$root/scripts/translation_gaps.py" "$work"/ts/ffsload_*.ts
    ;;
esac
