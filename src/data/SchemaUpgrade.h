#pragma once

#include <QString>

class QSqlDatabase;

// The schema version a database carries (PRAGMA user_version, or on a server the table
// version_esquema) and the steps that bring a database made by an earlier version of the
// program up to the current one.
namespace SchemaUpgrade {

// 0: files made before the version was kept. 1: species synonyms and names, official
// province names, new stages, behaviours and habitats. 2: each observation's UUID, the
// species' sensitive flag. 3: each locality's positional uncertainty in metres, revised
// older names of species. 4: the photographs of observations. 5: the bin of deleted
// observations. 6: each observation's verification status, who set it, when and why.
constexpr int kVersionActual = 6;

// The first version a server database was made with; it is brought up from there.
constexpr int kPrimeraServidor = 2;

// The file's version, or -1 when it cannot be read.
int Version(QSqlDatabase &db);

// Runs every step from the database's version to the current one, each in one transaction
// that also records its version; a failed step is rolled back whole and reported. A file
// is brought up when it is opened; a server's database by its administrator, through
// tritodex_mkdb --actualizar.
bool Actualizar(QSqlDatabase &db, QString *error);

} // namespace SchemaUpgrade
