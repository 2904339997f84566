#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QSqlDatabase;

namespace DatabaseCreation {

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

// Creates the schema and the seed data in an empty database of a PostgreSQL server, in one
// transaction; refuses a database that already holds any of the program's tables.
bool CrearEnServidor(QSqlDatabase &db, const QString &carpetaRefdata, QString *error);

// How many rows of each kind a copy brought.
struct Copiados {
    int observadores = 0, localidades = 0, motivos = 0, observaciones = 0, fotos = 0;
    int papelera = 0, fotosPapelera = 0; // the bin's observations and their photos
};
// Copies a local file's observers, localities, reasons and observations, identifiers and
// UUIDs included, into a server database made by CrearEnServidor, in one transaction: all
// of them or nothing. Refuses a database that already holds observers, localities or
// observations; its seed reasons give way to the file's. The photographs come too, their
// pictures read from the folder fotos/ beside the file: a missing one stops the copy. So
// does the bin, whose numbers new rows never take.
bool CopiarAlServidor(const QString &rutaArchivo, QSqlDatabase &servidor, Copiados *copiados,
                      QString *error);

// The schema's statements, one per element.
QStringList SentenciasEsquema();

} // namespace DatabaseCreation
