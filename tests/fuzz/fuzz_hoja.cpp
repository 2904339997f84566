// The program's own observation spreadsheet (.xlsx). An input that is an archive is read as
// it comes, which tries the archive's own structure; any other input is the sheet's XML,
// optionally followed by the separator line and the shared strings' XML, packed into a sound
// archive first, so that the sheet's reading is explored past the archive's checksums.
#include "Comprobaciones.h"

#include <zip.h>

namespace {

const QByteArray kSeparador = "\n--sharedStrings.xml--\n";

QByteArray Empaquetar(const QByteArray &hoja, const QByteArray &compartidas, bool conCompartidas) {
    QByteArray archivo;
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t *destino = zip_source_buffer_create(nullptr, 0, 0, &ze);
    zip_t *zip = destino ? zip_open_from_source(destino, ZIP_TRUNCATE, &ze) : nullptr;
    zip_error_fini(&ze);
    if (!zip) {
        if (destino) zip_source_free(destino);
        return archivo;
    }
    zip_source_keep(destino);
    auto anadir = [zip](const char *nombre, const QByteArray &datos) {
        zip_source_t *s = zip_source_buffer(zip, datos.constData(), zip_uint64_t(datos.size()), 0);
        const zip_int64_t i = s ? zip_file_add(zip, nombre, s, ZIP_FL_OVERWRITE) : -1;
        if (i < 0 && s) zip_source_free(s);
        if (i >= 0) zip_set_file_compression(zip, zip_uint64_t(i), ZIP_CM_STORE, 0);
    };
    anadir("xl/worksheets/sheet1.xml", hoja);
    if (conCompartidas) anadir("xl/sharedStrings.xml", compartidas);
    if (zip_close(zip) != 0) {
        zip_discard(zip);
    } else if (zip_source_open(destino) == 0) {
        zip_source_seek(destino, 0, SEEK_END);
        const zip_int64_t n = zip_source_tell(destino);
        zip_source_seek(destino, 0, SEEK_SET);
        if (n > 0) {
            archivo.resize(qsizetype(n));
            if (zip_source_read(destino, archivo.data(), zip_uint64_t(n)) != n) archivo.clear();
        }
        zip_source_close(destino);
    }
    zip_source_free(destino);
    return archivo;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t n) {
    const QByteArray entrada = Copia(datos, n);
    if (entrada.startsWith("PK\x03\x04")) {
        ComprobarLectura(Import::LeerDatos(entrada));
        return 0;
    }
    const qsizetype corte = entrada.indexOf(kSeparador);
    const QByteArray hoja = corte < 0 ? entrada : entrada.left(corte);
    const QByteArray compartidas =
        corte < 0 ? QByteArray() : entrada.mid(corte + kSeparador.size());
    const QByteArray archivo = Empaquetar(hoja, compartidas, corte >= 0);
    if (!archivo.startsWith("PK\x03\x04")) return -1;
    ComprobarLectura(Import::LeerDatos(archivo));
    return 0;
}
