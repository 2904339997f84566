#include "support/TestDatabase.h"

#include "app/principal.h"
#include "data/ModBaseDatos.h"
#include "data/ModConex.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>

class tst_principal : public QObject {
    Q_OBJECT
private slots:
    void init();
    void menu();
    void arranqueSinBaseDatos();
    void cerrarFormularios();
    void ayudaYWeb();
    void salir();
};

namespace {
QAction *Accion(principal &p, const char *nombre) {
    return p.findChild<QAction *>(QString::fromLatin1(nombre));
}
QWidget *AbrirHijo(const QString &nombre) {
    auto *w = new QWidget;
    w->setObjectName(nombre);
    w->setWindowTitle(nombre);
    Screen::MostrarHijo(w);
    return w;
}
} // namespace

void tst_principal::init() {
    MessageService::setModoPrueba(true);
    MessageService::Limpiar();
    ModBaseDatos::setEscalaEsperas(0.0);
}

void tst_principal::menu() {
    principal p;
    QCOMPARE(p.windowTitle(), QStringLiteral("Tritodex"));
    QStringList barra;
    for (QAction *a : p.menuBar()->actions())
        barra << a->objectName() + u'=' + a->text();
    QCOMPARE(barra,
             QStringList({QStringLiteral("obs=&Observaciones"), QStringLiteral("param=&Parámetros"),
                          QStringLiteral("fitxer=E&xportar"), QStringLiteral("varis=&Ayuda"),
                          QStringLiteral("sortir=Salir")}));
    auto items = [&](const char *menu) {
        QStringList r;
        for (QAction *a : p.findChild<QMenu *>(QString::fromLatin1(menu))->actions())
            r << a->objectName() + u'=' + a->text();
        return r;
    };
    QCOMPARE(items("obs"),
             QStringList({QStringLiteral("new=Nueva"), QStringLiteral("cons=Consulta")}));
    QCOMPARE(items("param"),
             QStringList({QStringLiteral("observ=Observadores"), QStringLiteral("motivo=Motivos"),
                          QStringLiteral("loc=Localidades")}));
    QCOMPARE(items("varis"),
             QStringList({QStringLiteral("help=Tutorial"), QStringLiteral("acerca=Acerca de..."),
                          QStringLiteral("web=Web")}));
    QCOMPARE(Accion(p, "new")->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    QCOMPARE(Accion(p, "help")->shortcut(), QKeySequence(Qt::Key_F1));
}

void tst_principal::arranqueSinBaseDatos() {
    QTemporaryDir vacia;
    ModConex::setRutaAplicacion(vacia.path());
    principal p;
    p.Form_Load();
    QCOMPARE(MessageService::Mostrados().size(), 1);
    // The cause follows, in plain words (each cause: tst_fallosBaseDatos).
    QVERIFY2(MessageService::Ultimo().texto.startsWith(
                 QStringLiteral("Problema de Conexión con la base de datos\n\nNo se encuentra el "
                                "archivo Tritodex.mdb en la carpeta del programa")),
             qPrintable(MessageService::Ultimo().texto));
    QCOMPARE(MessageService::Ultimo().titulo, QStringLiteral("Tritodex"));
    QCOMPARE(MessageService::Ultimo().icono, QMessageBox::NoIcon);
    QVERIFY(!QFile::exists(vacia.filePath(QStringLiteral("Tritodex.mdb"))));
    // The start-up window is gone and the client area has the program's colour.
    QVERIFY(!Screen::BuscarFormulario(QStringLiteral("frspini")));
    QCOMPARE(p.findChild<QMdiArea *>()->background().color(), QColor(161, 163, 88));

    // With a good database no message.
    MessageService::Limpiar();
    TestDatabase bd;
    principal q;
    q.Form_Load();
    QVERIFY(MessageService::Mostrados().isEmpty());

    // A file that may only be read: the program starts and says so once.
    ModConex::setSoloLectura(true);
    principal r;
    r.Form_Load();
    ModConex::setSoloLectura(false);
    QCOMPARE(MessageService::Mostrados().size(), 1);
    QCOMPARE(MessageService::Ultimo().texto,
             QStringLiteral("El archivo Tritodex.mdb es de solo lectura: se pueden consultar los "
                            "datos, pero no guardar cambios."));
    QVERIFY(ModConex::DatabaseConnection().isOpen());
}

void tst_principal::cerrarFormularios() {
    principal p;
    p.show();
    QPointer<QWidget> a = AbrirHijo(QStringLiteral("uno"));
    QPointer<QWidget> b = AbrirHijo(QStringLiteral("dos"));
    auto *suelta = new QWidget;
    suelta->setAttribute(Qt::WA_DeleteOnClose);
    suelta->setWindowTitle(QStringLiteral("suelta"));
    suelta->show();
    QPointer<QWidget> c = suelta;

    // "Tutorial" closes nothing.
    ChoiceService::Prueba().abrir = ([](const QUrl &) { return true; });
    Accion(p, "help")->trigger();
    QVERIFY(a && b && c);

    // "Acerca de..." closes every other window, then opens the about window, centred.
    Accion(p, "acerca")->trigger();
    QTRY_VERIFY(!a && !b && !c);
    QWidget *acerca = Screen::BuscarFormulario(QStringLiteral("frsplash"));
    QVERIFY(acerca);
    QCOMPARE(acerca->windowTitle(), QStringLiteral("Acerca de Tritodex"));
    QCOMPARE(acerca->size(), QSize(709, 271));
    QCOMPARE(acerca->palette().color(QPalette::Window), QColor(150, 150, 50));
    ChoiceService::Restablecer();
}

void tst_principal::ayudaYWeb() {
    QTemporaryDir dir;
    ModConex::setRutaAplicacion(dir.path());
    QList<QUrl> abiertas;
    ChoiceService::Prueba().abrir = ([&](const QUrl &u) {
        abiertas << u;
        return true;
    });
    principal p;

    // Missing help document: the user is told, nothing is opened.
    Accion(p, "help")->trigger();
    QCOMPARE(abiertas.size(), 0);
    QVERIFY(MessageService::Ultimo().texto.contains(QStringLiteral("Tritodex.pdf")));

    QFile pdf(dir.filePath(QStringLiteral("Tritodex.pdf")));
    QVERIFY(pdf.open(QIODevice::WriteOnly));
    pdf.close();
    MessageService::Limpiar();
    Accion(p, "help")->trigger();
    QCOMPARE(abiertas.value(0), QUrl::fromLocalFile(dir.filePath(QStringLiteral("Tritodex.pdf"))));
    QVERIFY(MessageService::Mostrados().isEmpty());

    Accion(p, "web")->trigger();
    QCOMPARE(abiertas.value(1), QUrl(QStringLiteral("https://www.gbif.es/")));
    ChoiceService::Restablecer();
}

void tst_principal::salir() {
    principal p;
    p.show();
    QPointer<QWidget> hijo = AbrirHijo(QStringLiteral("tarea"));

    // "No" keeps the main window, without task windows.
    MessageService::EncolarRespuesta(QMessageBox::No);
    Accion(p, "sortir")->trigger();
    QVERIFY(p.isVisible());
    QTRY_VERIFY(!hijo);
    QCOMPARE(MessageService::Ultimo().texto, QStringLiteral("Salir de la aplicación?"));
    QCOMPARE(MessageService::Ultimo().titulo, QStringLiteral("Salir"));
    QCOMPARE(MessageService::Ultimo().icono, QMessageBox::Question);
    QCOMPARE(MessageService::Ultimo().botones, QMessageBox::Yes | QMessageBox::No);

    // The window's close button asks the same; "Yes" closes.
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    p.close();
    QVERIFY(!p.isVisible());
    QCOMPARE(MessageService::Mostrados().size(), 2);
}

QTEST_MAIN(tst_principal)
#include "tst_principal.moc"
