#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QWidgetList>

class QAbstractButton;
class QDialog;
class QMdiArea;
class QMdiSubWindow;
class QTableView;
class QWidget;

// What the forms need of the windowing toolkit: showing, centring, colours, the
// hourglass and the beep.
namespace Screen {

inline const QString kColorFormulario = QStringLiteral("5809057");
inline const QString kColorPresentacion = QStringLiteral("3315350");

// Colours are written as decimal text whose lowest byte is red, then green, then blue.
QColor Color(const QString &texto);

// Background of the form and of every frame, label and check box on it.
void AplicarColores(QWidget *formulario, const QString &color = kColorFormulario);

// Centres a window on its screen.
void Centrar(QWidget *ventana);

// The main window's client area, where task windows open as children.
void setAreaPrincipal(QMdiArea *area);
QMdiArea *AreaPrincipal();

// Shows a form modeless as a child of the main window (or alone when there is none).
// The form is deleted when it closes.
void MostrarHijo(QWidget *formulario);
// Closes a form shown by MostrarHijo, with its task window.
void CerrarHijo(QWidget *formulario);
// Brings an open form (a task window or a window of its own) to the front.
void TraerAlFrente(QWidget *formulario);
// A grid's columns share the room the grid is given, now and whenever it is resized or its
// rows change: each as wide as its contents while they all fit, the last one filling what is
// left; when they do not fit, the widest (of `estrechables`, when given: the columns of free
// text) are narrowed alike, never below their caption nor a dozen characters (a date, a number
// or a code stays whole), so that every column stays in sight where the room allows it and
// the grid scrolls sideways where it does not.
void RepartirColumnas(QTableView *rejilla, const QList<int> &estrechables = {});
// Shows a dialog modal; returns when it closes.
int MostrarModal(QDialog *dialogo);

// The keyboard of a form: Enter on a focused push button presses it, and an Escape that no
// control of the form takes presses the exit button (without one, a dialog is rejected).
// What is typed or pasted: every text field without a limit of its own takes at most
// ModBaseDatos::kMaximoTexto characters and refuses a longer paste, saying why.
void Teclado(QWidget *formulario, QAbstractButton *salida = nullptr);

// While a modal dialog runs over a form, the form and the windows that hold it are not
// deleted: closing them meanwhile closes the dialog, and they go once the code that opened
// the dialog has returned, so that code never runs on a deleted form.
class RetenerFormulario {
public:
    RetenerFormulario(QWidget *formulario, QWidget *dialogo);
    ~RetenerFormulario();
    RetenerFormulario(const RetenerFormulario &) = delete;
    RetenerFormulario &operator=(const RetenerFormulario &) = delete;
    // Whether the form was closed for good while the dialog ran.
    bool Cerrado() const;

private:
    class Filtro;
    Filtro *filtro_;
};

// Whether the form, or a window that holds it, was closed while a dialog over it ran: it is
// going, and asks the user nothing more.
bool Cerrandose(const QWidget *formulario);

// Every open window of the program, task windows inside the main window included.
QWidgetList VentanasAbiertas();
// The open form with that object name, or null.
QWidget *BuscarFormulario(const QString &nombre);

// Hourglass for as long as the object lives, whatever path the caller leaves by.
class RelojArena {
public:
    RelojArena();
    ~RelojArena();
    RelojArena(const RelojArena &) = delete;
    RelojArena &operator=(const RelojArena &) = delete;
};

void Pitido();
int Pitidos(); // how many beeps so far (tests)

} // namespace Screen
