#include "Mensajes.h"

#include <QPointer>
#include <QQueue>

namespace {
bool modoPrueba = false;
QQueue<QMessageBox::StandardButton> respuestas;
QList<Mensajes::Mostrado> mostrados;
} // namespace

QMessageBox::StandardButton Mensajes::Mostrar(QWidget *padre, const QString &texto,
                                              const QString &titulo, QMessageBox::Icon icono,
                                              QMessageBox::StandardButtons botones) {
    mostrados << Mostrado{texto, titulo, icono, botones};
    if (modoPrueba) {
        if (!respuestas.isEmpty()) return respuestas.dequeue();
        return botones.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::No;
    }
    QMessageBox caja(icono, titulo, texto, botones, padre);
    if (botones.testFlag(QMessageBox::Yes)) caja.setDefaultButton(QMessageBox::Yes);
    return QMessageBox::StandardButton(caja.exec());
}

void Mensajes::setModoPrueba(bool activo) { modoPrueba = activo; }
void Mensajes::EncolarRespuesta(QMessageBox::StandardButton r) { respuestas.enqueue(r); }
QList<Mensajes::Mostrado> Mensajes::Mostrados() { return mostrados; }
Mensajes::Mostrado Mensajes::Ultimo() {
    return mostrados.isEmpty() ? Mostrado{} : mostrados.last();
}
void Mensajes::Limpiar() {
    mostrados.clear();
    respuestas.clear();
}
