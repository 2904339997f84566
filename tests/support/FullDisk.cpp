#include "FullDisk.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

QString Sistema(const char *que) {
    return QStringLiteral("%1: %2").arg(QLatin1String(que),
                                        QString::fromLocal8Bit(strerror(errno)));
}

bool EscribirEn(const char *ruta, const QByteArray &texto) {
    QFile f(QString::fromLatin1(ruta));
    return f.open(QIODevice::WriteOnly) && f.write(texto) == texto.size();
}

// Mounts made from here on are this test's alone.
bool EspacioPropio(QString *error) {
    static int hecho = -1;
    static QString motivo;
    if (hecho < 0) {
        hecho = 0;
        if (unshare(CLONE_NEWNS) != 0) {
            const uid_t uid = getuid();
            const gid_t gid = getgid();
            if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
                motivo = Sistema("unshare(CLONE_NEWUSER | CLONE_NEWNS)");
                *error = motivo;
                return false;
            }
            if (!EscribirEn("/proc/self/setgroups", "deny") ||
                !EscribirEn("/proc/self/uid_map", QByteArray::number(uid).prepend("0 ") + " 1") ||
                !EscribirEn("/proc/self/gid_map", QByteArray::number(gid).prepend("0 ") + " 1")) {
                motivo = Sistema("uid_map");
                *error = motivo;
                return false;
            }
        }
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            motivo = Sistema("mount --make-rprivate /");
            *error = motivo;
            return false;
        }
        hecho = 1;
    }
    if (hecho == 0) *error = motivo;
    return hecho == 1;
}

QString Relleno(const QString &carpeta) {
    return carpeta + QStringLiteral("/.relleno");
}

} // namespace

FullDisk::FullDisk(const QString &carpeta, int kb) : carpeta_(carpeta) {
    if (!QDir().mkpath(carpeta)) {
        error_ = QStringLiteral("no se puede crear %1").arg(carpeta);
        return;
    }
    if (!EspacioPropio(&error_)) return;
    const QByteArray opciones = "size=" + QByteArray::number(kb) + "k";
    if (mount("tmpfs", QFile::encodeName(carpeta).constData(), "tmpfs", 0, opciones.constData()) !=
        0) {
        error_ = Sistema("mount -t tmpfs");
        return;
    }
    ok_ = true;
}

FullDisk::~FullDisk() {
    if (ok_) umount2(QFile::encodeName(carpeta_).constData(), MNT_DETACH);
}

bool FullDisk::Llenar() {
    const int fd = ::open(QFile::encodeName(Relleno(carpeta_)).constData(),
                          O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0) return errno == ENOSPC;
    // Byte by byte at the end, so that not even a part of a page is left.
    static const char bloque[4096] = {};
    for (size_t n = sizeof bloque; n > 0;)
        if (::write(fd, bloque, n) < 0) n /= 2;
    const bool lleno = errno == ENOSPC;
    ::close(fd);
    return lleno;
}

void FullDisk::Vaciar() {
    QFile::remove(Relleno(carpeta_));
}
