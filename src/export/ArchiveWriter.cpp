#include "ArchiveWriter.h"

#include <QDir>
#include <QFileInfo>
#include <zip.h>

namespace {
QString Describir(zip_error_t *e) {
    return QString::fromLocal8Bit(zip_error_strerror(e));
}
} // namespace

bool ArchiveWriter::Empaquetar(const QString &archivo, const QList<Entrada> &entradas,
                               QString *error, Modo modo) {
    const QString nativo = QDir::toNativeSeparators(archivo);
    const auto fallo = [&](const QString &motivo) {
        *error = QStringLiteral("No se ha podido escribir el archivo comprimido %1 (%2).")
                     .arg(nativo, motivo);
        return false;
    };
    for (const Entrada &e : entradas)
        if (!QFileInfo(e.ruta).isFile())
            return fallo(
                QStringLiteral("falta el archivo %1").arg(QDir::toNativeSeparators(e.ruta)));

    int codigo = 0;
    // libzip writes the new archive to a temporary file beside it and renames it over the
    // old one only once the whole archive is written.
    zip_t *zip =
        zip_open(QFile::encodeName(archivo).constData(),
                 modo == Modo::Sustituir ? ZIP_CREATE | ZIP_TRUNCATE : ZIP_CREATE, &codigo);
    if (!zip) {
        zip_error_t e;
        zip_error_init_with_code(&e, codigo);
        const QString motivo = codigo == ZIP_ER_NOZIP || codigo == ZIP_ER_INCONS
                                   ? QStringLiteral("ya existe un archivo con ese nombre que no "
                                                    "es un archivo zip válido; cámbielo de "
                                                    "nombre o bórrelo")
                                   : Describir(&e);
        zip_error_fini(&e);
        return fallo(motivo);
    }
    for (const Entrada &e : entradas) {
        zip_source_t *origen = zip_source_file(zip, QFile::encodeName(e.ruta).constData(), 0, -1);
        zip_int64_t indice = -1;
        if (origen)
            indice = zip_file_add(zip, e.nombre.toUtf8().constData(), origen,
                                  ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        // The zip program's default level: libzip's own is the slowest one.
        if (indice < 0 ||
            zip_set_file_compression(zip, zip_uint64_t(indice), ZIP_CM_DEFLATE, 6) < 0) {
            const QString motivo = Describir(zip_get_error(zip));
            if (origen && indice < 0) zip_source_free(origen);
            zip_discard(zip);
            return fallo(motivo);
        }
    }
    if (zip_close(zip) < 0) {
        const QString motivo = Describir(zip_get_error(zip));
        zip_discard(zip);
        return fallo(motivo);
    }
    return true;
}
