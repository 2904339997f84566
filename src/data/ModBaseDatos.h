#pragma once

#include "Avance.h"

#include <QByteArray>
#include <QString>

class QSqlQuery;

namespace ModBaseDatos {

// The longest text a description or a name may hold, in characters: what a memo field held
// when typed. Forms refuse a longer paste and imports refuse the row, saying why; nothing is
// cut.
constexpr int kMaximoTexto = 65535;

// Pauses for the given seconds while the interface keeps processing events. Ends at once
// when the clock jumps (midnight), as the elapsed time is taken as an absolute difference.
void Esperar(double segundos);

// Test hook: a factor applied to every pause (the clock is Clock's).
void setEscalaEsperas(double factor);

// Windows-1252 bytes of a text; characters outside that code page become '?' (and
// *sustituido, when given, tells whether any did).
QByteArray Windows1252(const QString &texto, bool *sustituido = nullptr);

// Field value as the association's files hold it: a separator, CR or LF inside a value
// encloses it in double quotes with inner quotes doubled; other values, quotes and all, go
// bare.
QString CampoTexto(const QString &valor, const QString &separador);

// Writes every row of an executed query (from its first row) to a text file: optional
// header of field names, values joined by the separator, CR LF after every line, one
// empty line at the end, null as empty text, ISO dates as dd/mm/yyyy. The file is
// replaced whole or not at all, once its bytes are known to be on the disk. On failure,
// false and the reason in *error (Avances::kCancelado when the user stopped it). When given,
// *sustituidos counts the values (names included) that had a character written as '?'.
bool EscribirArchivoTexto(QSqlQuery *consulta, const QString &ruta, bool cabecera,
                          const QString &separador, QString *error, int *sustituidos = nullptr,
                          const Avance &avance = {});

} // namespace ModBaseDatos
