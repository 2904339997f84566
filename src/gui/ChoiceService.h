#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class QWidget;

// Every choice the program asks of the world outside a form goes through here: modal
// dialogs, the new locality's code, the observer chosen from the list, files and folders,
// and what the desktop opens. In the program each is the real dialog; a test installs its
// answers, and one Restablecer() puts every choice back.
namespace ChoiceService {

// A test's answers; an empty one leaves that choice to the real dialog.
struct Respuestas {
    // A modal dialog (new and changed observers...): returns its result code.
    std::function<int(QDialog *)> dialogo;
    // The new locality's code, given the proposed one; nothing when the prompt was closed.
    std::function<std::optional<QString>(QWidget *padre, const QString &propuesto)> codigoLocalidad;
    // The observer list opened for a slot; the test calls `elegir` to hand one back.
    std::function<void(QWidget *solicitante, const QString &origen,
                       std::function<void(const QString &codigo, const QString &nombre)> elegir)>
        observador;
    // A file to write (empty: the user cancelled) and a folder to choose.
    std::function<QString(const QString &titulo, const QString &propuesto)> archivoGuardar;
    std::function<QString(const QString &titulo, const QString &inicio)> carpeta;
    // A file to read (empty: the user cancelled).
    std::function<QString(const QString &titulo)> archivoAbrir;
    // Opening a document or an address with the desktop's program: whether it opened.
    std::function<bool(const QUrl &)> abrir;
    // The password a server asks for (the text describes user and server); nothing when
    // the user cancelled.
    std::function<std::optional<QString>(const QString &quien)> contrasena;
};

// The installed answers, to set one by one in a test.
Respuestas &Prueba();
// Back to the real dialogs for every choice.
void Restablecer();

int MostrarDialogo(QDialog *dialogo);

// Shows a list's new or change dialog, built over the list with the given arguments; true
// when it was accepted and the list is still open, so the list reads its rows again. A
// change dialog that could not load its row has told the user; the list is read again then
// too.
template <class Dialogo, class... Argumentos>
bool DialogoAceptado(QWidget *lista, Argumentos &&...argumentos) {
    QPointer<QWidget> viva(lista);
    int resultado = QDialog::Rejected;
    {
        Dialogo dialogo(std::forward<Argumentos>(argumentos)..., lista);
        if constexpr (requires { dialogo.Cargado(); })
            resultado = dialogo.Cargado() ? MostrarDialogo(&dialogo) : int(QDialog::Accepted);
        else
            resultado = MostrarDialogo(&dialogo);
    }
    return viva && resultado == QDialog::Accepted;
}
QString ArchivoParaGuardar(QWidget *padre, const QString &titulo, const QString &propuesto,
                           const QString &filtro);
QString Carpeta(QWidget *padre, const QString &titulo, const QString &inicio);
QString ArchivoParaAbrir(QWidget *padre, const QString &titulo, const QString &filtro);
bool Abrir(const QUrl &direccion);
// Asks for a server's password, typed hidden; it is kept in memory only.
std::optional<QString> Contrasena(QWidget *padre, const QString &quien);

} // namespace ChoiceService
