#pragma once

#include "Avance.h"

#include <QString>

class ColumnTable;
class QSqlQuery;

// Writes every row of an executed query, from its first row, to an .xlsx workbook: rows 1
// and 2 empty, the column table's headers in row 3 (bold, light grey), one row per record
// from row 4, each column in the table's number format, widths fitted to the longest text,
// the first cell selected. The query's columns are the table's, in its order. Rows past what
// a sheet holds go on in further sheets, each with the same header (*numeroHojas says how many
// were written). Rows stream through: memory does not grow with them. The file is replaced
// whole or not at all, once every byte of the new one is written. On failure, false and the
// reason in *error (Avances::kCancelado when the user stopped it).
bool EscribirHojaCalculo(QSqlQuery &consulta, const ColumnTable &columnas, const QString &ruta,
                         QString *error, const Avance &avance = {}, int *numeroHojas = nullptr);
