#pragma once

#include <QString>
#include <QStringList>

class QSqlDatabase;
class QSqlError;

// What differs between the local file (SQLite) and a group's server (PostgreSQL). Every
// statement both engines run the same way is written once elsewhere; only what follows
// depends on the engine.
namespace SqlDialect {

enum class Motor { Sqlite, PostgreSql };
Motor De(const QSqlDatabase &db);
// Qt's driver name of the engine.
QString Driver(Motor motor);

// The statement as the connection's engine must run it. On PostgreSQL, LIKE becomes ILIKE:
// SQLite's LIKE on the program's connection folds case over Unicode, and so does ILIKE on
// a UTF-8 server, on any text (a concatenation of names included).
QString Sentencia(const QString &sql, const QSqlDatabase &db);
// Whether a query read once from start to end may be forward-only. Not on PostgreSQL: Qt
// reads such a query there row by row from the server, and the next statement on the
// connection (a lookup made while reading) silently drops the rows not yet read.
bool LecturaSoloAdelante(const QSqlDatabase &db);
// The column compared exactly, letter case included (its own collation ignores case).
QString Exacto(const QString &columna, const QSqlDatabase &db);

// The statements that create the program's tables on an empty PostgreSQL database, from
// the SQLite schema: NOCASE text becomes citext (equality, order, uniqueness and joins
// ignore case, accents stay distinct), AUTOINCREMENT an identity, the UUID trigger a
// default of the server's own generator, every table gets the rowid SQLite gives
// implicitly, a table records the schema version and another holds the photographs'
// pictures (which a local file keeps in its folder fotos/).
QStringList EsquemaPostgreSql(const QStringList &sentenciasSqlite);

// The server's guard of the verification, run by the schema and its upgrade: the role
// tritodex_verificador (made when missing), and triggers on the observations and the bin
// that refuse a change of status to anyone outside it (or the tables' owner), let a move to
// and from the bin carry the status it had, and put an accepted record whose values change
// back to not yet verified.
QStringList VerificacionPostgreSql();
// The role whose members may set a verification status on a server.
inline constexpr const char *kRolVerificador = "tritodex_verificador";
// The expression, true or false, of whether the connection's user may set a status.
QString PuedeVerificar(const QSqlDatabase &db);

// After rows brought their own identifiers: the statement that moves the table's identity
// past the highest one, so that new rows never take a used number (PostgreSQL only).
// Given `otra`, past its highest too: a table whose rows may come back into this one.
QString AjustarIdentidad(const QString &tabla, const QString &columna,
                         const QString &otra = QString());

// After an insert or update that set the identifier itself: the statement that keeps the
// server's next numbers clear of it; empty where the engine needs none (SQLite).
QString TrasIdentificadorPropio(const QSqlDatabase &db, const QString &tabla,
                                const QString &columna);

// The expression of who runs the statement, as text: the server's login, NULL on a file
// (whoever opens the file).
QString Usuario(const QSqlDatabase &db);

// The program's tables present in the database, in lower case; false with *error when
// the catalogue cannot be read.
bool Tablas(const QSqlDatabase &db, QStringList *tablas, QString *error);
// The schema version the database carries, or -1 when it cannot be read.
int Version(const QSqlDatabase &db);
// The statement that records the schema version.
QString FijarVersion(const QSqlDatabase &db, int version);

// Whether the failure is a UNIQUE or PRIMARY KEY conflict.
bool EsClaveDuplicada(const QSqlError &error);
// Whether the failure is the loss of the server (gone, restarted, unreachable).
bool EsConexionPerdida(const QSqlError &error, const QSqlDatabase &db);
// Whether the server refused the connection for want of a password.
bool FaltaContrasena(const QSqlError &error);

} // namespace SqlDialect
