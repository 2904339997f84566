#pragma once

#include "data/ColumnTable.h"
#include "data/Store.h"

#include <QDateTime>
#include <QList>
#include <optional>

// The bin of deleted observations. A deletion moves the observation, with its photos' rows,
// into the bin; a restore moves them back as they were, identifier and UUID included;
// emptying removes them for good. The pictures themselves are never removed here.
class BinStore : public Store {
public:
    using Store::Store;

    // How long an entry waits before the start-up empties it.
    static constexpr int kDiasGuardada = 90;

    // Inside the caller's transaction: moves the observation and its photos' rows into the
    // bin, stamped with `cuando` and the server's login. False with error() set; an
    // observation that is gone says so.
    bool Mover(int id, const QDateTime &cuando);

    // Columns of the bin's grid: the observation's date, species and locality, when it was
    // deleted and by whom, then its identifier.
    static const ColumnTable &Columnas();
    static int ColumnaId();
    // The column of who deleted, empty on a file.
    static int ColumnaQuien() { return 4; }
    // Every entry, the most recently deleted first; inactive with error() set on failure.
    QSqlQuery Listar();
    std::optional<int> Contar();

    // Each of the observations back where it was, with its photos, in one transaction: all
    // of them or none (error() says why).
    bool Restaurar(const QList<int> &ids);
    // Removes the entries for good, in one transaction.
    bool Vaciar(const QList<int> &ids);
    // Removes for good what was deleted more than kDiasGuardada days before `ahora`: how
    // many, or nothing with error() set.
    std::optional<int> VaciarAntiguas(const QDateTime &ahora);

private:
    // Moves the rows of `origen` that meet `condicion` into `destino`, then removes them.
    bool Pasar(const QString &origen, const QString &destino, const QString &condicion,
               const QVariantList &valores, const QStringList &extra = {},
               const QVariantList &valoresExtra = {}, int *pasadas = nullptr);
};
