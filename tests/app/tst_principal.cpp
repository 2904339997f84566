#include "data/Clock.h"
#include "support/Files.h"
#include "support/TestDatabase.h"

#include "app/Startup.h"
#include "app/principal.h"
#include "data/Backups.h"
#include "data/Instalacion.h"
#include "data/ModBaseDatos.h"
#include "data/ModConex.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"
#include "localities/frgps.h"
#include "localities/frinsLoc.h"
#include "localities/frmodifloc.h"
#include "observations/frmodif.h"
#include "observers/frinsObs.h"
#include "observers/frmodifobs.h"
#include "observers/frobs.h"
#include "support/User.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <functional>

using namespace Qt::StringLiterals;

class tst_principal : public QObject {
    Q_OBJECT
private slots:
    void init() {
        MessageService::setModoPrueba(true);
        MessageService::Limpiar();
        ModBaseDatos::setEscalaEsperas(0.0);
    }
    void menu();
    void arranque();
    void copiasAlArrancar();
    void ventanas();
    void cambiosSinGuardar();
};

namespace {
QAction *Accion(principal &p, const char *nombre) {
    return p.findChild<QAction *>(QString::fromLatin1(nombre));
}
// How many messages were shown, and the last one's text.
QString Mostrado() {
    return u"%1|"_s.arg(MessageService::Mostrados().size()) + MessageService::Ultimo().texto;
}
QWidget *AbrirHijo(const QString &nombre, QSize tamano = {}) {
    auto *w = new QWidget;
    if (tamano.isValid()) w->resize(tamano);
    w->setObjectName(nombre);
    w->setWindowTitle(nombre); // windows titled as the main one are never closed
    Screen::MostrarHijo(w);
    return w;
}
} // namespace

void tst_principal::menu() {
    // The menu as the user sees it, in order, with the shortcuts users learn.
    principal p;
    QStringList menu;
    for (QAction *a : p.menuBar()->actions()) {
        QString linea = a->text();
        for (QAction *b : a->menu() ? a->menu()->actions() : QList<QAction *>())
            linea += u'|' + b->text() + u' ' + b->shortcut().toString();
        menu << linea;
    }
    // Each menu with its items, an item's shortcut after a space (none: the space alone).
    QCOMPARE(menu, QStringList({"&Observaciones|Nueva Ctrl+N|Lista de especies de una visita "
                                "|Consulta |Verificación |Mapa |Fenología |Importar |Papelera ",
                                "&Parámetros|Observadores |Motivos |Localidades "
                                "|Copias de seguridad |Base de datos ",
                                "E&xportar", "&Ayuda|Tutorial F1|Acerca de... |Web ", "Salir"}));
}

void tst_principal::arranque() {
    // Qt's own texts (the questions' buttons, the file dialog) and the names of months and days
    // in Spanish, whatever the system's language (here C).
    QMessageBox antes(QMessageBox::Question, u"t"_s, u"x"_s, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(antes.button(QMessageBox::Yes)->text().remove(u'&'), u"Yes"_s);
    Startup::PrepararAplicacion();
    QMessageBox caja(QMessageBox::Question, u"t"_s, u"x"_s, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(QStringList({caja.button(QMessageBox::Yes)->text().remove(u'&'),
                          caja.button(QMessageBox::No)->text().remove(u'&'),
                          QCoreApplication::translate("QFileDialog", "File &name:").remove(u'&'),
                          QCoreApplication::translate("QFileDialog", "Files of type:"),
                          QLocale().monthName(1), QLocale().dayName(1, QLocale::ShortFormat)}),
             QStringList({"Sí", "No", "Nombre de fichero:", "Ficheros de tipo:", "enero", "lun"}));

    // An installed program names the user's data folder (the other causes, and the portable
    // mode's words: tst_fallosBaseDatos).
    QTemporaryDir vacia;
    const Instalacion::Carpetas portatil = Instalacion::Actuales();
    Instalacion::setActuales({Instalacion::Modo::Usuario, portatil.compartida, vacia.path()});
    ModConex::setCarpetaDatos(vacia.path());
    principal().Form_Load(); // the program started as at its launch, then closed
    Instalacion::setActuales(portatil);
    QCOMPARE(Mostrado(),
             u"1|Problema de Conexión con la base de datos\n\nNo se encuentra el archivo "
             "Tritodex.mdb en la carpeta de datos ("_s +
                 QDir::toNativeSeparators(vacia.path()) + u")."_s);
    QVERIFY(!QFile::exists(vacia.filePath(u"Tritodex.mdb"_s)));

    // With a good database no message; with one that may only be read, the program starts
    // and says so once.
    MessageService::Limpiar();
    TestDatabase bd;
    principal().Form_Load();
    QVERIFY(MessageService::Mostrados().isEmpty());
    ModConex::setSoloLectura(true);
    principal().Form_Load();
    ModConex::setSoloLectura(false);
    QCOMPARE(Mostrado(), u"1|El archivo Tritodex.mdb es de solo lectura: se pueden consultar los "
                         "datos, pero no guardar cambios."_s);
    QVERIFY(ModConex::DatabaseConnection().isOpen());
}

void tst_principal::copiasAlArrancar() {
    TestDatabase bd;
    // 400 observations, the note of each "nota <i> " twenty times.
    QVERIFY(bd.Ejecutar(u"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < "
                        "399) INSERT INTO observacion (especie, descripcion) SELECT 'SALSAL', "
                        "replace(printf('%020d', 0), '0', 'nota ' || i || ' ') FROM n"_s));
    // A copy at the first start of the day, not at the second.
    principal().Form_Load();
    principal().Form_Load();
    QVERIFY(MessageService::Mostrados().isEmpty() && Backups::Listar().size() == 1);

    // The file damaged: refused, never written to; the newest sound copy is offered and put
    // back, the damaged file kept beside the copies.
    ModConex::Desconectar();
    QFile f(bd.ruta());
    QVERIFY(f.open(QIODevice::ReadWrite));
    for (qint64 p = f.size() / 4096 / 2, fin = p + 4; p < fin; ++p)
        QVERIFY(f.seek(p * 4096 + 8) && f.write(QByteArray(600, '\xff')) == 600);
    f.close();
    User::Responder({QMessageBox::Ok, QMessageBox::Yes, QMessageBox::Ok});
    principal().Form_Load();
    const QStringList esperados = {
        u"Problema de Conexión con la base de datos\n\nEl archivo Tritodex.mdb está dañado"_s,
        u"La copia de seguridad más reciente en buen estado es del "_s,
        u"Se han restaurado los datos de la copia del "_s};
    QCOMPARE(MessageService::Mostrados().size(), esperados.size());
    for (int i = 0; i < esperados.size(); ++i)
        QVERIFY2(MessageService::Mostrados().at(i).texto.startsWith(esperados[i]),
                 qPrintable(MessageService::Mostrados().at(i).texto));
    QVERIFY(ModConex::DatabaseConnection().isOpen() && bd.Contar(u"observacion"_s) == 400);
    QCOMPARE(Backups::Listar().size(), 2);

    // A copy that cannot be made is said once, and the program goes on.
    for (const auto &c : Backups::Listar())
        QVERIFY(QFile::remove(c.ruta));
    QVERIFY(QDir().rmdir(Backups::Carpeta()) && Files::Write(Backups::Carpeta(), {}));
    MessageService::Limpiar();
    principal().Form_Load();
    // The copy's own cause, whole (each cause: tst_Backups).
    QString causa;
    QVERIFY(!Backups::Automatica(&causa) && !causa.isEmpty());
    QCOMPARE(Mostrado(),
             u"1|No se ha podido hacer la copia de seguridad automática de los datos: "_s + causa);
    QVERIFY(ModConex::DatabaseConnection().isOpen());
}

void tst_principal::ventanas() {
    TestDatabase bd;
    QList<QUrl> abiertas;
    ChoiceService::Prueba().abrir = [&](const QUrl &u) { return abiertas << u, true; };
    principal p;
    p.show();
    QPointer<QWidget> a = AbrirHijo(u"uno"_s), b = AbrirHijo(u"dos"_s);
    QPointer<QWidget> suelta = new QWidget; // a window outside the main one
    suelta->setWindowTitle(u"suelta"_s);
    suelta->setAttribute(Qt::WA_DeleteOnClose);
    suelta->show();

    // Missing help document: the user is told, nothing is opened. It is looked for among
    // the program's shared files.
    Instalacion::setActuales({Instalacion::Modo::Portatil, bd.carpeta(), bd.carpeta()});
    Accion(p, "help")->trigger();
    QVERIFY(abiertas.isEmpty() && MessageService::Ultimo().texto.contains(u"Tritodex.pdf"_s));
    const QString pdf = bd.carpeta() + u"/Tritodex.pdf"_s;
    QVERIFY(Files::Write(pdf, {}));
    MessageService::Limpiar();
    Accion(p, "help")->trigger();
    Accion(p, "web")->trigger();
    QCOMPARE(abiertas, QList<QUrl>({QUrl::fromLocalFile(pdf), QUrl(u"https://www.gbif.es/"_s)}));
    QVERIFY(MessageService::Mostrados().isEmpty());

    // Neither closes a window; "Acerca de..." closes every other one, then opens its own.
    QVERIFY(a && b && suelta);
    Accion(p, "acerca")->trigger();
    QTRY_VERIFY(!a && !b && !suelta);
    QPointer<QWidget> acerca = Screen::BuscarFormulario(u"frsplash"_s);
    QVERIFY(acerca);
    ChoiceService::Restablecer();

    // Every task window opens wholly inside the main window's area, whatever its size: as
    // the menu opens it, the observer list opened beside a new observation to choose from,
    // a window larger than the area. On a small screen one that needs more than the area
    // keeps what its layout needs, from the area's corner, and the area scrolls to the rest.
    for (const QSize tamano : {QSize(1024, 520), QSize(1366, 740), QSize(1920, 1050)}) {
        p.resize(tamano);
        QCoreApplication::processEvents();
        QMdiArea *mdi = Screen::AreaPrincipal();
        const QRect area(QPoint(0, 0), mdi->viewport()->size());
        const auto dentro = [&](QWidget *f, const char *que) {
            const QString caso = QDebug::toString(tamano) + u' ' + QLatin1String(que);
            QVERIFY2(f, qPrintable(caso));
            const QWidget *sub = f->parentWidget();
            const QSize necesita = sub->minimumSizeHint();
            QVERIFY2(sub->width() >= necesita.width() && sub->height() >= necesita.height(),
                     qPrintable(caso));
            if (area.size().expandedTo(necesita) == area.size()) {
                QVERIFY2(area.contains(sub->geometry()), qPrintable(caso));
                return;
            }
            QVERIFY2(sub->x() <= 0 || sub->width() < area.width(), qPrintable(caso));
            QVERIFY2(sub->y() <= 0 || sub->height() < area.height(), qPrintable(caso));
            QTRY_VERIFY2(mdi->verticalScrollBar()->maximum() > 0 ||
                             mdi->horizontalScrollBar()->maximum() > 0,
                         qPrintable(caso));
        };
        for (const char *nombre :
             {"new", "lista", "cons", "verificar", "mapa", "fenologia", "importar", "papelera",
              "observ", "motivo", "loc", "copias", "basedatos", "fitxer"}) {
            Accion(p, nombre)->trigger();
            dentro(Screen::AreaPrincipal()->activeSubWindow()->widget(), nombre);
        }
        Accion(p, "new")->trigger();
        dentro(frobs::AbrirSeleccion(Screen::BuscarFormulario(u"newobs"_s), {}), "frobs");
        dentro(AbrirHijo(u"grande"_s, tamano * 2), "grande");
        // The focus on a control out of sight brings it into view.
        Accion(p, "acerca")->trigger();
        Accion(p, "new")->trigger();
        p.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&p));
        auto *salir = mdi->activeSubWindow()->widget()->findChild<QPushButton *>(u"CdVolver"_s);
        QVERIFY(salir);
        salir->setFocus();
        QVERIFY(QRect(QPoint(0, 0), mdi->viewport()->size())
                    .contains(QRect(salir->mapTo(mdi->viewport(), QPoint(0, 0)), salir->size())));
        Accion(p, "acerca")->trigger();
    }
    acerca = Screen::BuscarFormulario(u"frsplash"_s);

    // Leaving asks; "No" keeps the main window, without the others.
    a = AbrirHijo(u"tarea"_s);
    User::Responder({QMessageBox::No});
    Accion(p, "sortir")->trigger();
    QVERIFY(p.isVisible());
    QTRY_VERIFY(!a && !acerca);
    const auto m = MessageService::Ultimo();
    QCOMPARE(m.titulo + u'|' + m.texto, u"Salir|Salir de la aplicación?"_s);
    QVERIFY(m.icono == QMessageBox::Question && m.botones == (QMessageBox::Yes | QMessageBox::No));
    // The window's close button asks the same; "Yes" closes.
    User::Responder({QMessageBox::Yes});
    p.close();
    QVERIFY(!p.isVisible());
    QCOMPARE(MessageService::Mostrados().size(), 1);
}

void tst_principal::cambiosSinGuardar() {
    TestDatabase bd;
    QVERIFY(bd.Ejecutar(u"INSERT INTO observador (cod_observador, nombre) VALUES "
                        "('ANA', 'Ana')"_s));
    QVERIFY(bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmhuso, "
                        "utmx, utmy, utm1k, utm10k) VALUES ('L1', 'Charca', 28, 28079, '30', "
                        "440291, 4474254, 'VK4074', 'VK47')"_s));
    QVERIFY(bd.Ejecutar(u"INSERT INTO observacion (observador1, fecha, especie) VALUES "
                        "('ANA', '2024-05-01', 'SALSAL')"_s));
    const int idLocalidad = bd.Valor(u"SELECT max(id_localidad) FROM localidad"_s).toInt();
    const int idObservacion = bd.Valor(u"SELECT max(id_observacion) FROM observacion"_s).toInt();
    principal p;
    p.resize(1366, 740);
    p.show();
    // The menu item chosen, with the answers to the questions it will ask.
    const auto abrir = [&](const char *nombre,
                           const QList<QMessageBox::StandardButton> &respuestas = {}) {
        User::Responder(respuestas);
        Accion(p, nombre)->trigger();
        QCoreApplication::processEvents();
    };
    const QString pregunta = u"Hay cambios sin guardar en «%1». ¿Cerrarla y descartarlos?"_s;

    // Every form where records are typed: left as loaded it closes without a word when
    // another window opens; typed into, it asks, "No" (the default) keeping it and what it
    // holds, and the window asked for not opening; "Sí" closes it.
    struct Caso {
        std::function<QWidget *()> abrir;
        const char *campo;
        const char *antes = nullptr; // a button clicked first, that enables the field
    };
    const auto suelta = [](QWidget *w) { return w->show(), w; };
    const QList<Caso> casos = {
        {[&] { return abrir("new"), Screen::BuscarFormulario(u"newobs"_s); }, "Txdesc"},
        {[&] { return abrir("lista"), Screen::BuscarFormulario(u"frlista"_s); }, "Txdesc1"},
        {[&] { return frmodif::Abrir(nullptr, idObservacion, {}); }, "Txdesc"},
        {[&] { return abrir("basedatos"), Screen::BuscarFormulario(u"frbasedatos"_s); }, "Txhost",
         "OpServidor"},
        {[&] { return suelta(new frinsLoc(&p)); }, "Txloc"},
        {[&] { return suelta(new frmodifloc(QString::number(idLocalidad), &p)); }, "Txloc"},
        {[&] { return suelta(new frinsObs(&p)); }, "Txnomobs"},
        {[&] { return suelta(new frmodifobs(u"ANA"_s, &p)); }, "Txnomobs"},
        {[&] {
             return suelta(
                 new frgps([](int, qint64, qint64, const MunicipalityLocator::Lugar &) {}, &p));
         },
         "Txpos"},
    };
    for (const Caso &c : casos) {
        QPointer<QWidget> f = c.abrir();
        QVERIFY(f);
        const QString nombre = f->objectName();
        abrir("cons");
        QVERIFY2(MessageService::Mostrados().isEmpty(), qPrintable(nombre));
        QTRY_VERIFY2(!f || !f->isVisible(), qPrintable(nombre));

        f = c.abrir();
        // The query window open beside it (for frmodif, the one it came from), or none.
        QPointer<QWidget> consulta = Screen::BuscarFormulario(u"frcons"_s);
        if (c.antes) f->findChild<QAbstractButton *>(QLatin1String(c.antes))->click();
        auto *campo = f->findChild<QLineEdit *>(QLatin1String(c.campo));
        QVERIFY(campo->isEnabled());
        User::Escribir(campo, u"escrito a mano"_s);
        abrir("cons");
        // The window's title in the question names the case.
        QCOMPARE(Mostrado(), u"1|"_s + pregunta.arg(f->windowTitle()));
        const auto m = MessageService::Ultimo();
        QVERIFY(m.botones == (QMessageBox::Yes | QMessageBox::No) &&
                m.porDefecto == QMessageBox::No && m.icono == QMessageBox::Question);
        QVERIFY2(f && f->isVisible(), qPrintable(nombre));
        QCOMPARE(campo->text(), u"escrito a mano"_s);
        QCOMPARE(Screen::BuscarFormulario(u"frcons"_s), consulta.data());
        abrir("cons", {QMessageBox::Yes});
        QTRY_VERIFY2((!f || !f->isVisible()) && !consulta, qPrintable(nombre));
        QVERIFY(Screen::BuscarFormulario(u"frcons"_s));
    }

    // Typed and stored: nothing to ask. (On the first of January the proposed date is asked
    // about by no one.)
    Clock::setHoy(QDate(QDate::currentDate().year(), 1, 1));
    abrir("new");
    QWidget *f = Screen::BuscarFormulario(u"newobs"_s);
    User::Poner(f->findChild<QLineEdit *>(u"Txobs1"_s), u"ANA"_s);
    auto *especie = f->findChild<QComboBox *>(u"Cbespecie"_s);
    User::Elegir(especie,
                 especie->itemText(especie->findText(u"SALSAL - "_s, Qt::MatchStartsWith)));
    User::Elegir(f->findChild<QComboBox *>(u"Cbloc"_s), u"Charca"_s);
    MessageService::Limpiar();
    f->findChild<QPushButton *>(u"Cbguardar"_s)->click();
    QCOMPARE(MessageService::Ultimo().texto,
             u"Se ha registrado la observación en la base de datos"_s);
    Clock::setHoy(QDate());
    abrir("cons");
    QVERIFY(MessageService::Mostrados().isEmpty() && Screen::BuscarFormulario(u"frcons"_s));

    // "Salir" asks first about the typed work: "No" leaves the program and the form as they
    // are, without the question about leaving; "Sí" closes the form, then asks that one.
    abrir("new");
    QPointer<QWidget> nueva = Screen::BuscarFormulario(u"newobs"_s);
    User::Escribir(nueva->findChild<QLineEdit *>(u"Txdesc"_s), u"a medias"_s);
    abrir("sortir");
    QCOMPARE(Mostrado(), u"1|"_s + pregunta.arg(u"Nueva Observación"_s));
    QVERIFY(p.isVisible() && nueva);
    abrir("sortir", {QMessageBox::Yes, QMessageBox::No});
    QCOMPARE(Mostrado(), u"2|Salir de la aplicación?"_s);
    QTRY_VERIFY(!nueva);
    QVERIFY(p.isVisible());

    // The reasons store what is typed when they close; a change refused there asks its own
    // question, and its "No" is kept too.
    abrir("motivo");
    QPointer<QWidget> motivos = Screen::BuscarFormulario(u"frmotivos"_s);
    auto *rejilla = motivos->findChild<QTableView *>(u"DBmot"_s);
    const int nueva_fila = rejilla->model()->rowCount() - 1;
    for (const auto &[columna, texto] : {std::pair{0, u"1"_s}, {1, u"Repetido"_s}}) {
        rejilla->setCurrentIndex(rejilla->model()->index(nueva_fila, columna));
        QTest::keyClick(rejilla, Qt::Key_F2);
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(editor && rejilla->isAncestorOf(editor));
        User::Escribir(editor, texto);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    // The refusal is told, then asked about.
    abrir("new", {QMessageBox::Ok, QMessageBox::No});
    QCOMPARE(MessageService::Mostrados().first().texto,
             u"Ya existe un motivo con el identificador 1."_s);
    QCOMPARE(MessageService::Ultimo().texto,
             u"Este cambio no se ha guardado. ¿Cerrar de todos modos y perderlo?"_s);
    QVERIFY(motivos && motivos->isVisible() && !Screen::BuscarFormulario(u"newobs"_s));
    abrir("new", {QMessageBox::Ok, QMessageBox::Yes});
    QTRY_VERIFY(!motivos);
    QVERIFY(Screen::BuscarFormulario(u"newobs"_s));
}

QTEST_MAIN(tst_principal)
#include "tst_principal.moc"
