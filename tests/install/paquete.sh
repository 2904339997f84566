#!/usr/bin/env bash
# The Debian package as a user gets it: built from the built tree, its control fields and
# files, the desktop entry and the AppStream data validated, lintian where installed; then
# unpacked where it lies and started twice for a new user, offscreen.
set -euo pipefail
build=$1
version=$2
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps appstreamcli desktop-file-validate sqlite3 man; do
    command -v "$tool" > /dev/null || skip "$tool is not installed (make deps installs it)"
done
tmp=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill "$pid" 2> /dev/null || true; rm -rf "$tmp"' EXIT

# Only the package's files are installed from the tree; nothing is built again.
cpack --config "$build/CPackConfig.cmake" -B "$tmp/cpack" > "$tmp/cpack.log" 2>&1 ||
    { cat "$tmp/cpack.log"; fail "cpack did not make the package"; }
deb="$tmp/cpack/tritodex_${version}_amd64.deb"
[ -s "$deb" ] || fail "no $(basename "$deb") (made: $(ls "$tmp/cpack"))"

campo() { dpkg-deb -f "$deb" "$1"; }
[ "$(campo Package)" = tritodex ] || fail "package name $(campo Package)"
[ "$(campo Version)" = "$version" ] || fail "package version $(campo Version)"
depends=$(campo Depends)
for d in libqt6widgets6 libqt6sql6 libproj libzip zlib1g proj-data libqt6sql6-sqlite; do
    grep -q "$d" <<< "$depends" || fail "Depends lacks $d: $depends"
done

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in usr/bin/tritodex usr/bin/tritodex_mkdb usr/share/tritodex/Tritodex.pdf \
         usr/share/tritodex/Tritodex.mdb usr/share/tritodex/translations/qtbase_es.qm \
         usr/share/tritodex/refdata/especie.csv usr/share/icons/hicolor/scalable/apps/tritodex.svg \
         usr/share/icons/hicolor/48x48/apps/tritodex.png usr/share/icons/hicolor/128x128/apps/tritodex.png \
         usr/share/icons/hicolor/256x256/apps/tritodex.png usr/share/applications/tritodex.desktop \
         usr/share/man/man1/tritodex.1.gz usr/share/man/man1/tritodex_mkdb.1.gz \
         usr/share/doc/tritodex/copyright usr/share/doc/tritodex/changelog.gz; do
    grep -qxF "./$f" <<< "$files" || fail "the package lacks /$f"
done
# A folder install's files stay out of it.
if grep -E '^\./usr/(tritodex|Tritodex\.pdf)$' <<< "$files"; then fail "folder install files in the package"; fi

raiz="$tmp/raiz"
dpkg-deb -x "$deb" "$raiz"
desktop-file-validate "$raiz/usr/share/applications/tritodex.desktop" ||
    fail "the desktop entry does not validate"
grep -qx 'Exec=tritodex' "$raiz/usr/share/applications/tritodex.desktop" || fail "Exec is not the program"
metainfo=$(ls "$raiz"/usr/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" || fail "the AppStream metadata does not validate"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata lacks release $version"
shot=$(sed -nE 's|.*<image>.*/([^/]+\.png)</image>.*|\1|p' "$metainfo")
[ -s "$build/docs/capturas/$shot" ] || fail "the screenshot $shot is not one the help document makes"
man -l "$raiz/usr/share/man/man1/tritodex.1.gz" 2> /dev/null | grep -q -- --carpetas ||
    fail "the manual page does not read"

if command -v lintian > /dev/null; then
    lintian --tag-display-limit 0 "$deb" > "$tmp/lintian.log" 2>&1 || true
    cat "$tmp/lintian.log"
    if grep -q '^E:' "$tmp/lintian.log"; then fail "lintian reports errors"; fi
else
    echo "lintian is not installed: not run"
fi

# The unpacked program for a new user: its own home, and the session's folders in it.
bin="$raiz/usr/bin/tritodex"
[ "$("$bin" --version)" = "Tritodex $version" ] || fail "--version says $("$bin" --version)"
casa="$tmp/casa"
mkdir -p "$casa" "$tmp/trabajo" "$tmp/run" "$tmp/temporal"
chmod 700 "$tmp/run"
entorno=(env -i PATH="$PATH" HOME="$casa" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen
         XDG_RUNTIME_DIR="$tmp/run" TMPDIR="$tmp/temporal")
datos="$casa/.local/share/Tritodex"
carpetas=$(cd "$tmp/trabajo" && "${entorno[@]}" "$bin" --carpetas)
for linea in "Base de datos: $datos/Tritodex.mdb" "Copias de seguridad: $datos/copias" \
        "Documento de ayuda: $raiz/usr/share/tritodex/Tritodex.pdf" \
        "Traducción de Qt: $raiz/usr/share/tritodex/translations/qtbase_es.qm"; do
    grep -qxF "$linea" <<< "$carpetas" || fail "--carpetas lacks «$linea»: $carpetas"
done
antes=$(find "$raiz" -printf '%p %s %T@\n' | sort)

# Starts the program and waits until it holds the database open (and, on the first start,
# has made the day's backup copy), then ends it.
arrancar() {
    (cd "$tmp/trabajo" && exec "${entorno[@]}" "$bin" > "$tmp/salida.log" 2>&1) &
    pid=$!
    for _ in $(seq 600); do
        if ls -l "/proc/$pid/fd" 2> /dev/null | grep -q "$datos/Tritodex.mdb" &&
            [ -n "$(ls -A "$datos/copias" 2> /dev/null)" ]; then
            sleep 1
            kill "$pid"
            wait "$pid" 2> /dev/null || true
            pid=
            if grep -q "no Spanish translation" "$tmp/salida.log"; then
                fail "no translation: $(cat "$tmp/salida.log")"
            fi
            return 0
        fi
        kill -0 "$pid" 2> /dev/null || fail "the program ended: $(cat "$tmp/salida.log")"
        sleep 0.1
    done
    fail "the program did not open $datos/Tritodex.mdb: $(cat "$tmp/salida.log")"
}

arrancar
[ "$(sqlite3 "$datos/Tritodex.mdb" 'SELECT count(*) FROM observacion')" = 0 ] ||
    fail "the new database is not the seed"
[ "$(sqlite3 "$datos/Tritodex.mdb" 'SELECT count(*) FROM especie')" -gt 100 ] ||
    fail "the new database lacks the species"
ls "$datos/copias/"* > /dev/null 2>&1 || fail "no backup copy beside the user's database"

sqlite3 "$datos/Tritodex.mdb" \
    "INSERT INTO observacion (observador1, fecha, especie) VALUES ('MGL', '2026-04-01', 'SALSAL');"
arrancar
[ "$(sqlite3 "$datos/Tritodex.mdb" 'SELECT count(*) FROM observacion')" = 1 ] ||
    fail "the second start lost the record"

# Nothing written beside the program, in the working folder or among temporary files.
[ "$(find "$raiz" -printf '%p %s %T@\n' | sort)" = "$antes" ] || fail "the program wrote in its tree"
fuera=$(find "$tmp/trabajo" "$tmp/temporal" -mindepth 1)
[ -z "$fuera" ] || fail "the program wrote outside its home: $fuera"
echo "package: ok ($(basename "$deb"), $(dpkg-deb -f "$deb" Installed-Size) KiB)"
