#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <sched.h>
#include <sys/mount.h>

// A folder on a small disk of its own: a tmpfs mounted in a mount namespace of the test's
// thread, so that nothing outside the test sees it. A full disk and a read-only one are
// real to the program, whoever runs it (file permissions do not bind root). Needs the right
// to mount (root, or a user namespace); ok() is false otherwise.
class DiscoPequeno {
public:
    DiscoPequeno(const QString &carpeta, qint64 bytes) : carpeta_(carpeta) {
        static const bool aislado = unshare(CLONE_NEWNS) == 0 &&
                                    mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        const QByteArray opciones = "size=" + QByteArray::number(bytes);
        ok_ = aislado && QDir().mkpath(carpeta) &&
              mount("tmpfs", QFile::encodeName(carpeta).constData(), "tmpfs", 0,
                    opciones.constData()) == 0;
    }
    ~DiscoPequeno() {
        if (ok_) umount2(QFile::encodeName(carpeta_).constData(), MNT_DETACH);
    }
    DiscoPequeno(const DiscoPequeno &) = delete;
    DiscoPequeno &operator=(const DiscoPequeno &) = delete;

    bool ok() const { return ok_; }
    // What is on it stays; nothing more can be written.
    bool SoloLectura() {
        return ok_ && mount(nullptr, QFile::encodeName(carpeta_).constData(), nullptr,
                            MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QString carpeta_;
    bool ok_ = false;
};
