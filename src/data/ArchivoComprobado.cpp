#include "ArchivoComprobado.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>

namespace {

QString Nombre(const QString &ruta) {
    return QDir::toNativeSeparators(ruta);
}

// Below this a failed write is taken for a full disk even when errno was lost on the way.
constexpr qint64 kCasiLleno = 1 << 20;

bool Lleno(int codigo, const QString &ruta) {
    if (codigo == ENOSPC || codigo == EDQUOT) return true;
    if (codigo != 0) return false;
    const qint64 libre = Causas::EspacioLibre(ruta);
    return libre >= 0 && libre < kCasiLleno;
}

} // namespace

QString Causas::DeErrno(int codigo) {
    switch (codigo) {
    case ENOSPC:
        return QStringLiteral("el disco está lleno");
    case EDQUOT:
        return QStringLiteral("se ha agotado el espacio permitido en el disco");
    case EACCES:
    case EPERM:
        return QStringLiteral("no hay permiso para escribir en la carpeta");
    case EROFS:
        return QStringLiteral("el disco es de solo lectura");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("la carpeta no existe");
    case EISDIR:
        return QStringLiteral("hay una carpeta con ese nombre");
    case EIO:
        return QStringLiteral("el disco ha dado un error de lectura o escritura");
    case ENAMETOOLONG:
        return QStringLiteral("el nombre es demasiado largo");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("hay demasiados archivos abiertos");
    case EFBIG:
        return QStringLiteral("el archivo es demasiado grande para el disco");
    default:
        return QStringLiteral("error del sistema número %1").arg(codigo);
    }
}

QString Causas::AlEscribir(const QString &ruta, int codigo) {
    if (Lleno(codigo, ruta))
        return QStringLiteral("El disco está lleno: no se ha podido escribir el archivo %1.")
            .arg(Nombre(ruta));
    if (codigo == 0)
        return QStringLiteral("No se ha podido escribir el archivo %1.").arg(Nombre(ruta));
    return QStringLiteral("No se ha podido escribir el archivo %1: %2.")
        .arg(Nombre(ruta), DeErrno(codigo));
}

bool Causas::ComprobarEscrito(const QString &ruta, QString *error) {
    const QFileInfo info(ruta);
    if (info.isFile() && info.size() > 0) return true;
    if (error) *error = AlEscribir(ruta, 0);
    return false;
}

bool Causas::DiscoLleno(const QString &ruta, int codigo) {
    return Lleno(codigo, ruta);
}

qint64 Causas::EspacioLibre(const QString &ruta) {
    const QStorageInfo disco(QFileInfo(ruta).absolutePath());
    return disco.isValid() ? disco.bytesAvailable() : -1;
}

ArchivoComprobado::ArchivoComprobado(const QString &ruta) : ruta_(ruta), archivo_(ruta) {}

ArchivoComprobado::~ArchivoComprobado() {
    Descartar();
}

bool ArchivoComprobado::Fallo(QString *error) {
    const int codigo = errno_;
    Descartar();
    if (error) *error = Causas::AlEscribir(ruta_, codigo);
    return false;
}

bool ArchivoComprobado::Abrir(QString *error) {
    errno = 0;
    if (archivo_.open(QIODevice::WriteOnly)) return true;
    errno_ = errno;
    if (error) {
        if (Lleno(errno_, ruta_))
            *error = Causas::AlEscribir(ruta_, errno_);
        else
            *error = QStringLiteral("No se puede crear el archivo %1: %2.")
                         .arg(Nombre(ruta_), errno_ ? Causas::DeErrno(errno_)
                                                    : QStringLiteral("no se puede escribir en "
                                                                     "la carpeta"));
    }
    return false;
}

bool ArchivoComprobado::Escribir(const QByteArray &datos) {
    if (roto_ || !archivo_.isOpen()) return false;
    errno = 0;
    if (archivo_.write(datos) != datos.size()) {
        errno_ = errno;
        roto_ = true;
    }
    return !roto_;
}

bool ArchivoComprobado::Confirmar(QString *error) {
    if (!archivo_.isOpen()) {
        if (error) *error = Causas::AlEscribir(ruta_, errno_);
        return false;
    }
    // Qt may report a commit as done after a failed flush of a small file: flush first, and
    // compare what the file holds with what was written before it replaces the old one.
    const qint64 esperado = archivo_.pos();
    errno = 0;
    if (roto_ || archivo_.error() != QFileDevice::NoError || !archivo_.flush()) {
        if (!errno_) errno_ = errno;
        return Fallo(error);
    }
    if (archivo_.size() != esperado) return Fallo(error);
    errno = 0;
    if (!archivo_.commit()) {
        errno_ = errno;
        if (error) *error = Causas::AlEscribir(ruta_, errno_);
        return false;
    }
    if (QFileInfo(ruta_).size() != esperado) {
        if (error) *error = Causas::AlEscribir(ruta_, 0);
        return false;
    }
    return true;
}

void ArchivoComprobado::Descartar() {
    // A cancelled commit removes the temporary file and leaves the old one.
    if (archivo_.isOpen()) {
        archivo_.cancelWriting();
        archivo_.commit();
    }
}
