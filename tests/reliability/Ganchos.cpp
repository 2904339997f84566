#include "Ganchos.h"

#include "app/principal.h"
#include "gui/MessageService.h"
#include "observations/newobs.h"
#include "observers/frobs.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>

void Ganchos::Instalar(Respuestas r) {
    MessageService::setModoPrueba(true);
    MessageService::Limpiar();
    auto codigo = r.codigoLocalidad;
    newobs::setPreguntaCodigo([codigo](QWidget *, const QString &propuesto) {
        return codigo ? codigo(propuesto) : std::optional<QString>(propuesto);
    });
    auto dialogo = r.dialogo;
    frobs::setMostrarDialogo(
        [dialogo](QDialog *d) { return dialogo ? dialogo(d) : int(QDialog::Rejected); });
    principal::setAbridor([](const QUrl &) { return true; });
}

void Ganchos::Quitar() {
    newobs::setPreguntaCodigo(nullptr);
    newobs::setElegirObservador(nullptr);
    frobs::setMostrarDialogo(nullptr);
    principal::setAbridor(nullptr);
}

Ganchos::Vigia::Vigia() {
    qApp->installEventFilter(this);
}

Ganchos::Vigia::~Vigia() {
    qApp->removeEventFilter(this);
}

bool Ganchos::Vigia::eventFilter(QObject *o, QEvent *e) {
    if (e->type() == QEvent::Show) {
        auto *d = qobject_cast<QDialog *>(o);
        if (d && !permitidos_.contains(d)) {
            intrusos_ << QStringLiteral("%1 '%2' (%3)")
                             .arg(QString::fromLatin1(d->metaObject()->className()),
                                  d->windowTitle(), d->objectName());
            // Closed from inside its own event loop, so that exec() returns.
            QMetaObject::invokeMethod(d, &QDialog::reject, Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(o, e);
}
