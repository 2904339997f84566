#pragma once

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
// Newest first.
QList<Copia> Listar();

// Writes a copy of the open database now; its path, or nothing with *error set.
std::optional<QString> Hacer(QString *error, const QDateTime &ahora = QDateTime::currentDateTime());

// At start-up: a copy when the newest is older than a day, then the old ones that the
// keeping rule lets go are deleted. False with *error set when the copy failed; true when
// made or not needed.
bool Automatica(QString *error, const QDateTime &ahora = QDateTime::currentDateTime());

// Of copies made at these times, those to delete: all but the ten newest and, for each of
// the last twelve months, the newest of that month.
QList<QDateTime> Sobrantes(QList<QDateTime> fechas, const QDateTime &ahora);

// Whether a file is a sound database of the program: SQLite's quick check passes and it has
// the observations. *observaciones gets their number; *motivo why not, in Spanish.
bool Comprobar(const QString &ruta, QString *motivo, int *observaciones = nullptr);

// Replaces Tritodex.mdb by a copy: the copy is checked first (a damaged one is refused with
// nothing changed), the connection is closed, the current file is kept in copias/, then the
// copy takes its place and the connection is opened again. False with *error set.
bool Restaurar(const QString &copia, QString *error);

} // namespace Backups
