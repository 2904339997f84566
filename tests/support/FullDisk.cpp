#include "FullDisk.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

QString Sistema(const char *que) {
    return QStringLiteral("%1: %2").arg(QLatin1String(que),
                                        QString::fromLocal8Bit(strerror(errno)));
}

bool EscribirEn(const char *ruta, const QByteArray &texto) {
    const int fd = ::open(ruta, O_WRONLY);
    const bool ok = fd >= 0 && ::write(fd, texto.constData(), size_t(texto.size())) == texto.size();
    if (fd >= 0) ::close(fd);
    return ok;
}

// Without root the mounts need a user namespace, which only a process of one thread may
// enter: it is entered before main, keeping the user's own ids and, of the namespace's
// capabilities, only the one that mounts, so that file permissions bind as before.
// Empty when entered, else why not.
QString EntrarComoUsuario() {
    const QByteArray uid = QByteArray::number(getuid()), gid = QByteArray::number(getgid());
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return Sistema("unshare(CLONE_NEWUSER | CLONE_NEWNS)");
    if (!EscribirEn("/proc/self/setgroups", "deny") ||
        !EscribirEn("/proc/self/uid_map", uid + ' ' + uid + " 1") ||
        !EscribirEn("/proc/self/gid_map", gid + ' ' + gid + " 1"))
        return Sistema("/proc/self/uid_map");
    __user_cap_header_struct cabecera{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct datos[2] = {};
    datos[CAP_TO_INDEX(CAP_SYS_ADMIN)].effective = CAP_TO_MASK(CAP_SYS_ADMIN);
    datos[CAP_TO_INDEX(CAP_SYS_ADMIN)].permitted = CAP_TO_MASK(CAP_SYS_ADMIN);
    if (syscall(SYS_capset, &cabecera, datos) != 0) return Sistema("capset");
    return QString();
}
const bool gRaiz = geteuid() == 0;
const QString gSinUsuario = gRaiz ? QString() : EntrarComoUsuario();
const bool gEnUsuario = !gRaiz && gSinUsuario.isEmpty();

// Mounts made from here on are this test's alone. Root unshares the mounts of the calling
// thread only (the one that writes): the process may have other threads by now.
bool EspacioPropio(QString *error) {
    // Made once; empty when the mounts are the test's own.
    static const QString motivo = []() -> QString {
        if (!gEnUsuario && geteuid() != 0) return gSinUsuario;
        if (!gEnUsuario && unshare(CLONE_NEWNS) != 0) return Sistema("unshare(CLONE_NEWNS)");
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return Sistema("mount --make-rprivate /");
        return QString();
    }();
    if (!motivo.isEmpty()) *error = motivo;
    return motivo.isEmpty();
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
    ok_ = mount("tmpfs", QFile::encodeName(carpeta).constData(), "tmpfs", 0,
                opciones.constData()) == 0;
    if (!ok_) error_ = Sistema("mount -t tmpfs");
}

FullDisk::~FullDisk() {
    if (ok_) umount2(QFile::encodeName(carpeta_).constData(), MNT_DETACH);
}

bool FullDisk::Llenar() {
    const int fd = ::open(QFile::encodeName(Relleno(carpeta_)).constData(),
                          O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0) return errno == ENOSPC;
    // Ever smaller writes down to one byte, so that not even part of a page is left.
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

bool FullDisk::SoloLectura(bool si) {
    return mount(nullptr, QFile::encodeName(carpeta_).constData(), nullptr,
                 MS_REMOUNT | (si ? MS_RDONLY : 0), nullptr) == 0;
}
