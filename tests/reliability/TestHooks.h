#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

class QDialog;
class QWidget;

// Every answer from outside the forms goes through here, the one place to adapt when the
// forms' hooks move: message boxes (answered from MessageService's queue), the new
// locality's code prompt, the modal observer forms, the files chosen (a GPX file, photos)
// and the desktop's opener.
namespace TestHooks {

struct Respuestas {
    // The code prompt: the accepted code, or nothing when the user closes it. Unset: the
    // proposed code is accepted.
    std::function<std::optional<QString>(const QString &propuesto)> codigoLocalidad;
    // A modal form (new or changed observer) shown by the observer list: what the user does
    // with it, returning the dialog's result. Unset: closed at once.
    std::function<int(QDialog *)> dialogo;
};

// Test mode for message boxes, an empty queue, and the hooks answering as given.
void Instalar(Respuestas respuestas = {});

// The texts of the message boxes shown since the given one, a line each.
QString Mensajes(qsizetype desde = 0);

// Watches for dialogs and message boxes shown outside the hooks: in a test they would wait
// for a user that is not there. Each one is named and closed.
class Vigia : public QObject {
public:
    Vigia();
    ~Vigia() override;
    void Permitir(QWidget *dialogo) { permitidos_ << dialogo; }
    // The dialogs seen since the last call.
    QStringList Tomar() { return std::exchange(intrusos_, {}); }

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    QSet<QWidget *> permitidos_;
    QStringList intrusos_;
};

} // namespace TestHooks
