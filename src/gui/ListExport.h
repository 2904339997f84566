#pragma once

#include <QString>
#include <functional>

class ColumnTable;
class QSqlQuery;
class QWidget;

// The routines of ModBaseDatos that write a list to a file, telling the user how it went.
namespace ModBaseDatos {

// Writes the query to a text file (see EscribirArchivoTexto); a failure is shown under
// "Crear archivo de texto". Returns whether the file was written; *sustituidos as there.
bool CrearArchivoTexto(QSqlQuery *consulta, const QString &ruta, bool cabecera,
                       const QString &separador, QWidget *padre = nullptr,
                       int *sustituidos = nullptr);

// "Exportar a MS Excel" of a list: asks where to save (proposing `nombre` and today's date in
// the documents folder), writes the rows `leer` gives with the list's columns, then opens
// the spreadsheet with the desktop's program, or says where it is. Failures are shown.
void CrearHojaCalculo(QWidget *padre, const QString &nombre, const ColumnTable &columnas,
                      const std::function<QSqlQuery()> &leer);

} // namespace ModBaseDatos
