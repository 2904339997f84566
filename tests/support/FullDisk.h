#pragma once

#include <QString>

// A real full disk for tests: a tiny tmpfs mounted in a mount namespace of the test's own,
// so that nothing outside the test sees it. Root unshares the mounts of the calling thread
// (the one that writes); anyone else is put in a user namespace of their own ids before
// main. Where neither can be made, ok() is false and error() says why: the test must fail
// then, never skip.
class FullDisk {
public:
    // A fresh tmpfs of `kb` kilobytes at `carpeta` (made if missing).
    FullDisk(const QString &carpeta, int kb = 64);
    ~FullDisk();
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    bool ok() const { return ok_; }
    const QString &error() const { return error_; }
    const QString &carpeta() const { return carpeta_; }
    // Fills the disk with a file of its own until nothing is left free; Vaciar removes it.
    bool Llenar();
    void Vaciar();
    // The disk made read-only, or writable again.
    bool SoloLectura(bool si);

private:
    QString carpeta_, error_;
    bool ok_ = false;
};
