#pragma once

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <optional>

// One row of the observer table.
struct Observador {
    QString codigo;
    QString nombre;
    QString apellido;
    QString entidad;
    QString email;
    QString provincia;
};

// Outcome of a change: on failure, the user-facing reason and whether it was a taken code.
struct ResultadoObservador {
    bool ok = true;
    bool claveDuplicada = false;
    QString error;
    explicit operator bool() const { return ok; }
};

// The statements of the observer forms, on the shared connection. Never shows a window.
class ObserverStore {
public:
    // What the default observer becomes when an observer is changed.
    enum class Predeterminado { SinCambio, Poner, Quitar };

    // Columns of the observer list, in the grid's order.
    static QStringList ColumnasLista();

    // Observers whose code contains `codigo` and whose first name or surname contains
    // `nombre` (an empty text is no filter), sorted by code; case is ignored and % or _
    // are taken literally. The query is executed; on failure it is inactive and
    // *error holds the reason.
    static QSqlQuery Buscar(const QString &codigo, const QString &nombre, QString *error);

    // Province names in identifier order.
    static QStringList Provincias(QString *error = nullptr);

    // The observer with that code; nothing when there is none or the read failed (then
    // *error holds the reason).
    static std::optional<Observador> Cargar(const QString &codigo, QString *error = nullptr);

    // The default observer's code (empty when there is none).
    static QString CodigoPredeterminado();
    static bool EsPredeterminado(const QString &codigo);

    // Inserts the observer and, when asked, makes it the default observer: both or neither.
    static ResultadoObservador Insertar(const Observador &o, bool predeterminado);

    // Updates every field but the code, and the default observer as asked: both or neither.
    static ResultadoObservador Actualizar(const Observador &o, Predeterminado cambio);

    // Deletes the observer and clears the default observer when it was this one.
    // Observations keep whatever codes they hold.
    static ResultadoObservador Suprimir(const QString &codigo);
};
