#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QSqlDatabase;

namespace CreacionBaseDatos {

struct Csv {
    QStringList columnas;
    QList<QStringList> filas;
};

// RFC 4180 text: comma separated, quoted fields may hold commas, quotes and line breaks.
bool LeerCsv(const QString &ruta, Csv *csv, QString *error);
// The same from text already read; `ruta` names it in errors.
bool LeerCsvTexto(const QString &texto, const QString &ruta, Csv *csv, QString *error);

// Inserts every row of a CSV file into the table named like the file, through its header.
bool CargarCsv(QSqlDatabase &db, const QString &tabla, const QString &ruta, QString *error);

// Creates a new database file: the schema plus every refdata/*.csv. Refuses an existing file.
bool CrearBaseDatos(const QString &rutaArchivo, const QString &carpetaRefdata, QString *error);

// The schema's statements, one per element.
QStringList SentenciasEsquema();

} // namespace CreacionBaseDatos
