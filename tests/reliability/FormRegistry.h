#pragma once

#include <QHash>
#include <QList>
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
    QString tabla;
    QString columna;
    Regla regla = Regla::Texto;
    QString sql = {}; // Regla::Id: the identifiers of a text (one bound value)
};

// The row a save writes: a condition on the table, with :max (the table's greatest rowid
// before the save) or :Control (what that control showed) bound.
struct Destino {
    QString tabla;
    QString donde;
    bool obligatorio = true;
};

struct Formulario {
    QString nombre;                          // the form's objectName
    QString datos;                           // statements run once on a fresh database
    std::function<QWidget *()> abrir;        // a new form, on the current database
    std::function<void(QWidget *)> rellenar; // the minimum valid values, as a user
    QStringList guardar;                     // the save buttons
    QString exito;                           // how the box that reports a save begins
    QList<Destino> destinos;
    QList<Columna> columnas;
    QStringList numericos; // fields that hold a number: never changed without a message
};

const QList<Formulario> &Registro();
const Formulario *Buscar(const QString &nombre);

// The user's tables as text, to tell whether anything changed.
QString Volcado();

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
