#include "Corpus.h"
#include "FormRegistry.h"
#include "TestHooks.h"
#include "support/TestDatabase.h"
#include "support/User.h"

#include "app/principal.h"
#include "data/Backups.h"
#include "data/ModConex.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"
#include "observations/frlista.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>

#include <memory>
#include <sqlite3.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

// Every fault of the database file the program can meet, one row each: what happens to the
// file, what the user does, what the message must say. Afterwards the program still runs,
// and the file, where it is still there, is sound and holds every record it held before.
namespace {

enum class Fallo { Borrado, NoEsBase, Vacio, SinTabla, SoloLectura, Carpeta, Bloqueo, DiscoLleno };

// Another program's connection to the same file, holding a lock.
class OtroPrograma {
public:
    OtroPrograma(const QString &ruta, const char *inicio) {
        sqlite3_open_v2(ruta.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        ok = sqlite3_exec(db_, inicio, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~OtroPrograma() {
        Soltar();
        sqlite3_close(db_);
    }
    void Soltar() { sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr); }
    bool ok = false;

private:
    sqlite3 *db_ = nullptr;
};

// The records held before the fault, and the file's soundness, read on a connection of
// the test's own.
QString Estado(const QString &ruta) {
    QString r;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"comprobacion"_s);
        db.setDatabaseName(ruta);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        QSqlQuery q(db);
        const QString sql =
            u"SELECT (SELECT group_concat(integrity_check) FROM pragma_integrity_check)"
            " || '|' || (SELECT group_concat(c) FROM (SELECT cod_observador c FROM observador"
            " ORDER BY 1)) || '|' || (SELECT group_concat(c) FROM (SELECT cod_localidad c FROM"
            " localidad ORDER BY id_localidad)) || '|' || coalesce((SELECT group_concat(c) FROM"
            " (SELECT descripcion c FROM papelera ORDER BY id_observacion)), '') || '|' || (SELECT"
            " group_concat(c) FROM (SELECT descripcion c FROM observacion ORDER BY"
            " id_observacion))"_s;
        if (db.open() && q.exec(sql) && q.next()) r = q.value(0).toString();
    }
    QSqlDatabase::removeDatabase(u"comprobacion"_s);
    return r;
}

// A full disk but for so many pages: nothing free inside the file, and the file may grow by
// that much only.
bool Llenar(TestDatabase &bd, int margen) {
    if (!bd.Ejecutar(u"VACUUM"_s)) return false;
    const int paginas = bd.Valor(u"PRAGMA page_count"_s).toInt();
    return paginas > 0 && bd.Ejecutar(u"PRAGMA max_page_count = %1"_s.arg(paginas + margen));
}

// A registered form, open and filled with valid values as a user's would be.
QWidget *Abrir(const FormRegistry::Formulario &f) {
    QWidget *w = f.abrir();
    w->show();
    f.rellenar(w);
    return w;
}

} // namespace

Q_DECLARE_METATYPE(Fallo)

class tst_fallosBaseDatos : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // A statement waits this long for another program's lock before it gives up.
        ModConex::setEsperaOcupada(200);
    }
    // Every database drops the test's answers with it.
    void init() { TestHooks::Instalar(); }
    void fallos_data();
    void fallos();
    void esperaAlOtroPrograma();
    void listaAMedias();
};

void tst_fallosBaseDatos::fallos_data() {
    QTest::addColumn<Fallo>("fallo");
    // A registered form whose save is clicked (or the button after its name), "new" from the
    // menu, or empty: the start.
    QTest::addColumn<QString>("accion");
    QTest::addColumn<QString>("mensaje");

    const QString arranque, falta = u"Tritodex.mdb ya no está en la carpeta del programa"_s,
                            ocupada = u"La base de datos está ocupada por otro programa"_s;
    QTest::newRow("missing at start")
        << Fallo::Borrado << arranque
        << u"No se encuentra el archivo Tritodex.mdb en la carpeta del programa"_s;
    QTest::newRow("not a database")
        << Fallo::NoEsBase << arranque << u"no es una base de datos o está dañado"_s;
    QTest::newRow("empty file") << Fallo::Vacio << arranque
                                << u"El archivo Tritodex.mdb está vacío"_s;
    QTest::newRow("lookup table missing")
        << Fallo::SinTabla << arranque << u"le faltan tablas del programa: tmeteo."_s;
    for (const QString &form : {u"newobs"_s, u"frinsObs"_s, u"frpapelera"_s}) {
        const QByteArray f = form.toLatin1();
        QTest::addRow("deleted, %s", f.data()) << Fallo::Borrado << form << falta;
        QTest::addRow("read-only, %s", f.data())
            << Fallo::SoloLectura << form << u"el archivo es de solo lectura"_s;
        QTest::addRow("folder, %s", f.data())
            << Fallo::Carpeta << form << u"No se puede escribir en la carpeta del programa"_s;
        QTest::addRow("locked, %s", f.data()) << Fallo::Bloqueo << form << ocupada;
    }
    QTest::newRow("locked, opening") << Fallo::Bloqueo << u"new"_s << ocupada;
    QTest::newRow("locked restore") << Fallo::Bloqueo << u"frcopias/CdRestaurar"_s << ocupada;
    QTest::newRow("disk full") << Fallo::DiscoLleno << u"newobs"_s
                               << u"No queda espacio en el disco"_s;
}

void tst_fallosBaseDatos::fallos() {
    QFETCH(Fallo, fallo);
    QFETCH(QString, accion);
    QFETCH(QString, mensaje);

    TestDatabase bd(TestDatabase::Datos::Reales);
    QVERIFY(bd.Ejecutar(u"INSERT INTO observador (cod_observador, nombre, email) "
                        "VALUES ('JPG', 'Juan', 'j@x.es')"_s));
    QVERIFY(
        bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad) VALUES ('L1', 'Charca')"_s));
    QVERIFY(bd.Ejecutar(u"INSERT INTO observacion (observador1, especie, localidad, "
                        "descripcion) VALUES ('JPG', 'SALSAL', 'L1', 'antes')"_s));
    // And one in the bin, which a restore there brings back.
    QVERIFY(bd.Ejecutar(u"INSERT INTO papelera (id_observacion, observador1, especie, localidad, "
                        "descripcion, borrada) VALUES (900, 'JPG', 'SALSAL', 'L1', 'borrada', "
                        "'2026-01-02 10:00:00')"_s));
    const QString ruta = bd.ruta(), antes = u"ok|JPG|L1|borrada|antes"_s;
    QCOMPARE(Estado(ruta), antes);
    // A second name for the file, so that what a deleted file holds can still be read.
    const QString copia = bd.carpeta() + u"/copia.mdb"_s;
    QCOMPARE(::link(qPrintable(ruta), qPrintable(copia)), 0);
    const QString diario = ruta + u"-journal"_s;

    // A restore puts back a copy made before the fault.
    const QString boton = accion.section(u'/', 1);
    const bool restaurar = boton == u"CdRestaurar"_s;
    QString error;
    if (restaurar)
        QVERIFY2(Backups::Hacer(&error, QDateTime(QDate(2020, 1, 1), {})), qPrintable(error));

    // Forms that save are open before the fault, as a user's would be; a long description
    // needs more room than a full disk leaves.
    principal p;
    const auto *f = FormRegistry::Buscar(accion.section(u'/', 0, 0));
    std::unique_ptr<QWidget> w(f ? Abrir(*f) : nullptr);
    const QString descripcion = fallo == Fallo::DiscoLleno ? QString(5000, u'x') : QString();
    if (!descripcion.isEmpty()) User::Escribir(w->findChild<QWidget *>(u"Txdesc"_s), descripcion);
    QVERIFY2(MessageService::Mostrados().isEmpty(), qPrintable(TestHooks::Mensajes()));
    const auto mostrado = w ? FormRegistry::Mostrado(*f, w.get()) : QHash<QString, QString>();

    std::unique_ptr<OtroPrograma> otro;
    switch (fallo) {
    case Fallo::Borrado:
        QVERIFY(QFile::remove(ruta));
        break;
    case Fallo::NoEsBase:
    case Fallo::Vacio: {
        ModConex::Desconectar();
        QFile archivo(ruta);
        const QByteArray contenido = fallo == Fallo::Vacio ? QByteArray() : QByteArray(4096, 'x');
        QVERIFY(archivo.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(archivo.write(contenido), contenido.size());
        break;
    }
    case Fallo::SinTabla:
        QVERIFY(bd.Ejecutar(u"DROP TABLE tmeteo"_s));
        break;
    case Fallo::SoloLectura:
        // File permissions do not bind root: the program's own switch opens it read-only.
        ModConex::setSoloLectura(true);
        QVERIFY(ModConex::Conectar());
        break;
    case Fallo::Carpeta:
        // Root may write any folder: a journal that cannot be created there stands in.
        QVERIFY(QFile::link(u"/sin-carpeta-tritodex/diario"_s, diario));
        if (getuid() != 0) QFile::setPermissions(bd.carpeta(), QFile::ReadOwner | QFile::ExeOwner);
        break;
    case Fallo::Bloqueo:
        // Opening only reads, which only an exclusive lock keeps out.
        // A restore meets a row written and not yet committed.
        otro = std::make_unique<OtroPrograma>(
            ruta, accion == u"new"_s ? "BEGIN EXCLUSIVE"
                  : restaurar        ? "BEGIN IMMEDIATE; INSERT INTO observacion (observador1, "
                                       "especie, localidad, descripcion) VALUES ('JPG', "
                                       "'SALSAL', 'L1', 'otro')"
                                     : "BEGIN IMMEDIATE");
        QVERIFY(otro->ok);
        break;
    case Fallo::DiscoLleno:
        QVERIFY(Llenar(bd, 0));
        break;
    }

    const auto actuar = [&] {
        if (restaurar) {
            auto *lista = w->findChild<QTableWidget *>(u"DBcopias"_s);
            lista->selectRow(lista->rowCount() - 1);
            MessageService::EncolarRespuesta(QMessageBox::Yes);
            QTest::mouseClick(w->findChild<QWidget *>(boton), Qt::LeftButton);
        } else if (w)
            QTest::mouseClick(w->findChild<QWidget *>(f->guardar.first()), Qt::LeftButton);
        else if (accion.isEmpty())
            p.Form_Load();
        else
            p.findChild<QAction *>(accion)->trigger();
    };
    // One message for the action, saying what is wrong (after the restore's question).
    const auto unMensaje = [&] {
        return MessageService::Mostrados().size() == (restaurar ? 2 : 1) &&
               MessageService::Ultimo().texto.contains(mensaje);
    };
    actuar();
    QVERIFY2(unMensaje(), qPrintable(TestHooks::Mensajes()));
    // The start-up window goes whatever happens.
    if (accion.isEmpty()) QVERIFY(!Screen::BuscarFormulario(u"frspini"_s));

    // The program goes on: the form keeps what was typed; after a failed start the menu
    // still opens a form, which says in one message that there is no database.
    if (w) {
        QVERIFY(w->isVisible());
        QCOMPARE(FormRegistry::Mostrado(*f, w.get()), mostrado);
    }
    if (accion.isEmpty()) {
        MessageService::Limpiar();
        p.findChild<QAction *>(u"new"_s)->trigger();
        QVERIFY2(unMensaje(), qPrintable(TestHooks::Mensajes()));
    }

    // Nothing was stored, and nothing held before was lost.
    if (otro) otro->Soltar();
    QFile::setPermissions(bd.carpeta(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (fallo == Fallo::Borrado) QVERIFY(!QFile::exists(ruta));
    if (fallo == Fallo::NoEsBase || fallo == Fallo::Vacio)
        QCOMPARE(QFileInfo(ruta).size(), fallo == Fallo::Vacio ? 0 : 4096);
    else
        QCOMPARE(Estado(copia), restaurar ? antes + u",otro"_s : antes);
    // A restore that gave up kept nothing either.
    if (restaurar) QCOMPARE(Backups::Listar().size(), 1);

    // Once the cause is gone the same action succeeds.
    MessageService::Limpiar();
    if (fallo == Fallo::SoloLectura || fallo == Fallo::DiscoLleno) {
        ModConex::setSoloLectura(false);
        QVERIFY(ModConex::Conectar());
    } else if (fallo == Fallo::Carpeta) {
        QVERIFY(QFile::remove(diario));
    } else if (fallo != Fallo::Bloqueo) {
        return;
    }
    actuar();
    if (!w) {
        QVERIFY2(MessageService::Mostrados().isEmpty(), qPrintable(TestHooks::Mensajes()));
        return;
    }
    QVERIFY2(MessageService::Ultimo().texto.startsWith(f->exito),
             qPrintable(TestHooks::Mensajes()));
    // Restored: the copy's data in the file, the other program's row in the data kept.
    if (restaurar) {
        QCOMPARE(Estado(ruta), antes);
        QCOMPARE(Estado(Backups::Listar().first().ruta), antes + u",otro"_s);
        return;
    }
    const QHash<QString, QString> despues = {
        {u"newobs"_s, u"ok|JPG|L1,JPG2|borrada|antes,"_s + descripcion},
        {u"frinsObs"_s, u"ok|JPG,NUE1|L1|borrada|antes"_s},
        {u"frpapelera"_s, u"ok|JPG|L1||antes,borrada"_s}};
    QCOMPARE(Estado(ruta), despues.value(accion));
}

void tst_fallosBaseDatos::esperaAlOtroPrograma() {
    // A lock held briefly is waited for: the save succeeds at once, with no message.
    ModConex::setEsperaOcupada(10000);
    TestDatabase bd;
    const auto &f = *FormRegistry::Buscar(u"frinsObs"_s);
    std::unique_ptr<QWidget> d(Abrir(f));
    OtroPrograma otro(bd.ruta(), "BEGIN IMMEDIATE");
    QVERIFY(otro.ok);
    std::thread soltar([&otro] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        otro.Soltar();
    });
    QTest::mouseClick(d->findChild<QWidget *>(f.guardar.first()), Qt::LeftButton);
    soltar.join();
    ModConex::setEsperaOcupada(200);
    QCOMPARE(TestHooks::Mensajes(), u"Se ha registrado el Observador NUE1 en la base de datos"_s);
    QCOMPARE(bd.Contar(u"observador"_s), 1);
}

void tst_fallosBaseDatos::listaAMedias() {
    // A visit's list of thirty species whose save runs out of disk half way: nothing of it
    // stays, the grid keeps every row as typed and marks the one where it stopped; with room
    // again the same click stores all thirty and the new locality once.
    TestDatabase bd(TestDatabase::Datos::Reales);
    for (const QString &sql : FormRegistry::Datos())
        QVERIFY(bd.Ejecutar(sql));
    const QString antes = Estado(bd.ruta());
    const auto &f = *FormRegistry::Buscar(u"frlista"_s);
    std::unique_ptr<QWidget> w(Abrir(f));
    // Twenty-nine species the list offers, none of them the first row's.
    QStringList codigos;
    auto *lista = w->findChild<QComboBox *>(u"Cbespecie1"_s);
    for (int i = 0; i < lista->count() && codigos.size() < 29; ++i)
        if (const QString c = lista->itemText(i).section(u" - "_s, 0, 0); c != u"SALSAL"_s)
            codigos << c;
    // Each row: its code typed, five Tabs to the description, a long one pasted, Tab.
    const QString largo(3000, u'x');
    Corpus::Pegar(w->findChild<QWidget *>(u"Txdesc1"_s), largo);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    for (const QString &codigo : std::as_const(codigos)) {
        QTest::keyClicks(QApplication::focusWidget(), codigo.toLower());
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        Corpus::Pegar(QApplication::focusWidget(), largo);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    auto *rejilla = w->findChild<QTableWidget *>(u"DBlista"_s);
    QCOMPARE(rejilla->rowCount(), 31); // the last one empty
    QVERIFY2(MessageService::Mostrados().isEmpty(), qPrintable(TestHooks::Mensajes()));
    const auto mostrado = FormRegistry::Mostrado(f, w.get());

    // Room for about a third of the rows.
    QVERIFY(Llenar(bd, 10));
    QTest::mouseClick(w->findChild<QWidget *>(f.guardar.first()), Qt::LeftButton);
    QCOMPARE(MessageService::Mostrados().size(), 1);
    QVERIFY2(MessageService::Ultimo().texto.contains(u"No queda espacio en el disco"_s),
             qPrintable(TestHooks::Mensajes()));
    QCOMPARE(Estado(bd.ruta()), antes);
    QCOMPARE(FormRegistry::Mostrado(f, w.get()), mostrado);
    QCOMPARE(rejilla->rowCount(), 31);
    int marcada = -1;
    for (int r = 0; r < rejilla->rowCount(); ++r)
        if (!rejilla->item(r, frlista::ColAviso)->text().isEmpty()) marcada = r;
    QVERIFY2(marcada > 1 && marcada < 29, qPrintable(QString::number(marcada)));

    MessageService::Limpiar();
    QVERIFY(ModConex::Conectar());
    QTest::mouseClick(w->findChild<QWidget *>(f.guardar.first()), Qt::LeftButton);
    QCOMPARE(TestHooks::Mensajes(), u"Se han registrado 30 observaciones en la base de datos"_s);
    // The observations at the new locality, and that locality's rows.
    QCOMPARE(
        bd.Valor(u"SELECT (SELECT count(*) FROM observacion o JOIN localidad l ON "
                 "l.cod_localidad = o.localidad WHERE l.localidad = 'Fuente del Berro') || '|' "
                 "|| (SELECT count(*) FROM localidad WHERE localidad = 'Fuente del Berro')"_s)
            .toString(),
        u"30|1"_s);
}

QTEST_MAIN(tst_fallosBaseDatos)
#include "tst_fallosBaseDatos.moc"
