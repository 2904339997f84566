#include "gui/RefusalTracker.h"

#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"

#include <QApplication>
#include <QComboBox>

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
    if (ModBaseDatos::EsItem(lista, texto)) return false;
    ModBaseDatos::Vaciar(lista);
    if (texto.isEmpty()) return false;
    Anotar();
    MessageService::Mostrar(
        padre,
        QStringLiteral("«%1» no es ningún %2 de la lista: elija uno de ella.").arg(texto, que),
        QStringLiteral("Datos incorrectos"), QMessageBox::Warning);
    return true;
}
