#pragma once

#include "data/Store.h"

#include <QList>

// One reason as the grid shows it: the identifier as typed (empty: to be generated).
struct Motivo {
    QString id;
    QString motivo;
    QString descripcion;
};

// The reasons table, kept by the user in a grid. Refusals (an identifier taken or not a
// whole number, an empty or repeated reason, a reason still used by observations) leave
// their reason in error() and change nothing.
class ReasonStore : public Store {
public:
    using Store::Store;

    // Every reason, by identifier.
    QList<Motivo> Lista();
    // Stores a new reason; returns its identifier (generated when left empty).
    std::optional<qint64> Insertar(const Motivo &m);
    // Changes the reason stored under `id`, its identifier included.
    bool Actualizar(qint64 id, const Motivo &m);
    // Deletes the reason unless an observation holds its text.
    bool Suprimir(qint64 id);

private:
    // Checks a reason before it is stored; `actual` is its identifier now, if stored.
    bool Validar(const Motivo &m, std::optional<qint64> actual, std::optional<qint64> *id);
    // Keeps the numbers the database hands out clear of one given by the user.
    bool AjustarNumeracion();
};
