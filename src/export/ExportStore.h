#pragma once

#include "data/Store.h"

// The statements of the export for the association: the observations with their
// locality, the observers and the reasons, each read whole.
class ExportStore : public Store {
public:
    using Store::Store;

    enum class Tabla { Observaciones, Observadores, Motivos };

    // The executed query of a table, rows in a fixed order; inactive with error() set when
    // it failed.
    QSqlQuery Consultar(Tabla tabla);
    // Whether the table has a row to export; nothing when the read failed (error() set).
    std::optional<bool> TieneFilas(Tabla tabla);

    // The statement of a table, as the export runs it.
    QString Sentencia(Tabla tabla) const;
};
