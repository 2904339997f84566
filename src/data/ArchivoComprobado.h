#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// A file replaced whole or not at all, whose bytes are known to have reached the disk
// before it replaces the old one: every write, the flush and the size of the written file
// are checked (a full disk can otherwise leave an empty file reported as written).
// Destroyed without Confirmar, nothing is replaced.
class ArchivoComprobado {
public:
    explicit ArchivoComprobado(const QString &ruta);
    ~ArchivoComprobado();
    ArchivoComprobado(const ArchivoComprobado &) = delete;
    ArchivoComprobado &operator=(const ArchivoComprobado &) = delete;

    // On failure, false and the reason in Spanish.
    bool Abrir(QString *error);
    // False after any failed write; the reason is given by Confirmar.
    bool Escribir(const QByteArray &datos);
    // For writers that take a device (images, SVG, text streams).
    QIODevice *Dispositivo() { return &archivo_; }
    // Flushes, checks that every byte is in the file, then replaces the old file. On failure,
    // false, the reason in Spanish, and the old file as it was.
    bool Confirmar(QString *error);
    // Leaves the old file as it was.
    void Descartar();

private:
    bool Fallo(QString *error);
    QString ruta_;
    QSaveFile archivo_;
    int errno_ = 0;
    bool roto_ = false;
};

namespace Causas {

// The cause of a failed system call, in Spanish, without a final stop ("el disco está
// lleno", "no hay permiso para escribir en la carpeta").
QString DeErrno(int codigo);

// A file that could not be written: "El disco está lleno: no se ha podido escribir el
// archivo X." when it was the disk; otherwise the cause after the file's name. `codigo` is
// the errno of the failure (0 when not known: the free space of the folder then tells
// whether the disk was full).
QString AlEscribir(const QString &ruta, int codigo);

// A file written by a library that reports only success or failure (spreadsheets, zip
// archives): true when it exists and is not empty; otherwise false and the reason.
bool ComprobarEscrito(const QString &ruta, QString *error);

// Whether a failed write with this errno (0 when not known) was the disk being full.
bool DiscoLleno(const QString &ruta, int codigo);

// The free bytes of the disk that holds the path's folder (-1 when not known).
qint64 EspacioLibre(const QString &ruta);

} // namespace Causas
