#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>

// Base of the stores: statements on the shared connection with bound values. A failed
// statement leaves its Spanish description in error() until Limpiar() is called, so a form
// can run several and report once.
class Store {
public:
    explicit Store(QSqlDatabase db = QSqlDatabase());

    const QString &error() const { return error_; }
    bool fallo() const { return !error_.isEmpty(); }
    void Limpiar() { error_.clear(); }

    // The pattern of a LIKE that finds the text anywhere, % and _ taken literally; use it
    // with " ESCAPE '\\'".
    static QString PatronContiene(const QString &texto);

protected:
    QSqlDatabase db() const;
    // Prepares and runs a statement; false (and error() set) on failure.
    bool Ejecutar(QSqlQuery &q, const QString &sql, const QVariantList &valores = {});
    // First column of every row, a null as empty text.
    QStringList Columna(const QString &sql, const QVariantList &valores = {});
    // First column of the first row; nothing when there is no row or the statement failed.
    std::optional<QVariant> Primero(const QString &sql, const QVariantList &valores = {});
    void Anotar(const QString &error) { error_ = error; }

private:
    QSqlDatabase db_;
    QString error_;
};
