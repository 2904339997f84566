#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

class QComboBox;
class QWidget;

// The routines of ModBaseDatos that run a form's handlers on a choice in a list and on
// leaving a control, and that set and check a list's text.
namespace ModBaseDatos {

// Runs the handler on every choice in the list: a user's choice (the same item again
// included) and every selection the program makes, once per change.
void AlElegir(QComboBox *lista, std::function<void()> manejador);
// Chooses an item as a user would with the mouse (tests and keyboard-less callers).
void ElegirComoUsuario(QComboBox *lista, int indice);

// Runs the handler when the focus really leaves the control (not when another window,
// a message box or the list's own popup takes it), and never inside itself. When the
// handler shows a message and the focus was going to a button, that click goes no further.
void AlPerderFoco(QWidget *control, std::function<void()> manejador);

// Selects the item whose text equals the given one (raising the choice handler), or, with
// none equal, leaves the list without selection showing the text (editable lists only).
void PonerTexto(QComboBox *lista, const QString &texto);

// Empties a list's text (or sets it to `texto`) without completing it or raising its choice.
void Vaciar(QComboBox *lista, const QString &texto = QString());
// Whether the text is exactly one of the list's items.
bool EsItem(const QComboBox *lista, const QString &texto);

// The check of a list that is left: a text that is no item of it is emptied, telling the
// user (an empty text, without a word). True when it refused a text.
bool ComprobarLista(QWidget *padre, QComboBox *lista, const QString &que);

// Refills a list without raising its handlers; afterwards no item is selected. Each item
// may carry a value (its code) as Qt::UserRole data.
void Rellenar(QComboBox *lista, const QStringList &items, const QVariantList &datos = {});

} // namespace ModBaseDatos
