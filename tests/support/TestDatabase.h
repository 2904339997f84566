#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <functional>

class QSqlDatabase;

// A fresh database in a temporary folder, set as the program's folder and connected as
// the shared connection. Needs the core library only; form tests add their own set-up
// (message boxes answered from the test's queue) through Preparar.
// With TRITODEX_PRUEBA_MOTOR=postgresql in the environment (or Motor::PostgreSql), the
// database is a fresh one on the test program's throwaway PostgreSQL server instead. One that
// cannot be made stops the test program.
class TestDatabase {
public:
    enum class Datos { Fixture, Reales };
    enum class Motor { Entorno, Sqlite, PostgreSql };
    explicit TestDatabase(Datos datos = Datos::Fixture, Motor motor = Motor::Entorno);
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
    // Every row of a query, one line each, its columns joined by '|'; a null reads NULL, so
    // that it is told apart from an empty text, and a comparison reads 1 or 0 on both
    // engines (a server gives a boolean).
    static QString Lineas(const QSqlDatabase &db, const QString &sql,
                          const QVariantList &valores = {});
    QString Lineas(const QString &sql, const QVariantList &valores = {}) const;

    // Makes every insert into the table fail with the message, until Permitir; only those
    // whose new row meets the condition (an expression on NEW) when one is given.
    bool Rechazar(const QString &tabla, const QString &mensaje,
                  const QString &condicion = QString()) const;
    bool Permitir(const QString &tabla) const;

    // Whether this database is on the server, and its name there.
    bool enServidor() const { return !base_.isEmpty(); }
    QString base() const { return base_; }
    // Whether the environment asks for the server.
    static bool ServidorPedido();

    // Runs before every new test database is built, and when one is dropped (form tests
    // reset their services there).
    static void Preparar(std::function<void()> paso);
    static void AlTerminar(std::function<void()> paso);

private:
    bool CrearEnServidor(Datos datos, QString *error);

    QTemporaryDir dir_;
    QString base_;
    bool ok_ = false;
};
