#pragma once

#include <QList>
#include <QString>

class QWidget;

// Bad input that every form must survive, and the ways a user puts it into a field.
namespace Corpus {

struct Entrada {
    QString nombre; // short ASCII name, used in test tags
    QString texto;
};

enum class Modo { Tecleado, Pegado, Cortado };

// The inputs shared by every field, and those built from the field's own limit (one past
// its length).
QList<Entrada> Para(QWidget *campo);

// Typed: the field's text selected, then one key event per character (control characters
// arrive as keys with their text, as a keyboard without them would send). Pasted: the text
// put on the clipboard, then Ctrl+A and Ctrl+V. Cut: the text typed, then Ctrl+A and Ctrl+X.
void Introducir(QWidget *campo, const QString &texto, Modo modo);
void Pegar(QWidget *campo, const QString &texto);
// Returns the control that took the keys: a check of the field left may keep the focus.
QWidget *Cortar(QWidget *campo);
// Ctrl+V of whatever the clipboard holds, where the cursor is.
void PegarPortapapeles(QWidget *campo);

// What a control shows: text of fields and lists, ISO date, hh:mm time, 1/0 for a box.
QString Mostrado(const QWidget *control);
// The editable text fields and lists of a form: what the corpus is fed to.
QList<QWidget *> Campos(QWidget *formulario);

} // namespace Corpus
