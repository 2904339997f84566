#pragma once

#include <QSqlDatabase>
#include <QString>

class QSqlError;

namespace ModConex {

// The folder of the program, without a trailing separator; it holds Tritodex.mdb.
QString RutaAplicacion();
void setRutaAplicacion(const QString &ruta); // tests point it at a temporary folder
QString RutaBaseDatos();

// Opens the one shared connection to Tritodex.mdb. False, with nothing reported, when the
// file is missing (it is never created), is empty, is not a database or lacks the program's
// tables; MotivoFallo() then says which, in Spanish.
bool Conectar();
QString MotivoFallo();
// After a successful Conectar: why the file was opened for reading only, or empty.
QString Aviso();
// After a failed Conectar: whether the file was refused as damaged (a restore may mend it).
bool Danado();

// How long a statement waits for another program's lock before it fails (tests shorten it).
void setEsperaOcupada(int milisegundos);

// The shared connection (closed when Conectar failed, so statements fail and are reported).
QSqlDatabase DatabaseConnection();

// Opens the file for reading only, whatever its permissions (root may write anything).
void setSoloLectura(bool soloLectura);

// Closes and forgets the shared connection; tests use it between databases.
void Desconectar();

} // namespace ModConex

// The user-facing description of a failed statement, in Spanish.
QString DescribirError(const QSqlError &error);
// True when the failure is a UNIQUE or PRIMARY KEY conflict.
bool EsClaveDuplicada(const QSqlError &error);
