#include "ArchiveWriter.h"

#include "data/ArchivoComprobado.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <zip.h>

namespace {

// libzip's failures in the user's words: a failure of the system by its cause, the
// library's own by what went wrong (its texts are English).
QString Describir(zip_error_t *e) {
    const int sistema = zip_error_code_system(e);
    if (zip_error_system_type(e) == ZIP_ET_SYS && sistema != 0) return Causas::DeErrno(sistema);
    switch (zip_error_code_zip(e)) {
    case ZIP_ER_MEMORY:
        return QStringLiteral("no hay memoria suficiente");
    case ZIP_ER_READ:
    case ZIP_ER_OPEN:
    case ZIP_ER_NOENT:
        return QStringLiteral("no se ha podido leer uno de los archivos que lleva");
    case ZIP_ER_WRITE:
    case ZIP_ER_CLOSE:
    case ZIP_ER_TMPOPEN:
    case ZIP_ER_RENAME:
        return QStringLiteral("el disco no ha admitido lo escrito");
    case ZIP_ER_SEEK:
    case ZIP_ER_TELL:
    case ZIP_ER_REMOVE:
        return QStringLiteral("el disco ha dado un error de lectura o escritura");
    case ZIP_ER_NOZIP:
    case ZIP_ER_INCONS:
    case ZIP_ER_CRC:
    case ZIP_ER_EOF:
    case ZIP_ER_COMPRESSED_DATA:
        return QStringLiteral("el archivo comprimido que ya existe está dañado");
    case ZIP_ER_MULTIDISK:
    case ZIP_ER_COMPNOTSUPP:
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
        return QStringLiteral("el archivo comprimido que ya existe está dividido, cifrado o "
                              "comprimido de un modo que no se puede leer");
    case ZIP_ER_RDONLY:
        return QStringLiteral("el archivo es de solo lectura");
    case ZIP_ER_ZLIB:
        return QStringLiteral("ha fallado la compresión");
    case ZIP_ER_OPNOTSUPP:
        return QStringLiteral("no es un archivo que se pueda escribir");
    default:
        return QStringLiteral("error interno número %1 de la biblioteca de archivos "
                              "comprimidos")
            .arg(zip_error_code_zip(e));
    }
}

// The system error behind a libzip failure, 0 when there is none.
int Errno(zip_error_t *e) {
    return zip_error_system_type(e) == ZIP_ET_SYS ? zip_error_code_system(e) : 0;
}

bool Disco(int codigo) {
    return codigo == ENOSPC || codigo == EDQUOT;
}

// What libzip reports while it writes, handed to whoever follows the work.
struct Estado {
    const Avance *avance;
    double parte = 0;
    bool cancelado = false;
};

} // namespace

bool ArchiveWriter::Empaquetar(const QString &archivo, const QList<Entrada> &entradas,
                               QString *error, Modo modo, const Avance &avance) {
    const QString nativo = QDir::toNativeSeparators(archivo);
    const auto fallo = [&](const QString &motivo) {
        *error = QStringLiteral("No se ha podido escribir el archivo comprimido %1 (%2).")
                     .arg(nativo, motivo);
        return false;
    };
    // A full disk is said as every writer of the program says it; so is a write that failed
    // with no cause given, which the free space then explains.
    const auto falloDe = [&](zip_error_t *e) {
        const int codigo = Errno(e), z = zip_error_code_zip(e);
        const bool escritura =
            z == ZIP_ER_WRITE || z == ZIP_ER_CLOSE || z == ZIP_ER_TMPOPEN || z == ZIP_ER_RENAME;
        if (!Disco(codigo) && !(escritura && codigo == 0)) return fallo(Describir(e));
        *error = Causas::AlEscribir(archivo, codigo);
        return false;
    };
    if (QFileInfo(archivo).isDir()) return fallo(Causas::DeErrno(EISDIR));
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
        if (codigo == ZIP_ER_NOZIP || codigo == ZIP_ER_INCONS) {
            zip_error_fini(&e);
            return fallo(QStringLiteral("ya existe un archivo con ese nombre que no es un archivo "
                                        "zip válido; cámbielo de nombre o bórrelo"));
        }
        const bool r = falloDe(&e);
        zip_error_fini(&e);
        return r;
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
    Estado estado{&avance};
    if (avance) {
        zip_register_progress_callback_with_state(
            zip, 0.01,
            [](zip_t *, double parte, void *d) { static_cast<Estado *>(d)->parte = parte; },
            nullptr, &estado);
        zip_register_cancel_callback_with_state(
            zip,
            [](zip_t *, void *d) {
                auto *s = static_cast<Estado *>(d);
                s->cancelado = !Avances::Seguir(*s->avance, qint64(s->parte * 1000), 1000);
                return s->cancelado ? 1 : 0;
            },
            nullptr, &estado);
    }
    if (zip_close(zip) < 0) {
        // libzip has removed its temporary file: the old archive is as it was.
        zip_error_t *e = zip_get_error(zip);
        const bool cancelado = estado.cancelado || zip_error_code_zip(e) == ZIP_ER_CANCELLED;
        const bool r = cancelado ? (*error = Avances::kCancelado, false) : falloDe(e);
        zip_discard(zip);
        return r;
    }
    // The committed archive is opened again: a write the disk did not keep shows here.
    zip_t *leido = zip_open(QFile::encodeName(archivo).constData(), ZIP_RDONLY, &codigo);
    const bool completo = leido && zip_get_num_entries(leido, 0) >= entradas.size();
    if (leido) zip_discard(leido);
    if (!completo) {
        QFile::remove(archivo);
        *error = Causas::AlEscribir(archivo, 0);
        return false;
    }
    return true;
}
