#pragma once

#include <QChar>
#include <QString>
#include <functional>
#include <string>

class QSqlDatabase;
class QSqlQuery;

namespace SqliteText {
// Replaces NOCASE and LIKE on an open SQLite connection by versions that fold case
// over all of Unicode (Á equals á), keeping accented and plain letters distinct.
bool Instalar(const QSqlDatabase &db);
// A text (UTF-8) as a key that two texts share exactly when that NOCASE finds them equal,
// for callers that match in memory.
void ClaveSinMayusculas(const char *texto, int bytes, std::string *clave);
// The same matching, for callers that filter in memory.
bool Like(const QString &patron, const QString &texto, QChar escape = QChar());

// One value as SQLite holds it: its type (SQLITE_INTEGER, SQLITE_TEXT...) and its text in
// UTF-8 (a real number as double instead).
struct Celda {
    int tipo;
    const char *texto;
    int bytes;
    double real;
};
// Reads every row of an executed, forward-only SQLite query that nobody has read yet
// straight from its statement: many times faster than value() by value() for exports of
// any size. `celda` takes each value, `finFila` ends each row and may stop the reading by
// returning false. Returns false, reading nothing, for any other query; *error is set when
// a step fails.
bool LeerFilas(QSqlQuery &consulta, const std::function<void(int columna, const Celda &)> &celda,
               const std::function<bool()> &finFila, QString *error);
} // namespace SqliteText
