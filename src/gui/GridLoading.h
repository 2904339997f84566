#pragma once

#include "data/ModConex.h"

#include <QSqlQuery>
#include <QString>

class ColumnTable;
class Store;
class QSqlQueryModel;
class QTableView;
class QWidget;

// The routines of ModBaseDatos that bring the database to a form: a store's rows into a
// grid, its failure into a message, and the connection (with the server's password).
namespace ModBaseDatos {

// Shows a store's query in a grid under the column table's captions, every row read at once
// so that no read stays open under later writes. The row whose first column holds `actual`
// stays current while it is listed; otherwise no row is. An inactive query empties the grid.
// `actual` is taken by value: the grid's own selection handler may change the caller's copy.
void CargarRejilla(QTableView *rejilla, QSqlQueryModel *modelo, QSqlQuery consulta,
                   const ColumnTable &columnas, QString actual);

// Shows a store's failure, if any, in a message box, and clears it. True when there was one.
bool InformarError(QWidget *padre, Store &almacen);

// ModConex::Conectar, asking for the password when the server wants one (until it is
// accepted or the user cancels).
ModConex::Resultado Conectar(QWidget *padre);

} // namespace ModBaseDatos
