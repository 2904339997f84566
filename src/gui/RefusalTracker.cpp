#include "gui/RefusalTracker.h"

#include "gui/MessageService.h"

#include <QApplication>
#include <QComboBox>
#include <QSignalBlocker>

void RefusalTracker::Anotar() {
    destino_ = QApplication::focusWidget();
}

bool RefusalTracker::Consumir(QWidget *boton) {
    const bool rechazado = destino_ && destino_ == boton;
    destino_.clear();
    return rechazado;
}

bool RefusalTracker::ComprobarLista(QWidget *padre, QComboBox *lista, const QString &que) {
    const QString texto = lista->currentText();
    if (lista->findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0) return false;
    {
        const QSignalBlocker bloqueo(lista);
        lista->setCurrentIndex(-1);
        if (lista->isEditable()) lista->setEditText(QString());
    }
    if (texto.isEmpty()) return false;
    Anotar();
    MessageService::Mostrar(
        padre,
        QStringLiteral("«%1» no es ningún %2 de la lista: elija uno de ella.").arg(texto, que),
        QStringLiteral("Datos incorrectos"), QMessageBox::Warning);
    return true;
}
