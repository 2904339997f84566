#pragma once

#include "Avance.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// Copies of Tritodex.mdb in the folder copias/ beside it, each a consistent database made by
// SQLite itself while the program holds the file open, named by date and time.
namespace Backups {

struct Copia {
    QString ruta;
    QDateTime fecha; // from the name
    qint64 tamano = 0;
};

QString Carpeta();
// The pictures of the photographs the copies refer to, each kept once for all of them.
QString CarpetaFotos();
// The pictures of the open database: the folder fotos/ beside it.
QString CarpetaFotosActual();

// What a copy or a restore did with the photographs' pictures.
struct Fotos {
    int nuevas = 0;     // added to the copies' store (or brought back by a restore)
    QStringList faltan; // referred to, but in neither folder
};

// Newest first.
QList<Copia> Listar();

// Writes a copy of the open database now; its path, or nothing with *error set (in
// Spanish; Avances::kCancelado when the user stopped it). A copy that failed or was stopped
// leaves no file behind; the copy is only listed once its bytes are all on the disk.
// The pictures the copy refers to are added to CarpetaFotos() when not there yet (a hard
// link where the disk allows, a copy otherwise); *fotos tells how many, and which were missing.
std::optional<QString> Hacer(QString *error, const QDateTime &ahora = QDateTime::currentDateTime(),
                             const Avance &avance = {}, Fotos *fotos = nullptr);

// At start-up: a copy when the newest is older than a day, then the old ones that the
// keeping rule lets go are deleted. False with *error set when the copy failed (older
// copies are then all kept); true when made or not needed.
bool Automatica(QString *error, const QDateTime &ahora = QDateTime::currentDateTime(),
                const Avance &avance = {});

// Of copies made at these times, those to delete: all but the ten newest and, for each of
// the last twelve months, the newest of that month.
QList<QDateTime> Sobrantes(QList<QDateTime> fechas, const QDateTime &ahora);

// Whether a file is a sound database of the program: SQLite's quick check passes and it has
// the observations. *observaciones gets their number; *motivo why not, in Spanish.
bool Comprobar(const QString &ruta, QString *motivo, int *observaciones = nullptr);

// Takes out of CarpetaFotos() the pictures no copy refers to any longer (after old copies
// were deleted); how many.
int PodarFotos();

// The pictures a database file (a copy, or the database itself) refers to that are missing
// from the folder given.
QStringList FotosQueFaltan(const QString &ruta, const QString &carpeta);

// Whether a copy may be put back: it is sound and no newer than this program's schema.
bool Restaurable(const QString &ruta, QString *motivo);

// Puts a copy's data into Tritodex.mdb, in place, through SQLite: the copy is checked first
// (a damaged or newer one is refused with nothing changed); then, under a lock that keeps
// every other program out, the current data are kept in copias/ and the copy's pages are
// written over them. When another program is writing, nothing is restored and *error says
// the database is busy. A failure or a cancel leaves the file as it was. False with *error.
// The pictures the restored data refer to are brought back into CarpetaFotosActual() from
// the copies' store; *fotos tells how many, and which neither folder holds.
bool Restaurar(const QString &copia, QString *error, const Avance &avance = {},
               Fotos *fotos = nullptr);

} // namespace Backups
