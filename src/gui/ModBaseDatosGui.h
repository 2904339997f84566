#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class ColumnTable;
class Store;
class QComboBox;
class QLineEdit;
class QSqlQuery;
class QSqlQueryModel;
class QTableView;
class QWidget;

namespace ModBaseDatos {

// True while the last key that reached a completing list deleted text.
extern bool BorrandoTexto;

// Key filter for digit-only fields: refuses (code 0, beep) all but digits and the editing
// controls Backspace, Ctrl+C, Ctrl+V and Ctrl+X. FiltrarDigitos hands it characters only.
void SoloNumeros(int &keyAscii);
void TeclaSuprimir(int keyCode);
void TeclaRetroceso(int keyAscii);
// Completes the list's edit text with its first item that starts with the typed text.
void Autocompletar(const QString &texto, QComboBox *lista);

// Writes the query to a text file (see EscribirArchivoTexto); a failure is shown under
// "Crear archivo de texto". Returns whether the file was written; *sustituidos as there.
bool CrearArchivoTexto(QSqlQuery *consulta, const QString &ruta, bool cabecera,
                       const QString &separador, QWidget *padre = nullptr,
                       int *sustituidos = nullptr);

// "Exportar a MS Excel" of a list: asks where to save (proposing `nombre` and today's date in
// the documents folder), writes the rows `leer` gives with the list's columns, then opens
// the spreadsheet with the desktop's program, or says where it is. Failures are shown.
void CrearHojaCalculo(QWidget *padre, const QString &nombre, const ColumnTable &columnas,
                      const std::function<QSqlQuery()> &leer);

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

// Attaches the completion pattern to an editable drop-down list (Qt's completer off):
// key-down to TeclaSuprimir, key-press to TeclaRetroceso, text change to Autocompletar
// guarded by the list's own busy flag.
// With `soloPrincipio` (lists whose items begin with a code, where the user may type a name
// instead): once no item begins with what the user typed, the completion is taken back, so
// the text is the user's own letters, as typed, and no item stays chosen. Called again on a
// list already completing, it only changes that.
void HacerCompletable(QComboBox *lista, bool soloPrincipio = false);

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
void Rellenar(QComboBox *lista, const QStringList &items, const QStringList &datos = {});

// Shows a store's query in a grid under the column table's captions, every row read at once
// so that no read stays open under later writes. The row whose first column holds `actual`
// stays current while it is listed; otherwise no row is. An inactive query empties the grid.
// `actual` is taken by value: the grid's own selection handler may change the caller's copy.
void CargarRejilla(QTableView *rejilla, QSqlQueryModel *modelo, QSqlQuery consulta,
                   const ColumnTable &columnas, QString actual);

// Shows a store's failure, if any, in a message box, and clears it. True when there was one.
bool InformarError(QWidget *padre, Store &almacen);

// ModConex::Conectar, asking for the password when the server wants one (until it is
// accepted or the user cancels); false with ModConex::MotivoFallo() set.
bool Conectar(QWidget *padre);

} // namespace ModBaseDatos
