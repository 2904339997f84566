#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariant>

class QSqlDatabase;
class QWidget;
class QComboBox;

// A fresh database in a temporary folder, set as the program's folder and connected as
// the shared connection. Message boxes are answered from the test's queue.
class BaseDatosPrueba {
public:
    enum class Datos { Fixture, Reales };
    explicit BaseDatosPrueba(Datos datos = Datos::Fixture);
    ~BaseDatosPrueba();

    bool ok() const { return ok_; }
    QString carpeta() const { return dir_.path(); }
    QString ruta() const;
    QSqlDatabase db() const;

    // Runs a statement with positional values; fails the test's expectations on error.
    bool Ejecutar(const QString &sql, const QVariantList &valores = {}) const;
    // First column of the first row, or an invalid value.
    QVariant Valor(const QString &sql, const QVariantList &valores = {}) const;
    int Contar(const QString &tabla) const;

private:
    QTemporaryDir dir_;
    bool ok_ = false;
};

// Test helpers to act as a user would.
namespace Usuario {
void Escribir(QWidget *control, const QString &texto); // focus, select all, type
void SalirDe(QWidget *control);                        // give the focus to something else
void Elegir(QComboBox *lista, const QString &texto);   // choose an item as with the mouse
} // namespace Usuario
