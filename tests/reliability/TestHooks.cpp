#include "TestHooks.h"

#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "photos/FotosPrueba.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

void TestHooks::Instalar(Respuestas r) {
    // Whatever a form writes into the user's folders (the export's starting folder, the
    // documents folder) lands in a folder of the test's own.
    static QTemporaryDir casa;
    qputenv("HOME", QFile::encodeName(casa.path()));
    MessageService::setModoPrueba(true);
    MessageService::Limpiar();
    auto &prueba = ChoiceService::Prueba();
    prueba.codigoLocalidad = [codigo = r.codigoLocalidad](QWidget *, const QString &propuesto) {
        return codigo ? codigo(propuesto) : std::optional<QString>(propuesto);
    };
    prueba.dialogo = [dialogo = r.dialogo](QDialog *d) {
        return dialogo ? dialogo(d) : int(QDialog::Rejected);
    };
    prueba.abrir = [](const QUrl &) { return true; };
    // Spreadsheets and exports are written where they harm nothing.
    prueba.archivoGuardar = [](const QString &, const QString &propuesto) {
        return QDir::home().filePath(QFileInfo(propuesto).fileName());
    };
    prueba.carpeta = [](const QString &, const QString &) { return QDir::homePath(); };
    // The file to import: two waypoints in Madrid, one of a species named by its code.
    prueba.archivoAbrir = [](const QString &) {
        const QString ruta = QDir::home().filePath(u"puntos.gpx"_s);
        QFile f(ruta);
        if (f.open(QIODevice::WriteOnly))
            f.write("<gpx><wpt lat=\"40.4168\" lon=\"-3.7038\"><time>2024-05-03T10:00:00Z</time>"
                    "<name>BUFSPI</name></wpt><wpt lat=\"40.42\" lon=\"-3.69\">"
                    "<time>2024-05-04T10:00:00Z</time><name>Gato</name></wpt></gpx>");
        return ruta;
    };
    // The photos added to an observation: one taken in Madrid with its date and position,
    // one without Exif, and a file that is no photo. Written once, before any action, so
    // that choosing them changes nothing on the disk.
    const QList<std::pair<QString, QByteArray>> fotos = {
        {u"sol.jpg"_s,
         FotosPrueba::Foto({u"2024:05:03 10:15:00"_s, u"+02:00"_s, 40.4168, -3.7038, 5.0})},
        {u"sin.jpg"_s, FotosPrueba::Codificar(FotosPrueba::Dibujo(30, 20))},
        {u"nota.txt"_s, "sapo"}};
    QStringList rutas;
    for (const auto &[nombre, bytes] : fotos) {
        QFile f(QDir::home().filePath(nombre));
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
        rutas << f.fileName();
    }
    prueba.archivosAbrir = [rutas](const QString &) { return rutas; };
}

QString TestHooks::Mensajes(qsizetype desde) {
    QStringList r;
    for (const auto &m : MessageService::Mostrados().mid(desde))
        r << m.texto;
    return r.join(u'\n');
}

TestHooks::Vigia::Vigia() {
    qApp->installEventFilter(this);
}

TestHooks::Vigia::~Vigia() {
    qApp->removeEventFilter(this);
}

bool TestHooks::Vigia::eventFilter(QObject *o, QEvent *e) {
    auto *d = e->type() == QEvent::Show ? qobject_cast<QDialog *>(o) : nullptr;
    // A long task's progress window waits for nobody: the task goes on and closes it.
    if (qobject_cast<QProgressDialog *>(d) && d->objectName() == u"progreso") d = nullptr;
    if (d && !permitidos_.contains(d)) {
        intrusos_ << u"%1 '%2' (%3)"_s.arg(QString::fromLatin1(d->metaObject()->className()),
                                           d->windowTitle(), d->objectName());
        // Closed from inside its own event loop, so that exec() returns.
        QMetaObject::invokeMethod(d, &QDialog::reject, Qt::QueuedConnection);
    }
    return QObject::eventFilter(o, e);
}
