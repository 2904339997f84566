#pragma once

#include "gui/Screen.h"

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
    std::function<void(QWidget *solicitante,
                       std::function<void(const QString &codigo, const QString &nombre)> elegir)>
        observador;
    // A file to write (empty: the user cancelled) and a folder to choose.
    std::function<QString(const QString &titulo, const QString &propuesto)> archivoGuardar;
    std::function<QString(const QString &titulo, const QString &inicio)> carpeta;
    // A file to read (empty: the user cancelled).
    std::function<QString(const QString &titulo)> archivoAbrir;
    // Several files to read (none: the user cancelled).
    std::function<QStringList(const QString &titulo)> archivosAbrir;
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

// A dialog on the heap, deleted when the holder goes or with its parent, whichever comes
// first: a form closed while its dialog runs must not leave the dialog to be deleted twice.
template <class Dialogo> class EnMonton {
public:
    template <class... Argumentos>
    explicit EnMonton(Argumentos &&...argumentos)
        : dialogo_(new Dialogo(std::forward<Argumentos>(argumentos)...)) {}
    ~EnMonton() { delete dialogo_.data(); }
    EnMonton(const EnMonton &) = delete;
    EnMonton &operator=(const EnMonton &) = delete;
    Dialogo *get() const { return dialogo_; }
    Dialogo *operator->() const { return dialogo_; }
    explicit operator bool() const { return dialogo_; }

private:
    QPointer<Dialogo> dialogo_;
};

// Shows a modal dialog over its parent form; QDialog::Rejected when the form was closed
// meanwhile (the form then goes once the caller has returned).
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
        EnMonton<Dialogo> dialogo(std::forward<Argumentos>(argumentos)..., lista);
        if constexpr (requires { dialogo->Cargado(); })
            resultado = dialogo->Cargado() ? MostrarDialogo(dialogo.get()) : int(QDialog::Accepted);
        else
            resultado = MostrarDialogo(dialogo.get());
    }
    return viva && !Screen::Cerrandose(viva) && resultado == QDialog::Accepted;
}
QString ArchivoParaGuardar(QWidget *padre, const QString &titulo, const QString &propuesto,
                           const QString &filtro);
QString Carpeta(QWidget *padre, const QString &titulo, const QString &inicio);
QString ArchivoParaAbrir(QWidget *padre, const QString &titulo, const QString &filtro);
QStringList ArchivosParaAbrir(QWidget *padre, const QString &titulo, const QString &filtro);
bool Abrir(const QUrl &direccion);
// Asks for a server's password, typed hidden; it is kept in memory only.
std::optional<QString> Contrasena(QWidget *padre, const QString &quien);

} // namespace ChoiceService
