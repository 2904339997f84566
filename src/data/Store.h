#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <optional>

// Base of the stores: statements on the shared connection with bound values. A failed
// statement leaves its Spanish description in error() until Limpiar() is called, so a form
// can run several and report once.
class Store {
public:
    explicit Store(QSqlDatabase db = QSqlDatabase());

    const QString &error() const { return error_; }
    bool fallo() const { return !error_.isEmpty(); }
    // Whether the last failure was a key already taken (a code in use).
    bool claveDuplicada() const { return claveDuplicada_; }
    void Limpiar() {
        error_.clear();
        claveDuplicada_ = false;
    }

    // The pattern of a LIKE that finds the text anywhere, % and _ taken literally; use it
    // with " ESCAPE '\\'".
    static QString PatronContiene(const QString &texto);
    // A value as it must be bound so that the database stores it unchanged: SQLite takes a
    // leading U+FEFF of bound text for a byte-order mark and drops it, so it is doubled.
    static QVariant Enlazable(const QVariant &valor);
    // The pattern of a LIKE that finds texts beginning with the text, likewise escaped.
    static QString PatronEmpieza(const QString &texto);

    // False (error() set) when a description or a name (`que`, as the message names it:
    // "La descripción") is longer than ModBaseDatos::kMaximoTexto characters. The forms
    // refuse such a paste first; nothing is ever cut to fit.
    bool Cabe(const QString &que, const QString &texto);

    // From now on each statement text is prepared once and kept for this store's life: for a
    // store made for one batch (an import, a transaction) that runs the same statements for
    // every row. Such a store must not outlive its connection, nor read one statement's rows
    // while running it again.
    void ReutilizarSentencias() { reutilizar_ = true; }

protected:
    QSqlDatabase db() const;
    // Prepares and runs a statement; false (and error() set) on failure.
    bool Ejecutar(QSqlQuery &q, const QString &sql, const QVariantList &valores = {});
    // Runs a query that a grid's model can scroll back; on failure inactive, error() set.
    QSqlQuery Consultar(const QString &sql, const QVariantList &valores);
    // First column of every row, a null as empty text.
    QStringList Columna(const QString &sql, const QVariantList &valores = {});
    // First column of the first row; nothing when there is no row or the statement failed.
    std::optional<QVariant> Primero(const QString &sql, const QVariantList &valores = {});
    // Runs the steps as one transaction: committed when every step succeeds, rolled back
    // otherwise. A step that fails returns false with error() set; false here too then.
    bool EnTransaccion(const std::function<bool()> &pasos);
    void Anotar(const QString &error) {
        error_ = error;
        claveDuplicada_ = false;
    }
    // Takes over the failure of another store used for part of the work.
    void Anotar(const Store &otro) {
        error_ = otro.error_;
        claveDuplicada_ = otro.claveDuplicada_;
    }

private:
    QSqlDatabase db_;
    bool reutilizar_ = false;
    QHash<QString, QSqlQuery> preparadas_;
    QString error_;
    bool claveDuplicada_ = false;
};
