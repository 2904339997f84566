#pragma once

#include "data/ColumnTable.h"
#include "data/Store.h"

// One row of the observer table.
struct Observador {
    QString codigo;
    QString nombre;
    QString apellido;
    QString entidad;
    QString email;
    QString provincia;
};

// The statements of the observer forms. A change that fails leaves its user-facing reason
// in error(), and claveDuplicada() tells a taken code.
class ObserverStore : public Store {
public:
    using Store::Store;

    // What the default observer becomes when an observer is changed.
    enum class Predeterminado { SinCambio, Poner, Quitar };

    // Columns of the observer list, in the grid's order.
    static const ColumnTable &ColumnasLista();

    // Observers whose code contains `codigo` and whose first name or surname contains
    // `nombre` (an empty text is no filter), sorted by code; case is ignored and % or _
    // are taken literally. The query is executed; on failure it is inactive, error() set.
    QSqlQuery Buscar(const QString &codigo, const QString &nombre);

    // The observer with that code; nothing when there is none or the read failed (then
    // error() is set).
    std::optional<Observador> Cargar(const QString &codigo);

    // Every observer's first name and surname joined by a blank, sorted.
    QStringList NombresCompletos();

    // The default observer's code (empty when there is none).
    QString CodigoPredeterminado();
    bool EsPredeterminado(const QString &codigo);

    // Inserts the observer and, when asked, makes it the default observer: both or neither.
    bool Insertar(const Observador &o, bool predeterminado);

    // Updates every field but the code, and the default observer as asked: both or neither.
    bool Actualizar(const Observador &o, Predeterminado cambio);

    // Deletes the observer and clears the default observer when it was this one; fails
    // when there is no such observer. Observations keep whatever codes they hold.
    bool Suprimir(const QString &codigo);

private:
    // The names within the one limit; false (error() set) otherwise.
    bool CabenTextos(const Observador &o);
};
