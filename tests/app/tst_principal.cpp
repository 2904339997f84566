#include "support/TestDatabase.h"

#include "app/principal.h"
#include "data/Backups.h"
#include "data/ModBaseDatos.h"
#include "data/ModConex.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_principal : public QObject {
    Q_OBJECT
private slots:
    void init();
    void menu();
    void arranque();
    void copiasAlArrancar();
    void ventanas();
};

namespace {
QAction *Accion(principal &p, const char *nombre) {
    return p.findChild<QAction *>(QString::fromLatin1(nombre));
}
QWidget *AbrirHijo(const QString &nombre) {
    auto *w = new QWidget;
    w->setObjectName(nombre);
    w->setWindowTitle(nombre); // windows titled as the main one are never closed
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
    // The menu as the user sees it, in order, with the shortcuts users learn.
    principal p;
    QStringList menu;
    for (QAction *a : p.menuBar()->actions()) {
        menu << a->text();
        for (QAction *b : a->menu() ? a->menu()->actions() : QList<QAction *>())
            menu << u"  "_s + b->text() + u' ' + b->shortcut().toString();
    }
    QCOMPARE(menu, QStringList({"&Observaciones", "  Nueva Ctrl+N", "  Consulta ", "  Mapa ",
                                "  Fenología ", "  Importar ", "&Parámetros", "  Observadores ",
                                "  Motivos ", "  Localidades ", "  Copias de seguridad ",
                                "  Base de datos ", "E&xportar", "&Ayuda", "  Tutorial F1",
                                "  Acerca de... ", "  Web ", "Salir"}));
}

void tst_principal::arranque() {
    // One message per cause, in plain words (each cause: tst_fallosBaseDatos); the start-up
    // window goes whatever happens.
    QTemporaryDir vacia;
    ModConex::setRutaAplicacion(vacia.path());
    principal p;
    p.Form_Load();
    QCOMPARE(MessageService::Mostrados().size(), 1);
    QVERIFY2(MessageService::Ultimo().texto.startsWith(
                 u"Problema de Conexión con la base de datos\n\nNo se encuentra el archivo "
                 "Tritodex.mdb en la carpeta del programa"_s),
             qPrintable(MessageService::Ultimo().texto));
    QVERIFY(!QFile::exists(vacia.filePath(u"Tritodex.mdb"_s)));
    QVERIFY(!Screen::BuscarFormulario(u"frspini"_s));

    // With a good database no message; with one that may only be read, the program starts
    // and says so once.
    MessageService::Limpiar();
    TestDatabase bd;
    principal q;
    q.Form_Load();
    QVERIFY(MessageService::Mostrados().isEmpty());
    ModConex::setSoloLectura(true);
    principal r;
    r.Form_Load();
    ModConex::setSoloLectura(false);
    QCOMPARE(MessageService::Mostrados().size(), 1);
    QCOMPARE(MessageService::Ultimo().texto,
             u"El archivo Tritodex.mdb es de solo lectura: se pueden consultar los datos, pero no "
             "guardar cambios."_s);
    QVERIFY(ModConex::DatabaseConnection().isOpen());
}

void tst_principal::copiasAlArrancar() {
    TestDatabase bd;
    QVERIFY(bd.db().transaction());
    for (int i = 0; i < 400; ++i)
        QVERIFY(
            bd.Ejecutar(u"INSERT INTO observacion (especie, descripcion) VALUES ('SALSAL', ?)"_s,
                        {u"nota %1 "_s.arg(i).repeated(20)}));
    QVERIFY(bd.db().commit());
    // A copy at the first start of the day, not at the second.
    for (int vez = 0; vez < 2; ++vez) {
        principal p;
        p.Form_Load();
    }
    QVERIFY(MessageService::Mostrados().isEmpty());
    QCOMPARE(Backups::Listar().size(), 1);

    // The file damaged: refused, never written to; the newest sound copy is offered and put
    // back, the damaged file kept beside the copies.
    ModConex::Desconectar();
    QFile f(bd.ruta());
    QVERIFY(f.open(QIODevice::ReadWrite));
    for (qint64 p = f.size() / 4096 / 2, fin = p + 4; p < fin; ++p)
        QVERIFY(f.seek(p * 4096 + 8) && f.write(QByteArray(600, '\xff')) == 600);
    f.close();
    for (const auto r : {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::Ok})
        MessageService::EncolarRespuesta(r);
    {
        principal p;
        p.Form_Load();
    }
    const QStringList esperados = {
        u"Problema de Conexión con la base de datos\n\nEl archivo Tritodex.mdb está dañado"_s,
        u"La copia de seguridad más reciente en buen estado es del "_s,
        u"Se han restaurado los datos de la copia del "_s};
    QCOMPARE(MessageService::Mostrados().size(), esperados.size());
    for (int i = 0; i < esperados.size(); ++i)
        QVERIFY2(MessageService::Mostrados().at(i).texto.startsWith(esperados[i]),
                 qPrintable(MessageService::Mostrados().at(i).texto));
    QVERIFY(ModConex::DatabaseConnection().isOpen());
    QCOMPARE(bd.Contar(u"observacion"_s), 400);
    QCOMPARE(Backups::Listar().size(), 2);

    // A copy that cannot be made is said once, and the program goes on.
    for (const auto &c : Backups::Listar())
        QVERIFY(QFile::remove(c.ruta));
    QVERIFY(QDir().rmdir(Backups::Carpeta()));
    QFile estorbo(Backups::Carpeta());
    QVERIFY(estorbo.open(QIODevice::WriteOnly));
    estorbo.close();
    MessageService::Limpiar();
    {
        principal p;
        p.Form_Load();
    }
    QCOMPARE(MessageService::Mostrados().size(), 1);
    QVERIFY(MessageService::Ultimo().texto.startsWith(
        u"No se ha podido hacer la copia de seguridad automática"_s));
    QVERIFY(ModConex::DatabaseConnection().isOpen());
}

void tst_principal::ventanas() {
    QTemporaryDir dir;
    ModConex::setRutaAplicacion(dir.path());
    QList<QUrl> abiertas;
    ChoiceService::Prueba().abrir = [&](const QUrl &u) { return abiertas << u, true; };
    principal p;
    p.show();
    QPointer<QWidget> a = AbrirHijo(u"uno"_s), b = AbrirHijo(u"dos"_s);
    QPointer<QWidget> suelta = new QWidget; // a window outside the main one
    suelta->setWindowTitle(u"suelta"_s);
    suelta->setAttribute(Qt::WA_DeleteOnClose);
    suelta->show();

    // Missing help document: the user is told, nothing is opened.
    Accion(p, "help")->trigger();
    QCOMPARE(abiertas.size(), 0);
    QVERIFY(MessageService::Ultimo().texto.contains(u"Tritodex.pdf"_s));
    QFile pdf(dir.filePath(u"Tritodex.pdf"_s));
    QVERIFY(pdf.open(QIODevice::WriteOnly));
    pdf.close();
    MessageService::Limpiar();
    Accion(p, "help")->trigger();
    Accion(p, "web")->trigger();
    QCOMPARE(abiertas,
             QList<QUrl>({QUrl::fromLocalFile(pdf.fileName()), QUrl(u"https://www.gbif.es/"_s)}));
    QVERIFY(MessageService::Mostrados().isEmpty());

    // Neither closes a window; "Acerca de..." closes every other one, then opens its own.
    QVERIFY(a && b && suelta);
    Accion(p, "acerca")->trigger();
    QTRY_VERIFY(!a && !b && !suelta);
    QPointer<QWidget> acerca = Screen::BuscarFormulario(u"frsplash"_s);
    QVERIFY(acerca);
    ChoiceService::Restablecer();

    // Leaving asks; "No" keeps the main window, without the others.
    a = AbrirHijo(u"tarea"_s);
    MessageService::EncolarRespuesta(QMessageBox::No);
    Accion(p, "sortir")->trigger();
    QVERIFY(p.isVisible());
    QTRY_VERIFY(!a && !acerca);
    const auto m = MessageService::Ultimo();
    QCOMPARE(m.titulo + u'|' + m.texto, u"Salir|Salir de la aplicación?"_s);
    QVERIFY(m.icono == QMessageBox::Question && m.botones == (QMessageBox::Yes | QMessageBox::No));
    // The window's close button asks the same; "Yes" closes.
    MessageService::Limpiar();
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    p.close();
    QVERIFY(!p.isVisible());
    QCOMPARE(MessageService::Mostrados().size(), 1);
}

QTEST_MAIN(tst_principal)
#include "tst_principal.moc"
