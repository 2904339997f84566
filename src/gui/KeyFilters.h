#pragma once

class QKeyEvent;
class QLineEdit;
class QWidget;

// The routines of ModBaseDatos that filter what is typed into a field: digits only, and
// lengths counted in characters.
namespace ModBaseDatos {

// Key filter for digit-only fields: refuses (code 0, beep) all but digits and the editing
// controls Backspace, Ctrl+C, Ctrl+V and Ctrl+X. FiltrarDigitos hands it characters only.
void SoloNumeros(int &keyAscii);
// Puts SoloNumeros in front of every key-press of a text field.
void FiltrarDigitos(QLineEdit *campo);

// Limits a text field to `maximo` characters, a character being a Unicode code point (a
// surrogate pair counts once), so no limit ever splits one. A character typed into a full
// field is refused with the beep; an edit that adds more at once (a paste, a drop) and
// would overflow is refused whole with a message, the field keeping its text. Text the
// program sets is never refused nor cut. Lifts the field's own maxLength.
void LimitarLongitud(QLineEdit *campo, int maximo);
// Limits every text field of a form that has no limit of its own (lists' own text included,
// spin boxes and dates excepted) to kMaximoTexto characters, so that none cuts a long paste.
void LimitarTextos(QWidget *formulario);

// The character code a key-press would have (0 for keys that make no character), and the
// key code a key-down would carry (only Delete and Backspace matter), as the key handlers
// take them.
int CodigoCaracter(const QKeyEvent *e);
int CodigoTecla(const QKeyEvent *e);

} // namespace ModBaseDatos
