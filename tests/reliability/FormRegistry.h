#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// The forms that join the reliability tests: how each opens and is filled with valid values,
// which buttons save, how success reads, and where each control's value is stored.
namespace FormRegistry {

// How a stored column relates to what its control showed.
enum class Regla {
    Texto,   // as shown
    Codigo,  // as shown, without the blanks around it
    Acento,  // as shown with every ' replaced by ´
    Especie, // the code before the first "-", trimmed
    Entero,  // empty: null; otherwise the same number
    Id,      // the identifier that the row's SQL finds for the shown text; empty: 0 or null
};

struct Columna {
    QString control;
    QString columna;
    Regla regla = Regla::Texto;
    // Regla::Id: the identifiers of a text, bound as the one ? or as :texto, with other
    // controls' texts bound by their names (:Cbprov)
    QString sql = {};
};

// The row a save writes, found by a condition on its table with :max (the table's greatest
// rowid before the save) or :Control (what that control showed) bound, and its columns.
struct Destino {
    QString tabla;
    QString donde;
    bool obligatorio;
    QList<Columna> columnas;
};

struct Formulario {
    QString nombre;                   // the form's objectName
    QString datos;                    // statements run once on a fresh database
    std::function<QWidget *()> abrir; // a new form, on the current database
    // The minimum valid values, as a user; by default none.
    std::function<void(QWidget *)> rellenar = [](QWidget *) {};
    QStringList guardar; // the save buttons
    QString exito;       // how the box that reports a save begins
    QList<Destino> destinos;
    QStringList numericos; // fields that hold a number: never changed without a message
    // Fields of a description or a name: they take ModBaseDatos::kMaximoTexto characters.
    QStringList textosLargos = {};
};

const QList<Formulario> &Registro();
// What every registered form needs on a fresh database, each statement once.
QStringList Datos();
const Formulario *Buscar(const QString &nombre);

// The tables a user's work changes.
const QStringList &Tablas();
// A table's rows as text, by key.
QMap<QString, QString> Filas(const QString &tabla, const QString &clave = QStringLiteral("rowid"));
// Every user's table as text, to tell whether anything changed.
QString Volcado();
// What each control with a stored column shows.
QHash<QString, QString> Mostrado(const Formulario &f, QWidget *formulario);

// Faults of the forms that these tests find and that are being fixed now: the reason when a
// corpus case ("form/field/input/mode") or a problem the session saw ("form/field: what")
// meets one.
QString FalloConocido(const QString &casoOProblema);

// One click on a save button, checked: built just before the click (it records what the
// form shows), Comprobar after it.
class Guardado {
public:
    Guardado(const Formulario &f, QWidget *formulario);
    // Problems found, each "form/control: what"; empty when all is well.
    QStringList Comprobar() const;
    bool Exito() const;

private:
    const Formulario &f_;
    QHash<QString, QString> mostrado_;
    QHash<QString, qint64> max_;
    QString volcado_;
    qsizetype mensajes_ = 0;
};

} // namespace FormRegistry
