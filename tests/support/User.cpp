#include "User.h"

#include "TestDatabase.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

void User::Activar(QWidget *control) {
    QWidget *ventana = control->window();
    if (!ventana->isVisible()) ventana->show();
    if (!ventana->isActiveWindow()) {
        ventana->activateWindow();
        QApplication::setActiveWindow(ventana);
    }
}

void User::Escribir(QWidget *control, const QString &texto) {
    Activar(control);
    control->setFocus(Qt::MouseFocusReason);
    QWidget *destino = control;
    if (auto *lista = qobject_cast<QComboBox *>(control); lista && lista->lineEdit()) {
        lista->lineEdit()->selectAll();
        destino = lista;
    } else if (auto *campo = qobject_cast<QLineEdit *>(control)) {
        campo->selectAll();
    }
    if (texto.isEmpty()) {
        QTest::keyClick(destino, Qt::Key_Delete);
        return;
    }
    for (const QChar ch : texto) {
        if (ch.unicode() < 128) {
            QTest::keyClick(destino, char(ch.unicode()));
            continue;
        }
        // QTest types ASCII only; other letters arrive as a key event with their text.
        QKeyEvent pulsada(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(destino, &pulsada);
        QKeyEvent soltada(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(destino, &soltada);
    }
}

void User::SalirDe(QWidget *control) {
    // Moves the focus away the way a click on another control does.
    Activar(control);
    QWidget *ventana = control->window();
    QWidget *otro = control->nextInFocusChain();
    while (otro && otro != control &&
           (!otro->isVisible() || !otro->isEnabled() || otro->focusPolicy() == Qt::NoFocus ||
            control->isAncestorOf(otro) || otro == ventana))
        otro = otro->nextInFocusChain();
    if (!control->hasFocus()) control->setFocus(Qt::OtherFocusReason);
    if (otro && otro != control)
        otro->setFocus(Qt::MouseFocusReason);
    else
        control->clearFocus();
}

void User::Poner(QWidget *control, const QString &texto) {
    Escribir(control, texto);
    SalirDe(control);
}

void User::Elegir(QComboBox *lista, const QString &texto) {
    const int i = lista->findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive);
    QVERIFY2(i >= 0,
             qPrintable(QStringLiteral("no item '%1' in %2").arg(texto, lista->objectName())));
    ModBaseDatos::ElegirComoUsuario(lista, i);
}

void User::Responder(const QList<QMessageBox::StandardButton> &respuestas) {
    MessageService::Limpiar();
    for (const auto r : respuestas)
        MessageService::EncolarRespuesta(r);
}

// Every form test answers message boxes from its queue, starting empty with each database;
// the outside choices a test answered go back to the real dialogs with its database.
namespace {
const bool preparado = [] {
    TestDatabase::Preparar([] {
        MessageService::setModoPrueba(true);
        MessageService::Limpiar();
    });
    TestDatabase::AlTerminar(ChoiceService::Restablecer);
    return true;
}();
} // namespace
