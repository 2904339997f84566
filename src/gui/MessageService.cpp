#include "gui/MessageService.h"

#include "gui/Screen.h"

#include <QPointer>
#include <QQueue>
#include <optional>

namespace {
bool modoPrueba = false;
QQueue<QMessageBox::StandardButton> respuestas;
QList<MessageService::Mostrado> mostrados;
int accionesAbiertas = 0;
bool falloEnAccion = false;
} // namespace

MessageService::UserAction::UserAction() {
    if (accionesAbiertas++ == 0) falloEnAccion = false;
}

MessageService::UserAction::~UserAction() {
    if (--accionesAbiertas == 0) falloEnAccion = false;
}

void MessageService::MostrarFallo(QWidget *padre, const QString &texto, const QString &titulo) {
    if (falloEnAccion) return;
    Mostrar(padre, texto, titulo, QMessageBox::Warning);
    if (accionesAbiertas > 0) falloEnAccion = true;
}

QMessageBox::StandardButton MessageService::Mostrar(QWidget *padre, const QString &texto,
                                                    const QString &titulo, QMessageBox::Icon icono,
                                                    QMessageBox::StandardButtons botones,
                                                    QMessageBox::StandardButton porDefecto) {
    // After the action's database failure a plain notice would only mislead.
    if (falloEnAccion && (botones & ~QMessageBox::StandardButtons(QMessageBox::Ok)) == 0)
        return QMessageBox::Ok;
    if (porDefecto == QMessageBox::NoButton && botones.testFlag(QMessageBox::Yes))
        porDefecto = QMessageBox::Yes;
    mostrados << Mostrado{texto, titulo, icono, botones, porDefecto};
    if (modoPrueba) {
        if (!respuestas.isEmpty()) return respuestas.dequeue();
        return botones.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::No;
    }
    // A form closed while its box is up gets the answer that changes nothing, and no box
    // after that one.
    const QMessageBox::StandardButton sinCambios =
        botones.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel
        : botones.testFlag(QMessageBox::No)   ? QMessageBox::No
                                              : QMessageBox::Ok;
    if (padre && Screen::Cerrandose(padre)) return sinCambios;
    // On the heap: a box on the stack would be deleted twice if its form went meanwhile.
    QPointer<QMessageBox> caja = new QMessageBox(icono, titulo, texto, botones, padre);
    if (porDefecto != QMessageBox::NoButton) caja->setDefaultButton(porDefecto);
    std::optional<Screen::RetenerFormulario> retenido;
    if (padre) retenido.emplace(padre, caja);
    const auto respuesta = QMessageBox::StandardButton(caja->exec());
    const bool cerrado = !caja || (retenido && retenido->Cerrado());
    delete caja.data();
    return cerrado ? sinCambios : respuesta;
}

void MessageService::setModoPrueba(bool activo) {
    modoPrueba = activo;
}
void MessageService::EncolarRespuesta(QMessageBox::StandardButton r) {
    respuestas.enqueue(r);
}
QList<MessageService::Mostrado> MessageService::Mostrados() {
    return mostrados;
}
MessageService::Mostrado MessageService::Ultimo() {
    return mostrados.isEmpty() ? Mostrado{} : mostrados.last();
}
void MessageService::Limpiar() {
    mostrados.clear();
    respuestas.clear();
}
