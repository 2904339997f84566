#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

class QWidget;

// Every message box of the program goes through here, so that tests can read what was
// shown and answer it. In the program the boxes are real QMessageBoxes.
// Enter answers `porDefecto`; left unset, Sí where it is offered. A question whose Sí
// replaces, stores or discards something the user may not want passes QMessageBox::No.
namespace MessageService {

struct Mostrado {
    QString texto;
    QString titulo;
    QMessageBox::Icon icono;
    QMessageBox::StandardButtons botones;
    QMessageBox::StandardButton porDefecto; // what Enter answers
};

QMessageBox::StandardButton Mostrar(QWidget *padre, const QString &texto,
                                    const QString &titulo = QStringLiteral("Tritodex"),
                                    QMessageBox::Icon icono = QMessageBox::NoIcon,
                                    QMessageBox::StandardButtons botones = QMessageBox::Ok,
                                    QMessageBox::StandardButton porDefecto = QMessageBox::NoButton);

// A database failure: shown like any warning, but within a UserAction only the first one.
void MostrarFallo(QWidget *padre, const QString &texto,
                  const QString &titulo = QStringLiteral("Tritodex"));

// One user action (a click, a choice, a form opening) raises one message about the database,
// not one per failing statement. While one lives (they nest: the outermost counts), the first
// failure is shown; later failures, and notices that merely follow from it (Ok-only boxes),
// are swallowed. Questions are still asked.
class UserAction {
public:
    UserAction();
    ~UserAction();
    UserAction(const UserAction &) = delete;
    UserAction &operator=(const UserAction &) = delete;
};

// Test mode: no window; each box takes the next queued answer, or, with none queued, Ok
// when offered and No otherwise.
void setModoPrueba(bool activo);
void EncolarRespuesta(QMessageBox::StandardButton respuesta);
QList<Mostrado> Mostrados();
Mostrado Ultimo();
void Limpiar();

} // namespace MessageService
