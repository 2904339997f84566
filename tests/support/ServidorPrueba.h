#pragma once

#include "data/ModConex.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

// A throwaway PostgreSQL server for tests: a data folder made with initdb under a
// temporary folder, listening on 127.0.0.1 on a free port with trust authentication,
// stopped and deleted with the object. Run as the unprivileged `postgres` user when the
// tests run as root (initdb refuses root).
class ServidorPrueba {
public:
    ServidorPrueba();
    ~ServidorPrueba();

    // False, with error() set, when the server could not be made or started.
    bool ok() const { return ok_; }
    const QString &error() const { return error_; }
    int puerto() const { return puerto_; }
    // One of the server's programs (psql...), by its full path.
    QString Programa(const QString &nombre) const { return bin_ + u'/' + nombre; }

    // The server of this test program, started on first use and stopped at its end.
    static ServidorPrueba &Compartido();

    // Stops and starts the running server (the data stay).
    bool Parar();
    bool Arrancar();

    // The address of one of its databases, as the program takes it.
    ModConex::Servidor Direccion(const QString &base) const;
    // Runs a statement on the maintenance database (CREATE DATABASE ...); false on error.
    bool Administrar(const QString &sql, QString *error = nullptr,
                     const QString &base = QStringLiteral("postgres")) const;
    // A login that must give its password (the others need none).
    bool ExigirContrasena(const QString &usuario, const QString &contrasena);
    // A new empty database of that name (dropped first when it exists).
    bool CrearBase(const QString &nombre, const QString &plantilla = QString());

    static constexpr const char *kUsuario = "tritodex";

private:
    bool Ejecutar(const QString &programa, const QStringList &args, QString *salida = nullptr);

    QTemporaryDir dir_;
    QString bin_, datos_;
    int puerto_ = 0;
    bool ok_ = false, enMarcha_ = false, comoPostgres_ = false;
    QString error_;
};
