#include "TestHooks.h"

#include "gui/ChoiceService.h"
#include "gui/MessageService.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

void TestHooks::Instalar(Respuestas r) {
    // Whatever a form writes into the user's folders (the export's starting folder, the
    // documents folder) lands in a folder of the test's own.
    static QTemporaryDir casa;
    qputenv("HOME", QFile::encodeName(casa.path()));
    MessageService::setModoPrueba(true);
    MessageService::Limpiar();
    auto codigo = r.codigoLocalidad;
    ChoiceService::Prueba().codigoLocalidad = [codigo](QWidget *, const QString &propuesto) {
        return codigo ? codigo(propuesto) : std::optional<QString>(propuesto);
    };
    auto dialogo = r.dialogo;
    ChoiceService::Prueba().dialogo = [dialogo](QDialog *d) {
        return dialogo ? dialogo(d) : int(QDialog::Rejected);
    };
    ChoiceService::Prueba().abrir = [](const QUrl &) { return true; };
    // Spreadsheets and exports are written where they harm nothing.
    ChoiceService::Prueba().archivoGuardar = [](const QString &, const QString &propuesto) {
        return QDir::home().filePath(QFileInfo(propuesto).fileName());
    };
    ChoiceService::Prueba().carpeta = [](const QString &, const QString &) {
        return QDir::homePath();
    };
}

void TestHooks::Quitar() {
    ChoiceService::Restablecer();
}

TestHooks::Vigia::Vigia() {
    qApp->installEventFilter(this);
}

TestHooks::Vigia::~Vigia() {
    qApp->removeEventFilter(this);
}

bool TestHooks::Vigia::eventFilter(QObject *o, QEvent *e) {
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
