#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <functional>

class QSqlDatabase;

// A fresh database in a temporary folder, set as the program's folder and connected as
// the shared connection. Needs the core library only; form tests add their own set-up
// (message boxes answered from the test's queue) through Preparar.
class TestDatabase {
public:
    enum class Datos { Fixture, Reales };
    explicit TestDatabase(Datos datos = Datos::Fixture);
    ~TestDatabase();

    bool ok() const { return ok_; }
    QString carpeta() const { return dir_.path(); }
    QString ruta() const;
    QSqlDatabase db() const;

    // Runs a statement with positional values; fails the test's expectations on error.
    bool Ejecutar(const QString &sql, const QVariantList &valores = {}) const;
    // First column of the first row, or an invalid value.
    QVariant Valor(const QString &sql, const QVariantList &valores = {}) const;
    int Contar(const QString &tabla) const;

    // Runs before every new test database is built, and when one is dropped (form tests
    // reset their services there).
    static void Preparar(std::function<void()> paso);
    static void AlTerminar(std::function<void()> paso);

private:
    QTemporaryDir dir_;
    bool ok_ = false;
};
