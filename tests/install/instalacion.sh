#!/usr/bin/env bash
# An install into an empty folder and a second one over a folder holding a database; the
# desktop entry; the help document's chapters and screenshots.
set -euo pipefail
build=$1
source=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

dest="$tmp/Tritodex Campo"
cmake --install "$build" --prefix "$dest" > "$tmp/install1.log"
for f in tritodex Tritodex.pdf Tritodex.mdb share/applications/tritodex.desktop \
         share/icons/hicolor/256x256/apps/tritodex.png; do
    [ -s "$dest/$f" ] || fail "the install lacks $f"
done
[ -x "$dest/tritodex" ] || fail "the program is not executable"

entry="$dest/share/applications/tritodex.desktop"
desktop-file-validate "$entry" || fail "the desktop entry does not validate"
grep -qxF "Exec=\"$dest/tritodex\"" "$entry" || fail "the entry does not start the installed program"
grep -qxF "Icon=$dest/share/icons/hicolor/256x256/apps/tritodex.png" "$entry" ||
    fail "the entry does not name the installed icon"

# The user's records survive a second install byte for byte.
sqlite3 "$dest/Tritodex.mdb" \
    "INSERT INTO observacion (observador1, fecha, especie) VALUES ('MGL', '2026-04-01', 'SALSAL');"
before=$(sha256sum < "$dest/Tritodex.mdb")
cmake --install "$build" --prefix "$dest" > "$tmp/install2.log"
after=$(sha256sum < "$dest/Tritodex.mdb")
[ "$before" = "$after" ] || fail "the second install changed the database"
grep -q "Kept existing database" "$tmp/install2.log" || fail "the second install did not say it kept the database"

# The help document: its chapters, and every screenshot the text names made and embedded.
# The typesetter joins fi and fl into one glyph: read them back as two letters.
text=$(pdftotext -layout "$dest/Tritodex.pdf" - | sed "s/ﬁ/fi/g; s/ﬂ/fl/g")
for chapter in "Índice" "Para qué sirve Tritodex" "Primeros pasos: los observadores" \
        "Registrar una observación" "En una localidad nueva: coordenadas y cuadrados UTM" \
        "«Nueva» y «Duplicar»" "Buscar, modificar y borrar observaciones" \
        "Las hojas de cálculo" "Las localidades" "Los motivos" "El mapa de distribución" "Fenología" "Exportar para la asociación" \
        "Dónde están sus datos y las copias de seguridad" "Qué significan los mensajes" \
        "Licencia y fuentes"; do
    grep -qF "$chapter" <<< "$text" || fail "the help document lacks the chapter «$chapter»"
done
grep -qE "página 1 de [0-9]+" <<< "$text" || fail "the pages are not numbered"
grep -qE "Observaciones +Importar" <<< "$text" || fail "the menu table lacks «Importar»"
# A heading never ends a page: what it introduces follows it there.
headings=$(grep -oE '<h[1-3]>[^<]+</h[1-3]>' "$source/docs/Tritodex.html" | sed -E 's/<[^>]+>//g')
pages=$(pdfinfo "$dest/Tritodex.pdf" | awk '/^Pages:/ {print $2}')
for ((n = 1; n <= pages; n++)); do
    last=$(pdftotext -layout -f "$n" -l "$n" "$dest/Tritodex.pdf" - | sed "s/ﬁ/fi/g; s/ﬂ/fl/g" |
        tr -d '\f' | sed -E '/Tritodex: tutorial · página/d; s/^ +//; s/ +$//; /^$/d' | tail -n 1)
    if grep -qxF -- "$last" <<< "$headings"; then fail "page $n ends with the heading «$last»"; fi
done
shots=$(grep -oE '<img src="[^"]+\.png">' "$source/docs/Tritodex.html" | sed -E 's/<img src="([^"]+)">/\1/' | sort -u)
count=0
for shot in $shots; do
    [ -s "$build/docs/capturas/$shot" ] || fail "the screenshot $shot was not made"
    count=$((count + 1))
done
images=$(pdfimages -list "$dest/Tritodex.pdf" | tail -n +3 | grep -c image || true)
[ "$images" -ge "$count" ] || fail "the document embeds $images pictures for $count screenshots"
echo "install and help document: ok ($count screenshots, $images pictures)"
