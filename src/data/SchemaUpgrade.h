#pragma once

#include <QString>

class QSqlDatabase;

// The schema version a database carries (PRAGMA user_version) and the steps that bring a
// file made by an earlier version of the program up to the current one.
namespace SchemaUpgrade {

// 0: files made before the version was kept. 1: species synonyms and names, official
// province names, new stages, behaviours and habitats. 2: each observation's UUID, the
// species' sensitive flag. 3: each locality's positional uncertainty in metres, revised
// older names of species. 4: the photographs of observations.
constexpr int kVersionActual = 4;

// The file's version, or -1 when it cannot be read.
int Version(QSqlDatabase &db);

// Runs every step from the file's version to the current one, each in one transaction
// that also records its version; a failed step is rolled back whole and reported.
bool Actualizar(QSqlDatabase &db, QString *error);

} // namespace SchemaUpgrade
