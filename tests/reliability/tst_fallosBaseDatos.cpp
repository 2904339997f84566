#include "support/TestDatabase.h"
#include "support/User.h"

#include "app/principal.h"
#include "data/ModConex.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "observations/newobs.h"
#include "observers/frinsObs.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <sqlite3.h>
#include <thread>
#include <unistd.h>

// Every fault of the database file the program can meet, one row each: what happens to the
// file, what the user does, what the message must say. Afterwards the program still runs,
// and the file, where it is still there, is sound and holds every record it held before.
namespace {

enum class Fallo {
    Ausente,
    NoEsBase,
    Vacio,
    FaltaTabla,
    Borrado,
    SoloLectura,
    Carpeta,
    Bloqueo,
    BloqueoExclusivo,
    DiscoLleno
};
enum class Accion { Arrancar, AbrirNueva, GuardarObservacion, GuardarObservador };

// Another program's connection to the same file, holding a lock.
class OtroPrograma {
public:
    OtroPrograma(const QString &ruta, const char *inicio) {
        sqlite3_open_v2(ruta.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        ok_ = sqlite3_exec(db_, inicio, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~OtroPrograma() {
        Soltar();
        sqlite3_close(db_);
    }
    bool ok() const { return ok_; }
    void Soltar() { sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr); }

private:
    sqlite3 *db_ = nullptr;
    bool ok_ = false;
};

// The records held before the fault, and the file's soundness, read on a connection of
// the test's own.
QString Estado(const QString &ruta) {
    QString r;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "comprobacion");
        db.setDatabaseName(ruta);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery q(db);
        const QString sql = QStringLiteral(
            "SELECT (SELECT group_concat(integrity_check) FROM pragma_integrity_check)"
            " || '|' || (SELECT group_concat(c) FROM (SELECT cod_observador c FROM observador"
            " ORDER BY 1)) || '|' || (SELECT group_concat(c) FROM (SELECT cod_localidad c FROM"
            " localidad ORDER BY id_localidad)) || '|' || (SELECT group_concat(c) FROM (SELECT"
            " descripcion c FROM observacion ORDER BY id_observacion))");
        if (db.open() && q.exec(sql) && q.next()) r = q.value(0).toString();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("comprobacion"));
    return r;
}

template <class T = QWidget> T *Control(QWidget *w, const char *nombre) {
    T *c = w->findChild<T *>(QString::fromLatin1(nombre));
    if (!c) qFatal("no control %s", nombre);
    return c;
}

QStringList Textos() {
    QStringList r;
    for (const auto &m : MessageService::Mostrados())
        r << m.texto;
    return r;
}

} // namespace

Q_DECLARE_METATYPE(Fallo)
Q_DECLARE_METATYPE(Accion)

class tst_fallosBaseDatos : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void fallos_data();
    void fallos();
    void esperaAlOtroPrograma();

private:
    // The new locality's code prompt, answered with the code proposed.
    static void ResponderCodigo() {
        ChoiceService::Prueba().codigoLocalidad = [](QWidget *, const QString &p) {
            return std::optional(p);
        };
    }
    static void RellenarObservacion(newobs &f, const QString &descripcion);
    static void RellenarObservador(frinsObs &d);
};

void tst_fallosBaseDatos::initTestCase() {
    // A statement waits this long for another program's lock before it gives up.
    ModConex::setEsperaOcupada(200);
    ResponderCodigo();
}

void tst_fallosBaseDatos::init() {
    MessageService::setModoPrueba(true);
    MessageService::Limpiar();
}

void tst_fallosBaseDatos::RellenarObservacion(newobs &f, const QString &descripcion) {
    f.show();
    User::Escribir(Control(&f, "Txobs1"), QStringLiteral("JPG"));
    User::SalirDe(Control(&f, "Txobs1"));
    User::Escribir(Control(&f, "Cbespecie"), QStringLiteral("salsal"));
    User::SalirDe(Control(&f, "Cbespecie"));
    User::Escribir(Control(&f, "Cbloc"), QStringLiteral("Balsa"));
    User::SalirDe(Control(&f, "Cbloc"));
    User::Elegir(Control<QComboBox>(&f, "Cbhuso"), QStringLiteral("30"));
    User::Escribir(Control(&f, "Txlong"), QStringLiteral("440291"));
    User::SalirDe(Control(&f, "Txlong"));
    User::Escribir(Control(&f, "Txlat"), QStringLiteral("4474254"));
    User::SalirDe(Control(&f, "Txlat"));
    User::Elegir(Control<QComboBox>(&f, "Cbprov"), QStringLiteral("Madrid"));
    User::Elegir(Control<QComboBox>(&f, "Cbmuni"), QStringLiteral("Madrid"));
    User::Escribir(Control(&f, "Txdesc"), descripcion);
}

void tst_fallosBaseDatos::RellenarObservador(frinsObs &d) {
    d.show();
    const QList<QPair<const char *, QString>> campos = {{"Txcod", QStringLiteral("ANA1")},
                                                        {"Txnomobs", QStringLiteral("Ana")},
                                                        {"Txentidad", QStringLiteral("AHE")},
                                                        {"Txmail", QStringLiteral("ana@x.es")}};
    for (const auto &[nombre, valor] : campos)
        User::Escribir(Control(&d, nombre), valor);
}

void tst_fallosBaseDatos::fallos_data() {
    QTest::addColumn<Fallo>("fallo");
    QTest::addColumn<Accion>("accion");
    QTest::addColumn<QString>("mensaje");

    const QString falta = QStringLiteral("Tritodex.mdb ya no está en la carpeta del programa");
    const QString soloLectura = QStringLiteral("el archivo es de solo lectura");
    const QString carpeta = QStringLiteral("No se puede escribir en la carpeta del programa");
    const QString ocupada = QStringLiteral("La base de datos está ocupada por otro programa");
    const Accion obs = Accion::GuardarObservacion, obsr = Accion::GuardarObservador;
    QTest::newRow("missing at start") << Fallo::Ausente << Accion::Arrancar
                                      << QStringLiteral("No se encuentra el archivo Tritodex.mdb");
    QTest::newRow("not a database") << Fallo::NoEsBase << Accion::Arrancar
                                    << QStringLiteral("no es una base de datos o está dañado");
    QTest::newRow("empty file") << Fallo::Vacio << Accion::Arrancar
                                << QStringLiteral("El archivo Tritodex.mdb está vacío");
    QTest::newRow("lookup table missing")
        << Fallo::FaltaTabla << Accion::Arrancar
        << QStringLiteral("le faltan tablas del programa: tmeteo.");
    QTest::newRow("deleted, observation") << Fallo::Borrado << obs << falta;
    QTest::newRow("deleted, observer") << Fallo::Borrado << obsr << falta;
    QTest::newRow("read-only, observation") << Fallo::SoloLectura << obs << soloLectura;
    QTest::newRow("read-only, observer") << Fallo::SoloLectura << obsr << soloLectura;
    QTest::newRow("folder, observation") << Fallo::Carpeta << obs << carpeta;
    QTest::newRow("folder, observer") << Fallo::Carpeta << obsr << carpeta;
    QTest::newRow("locked, observation") << Fallo::Bloqueo << obs << ocupada;
    QTest::newRow("locked, observer") << Fallo::Bloqueo << obsr << ocupada;
    QTest::newRow("locked, opening") << Fallo::BloqueoExclusivo << Accion::AbrirNueva << ocupada;
    QTest::newRow("disk full") << Fallo::DiscoLleno << obs
                               << QStringLiteral("No queda espacio en el disco");
}

void tst_fallosBaseDatos::fallos() {
    QFETCH(Fallo, fallo);
    QFETCH(Accion, accion);
    QFETCH(QString, mensaje);

    TestDatabase bd(TestDatabase::Datos::Reales);
    QVERIFY(bd.ok());
    QVERIFY(bd.Ejecutar(QStringLiteral("INSERT INTO observador (cod_observador, nombre, email) "
                                       "VALUES ('JPG', 'Juan', 'j@x.es')")));
    QVERIFY(bd.Ejecutar(QStringLiteral(
        "INSERT INTO localidad (cod_localidad, localidad) VALUES ('L1', 'Charca')")));
    QVERIFY(bd.Ejecutar(QStringLiteral("INSERT INTO observacion (observador1, especie, localidad, "
                                       "descripcion) VALUES ('JPG', 'SALSAL', 'L1', 'antes')")));
    const QString ruta = bd.ruta();
    const QString antes = QStringLiteral("ok|JPG|L1|antes");
    QCOMPARE(Estado(ruta), antes);
    // A second name for the file, so that what a deleted file holds can still be read.
    const QString copia = bd.carpeta() + QStringLiteral("/copia.mdb");
    QCOMPARE(::link(qPrintable(ruta), qPrintable(copia)), 0);
    const QString diario = ruta + QStringLiteral("-journal");
    const QString descripcion = fallo == Fallo::DiscoLleno ? QString(5000, u'x') : QString();

    // Forms that save are open before the fault, as a user's would be.
    principal p;
    std::unique_ptr<newobs> f;
    std::unique_ptr<frinsObs> d;
    if (accion == Accion::GuardarObservacion) {
        f = std::make_unique<newobs>();
        RellenarObservacion(*f, descripcion);
    } else if (accion == Accion::GuardarObservador) {
        d = std::make_unique<frinsObs>();
        RellenarObservador(*d);
    }
    QVERIFY2(MessageService::Mostrados().isEmpty(), qPrintable(Textos().join(u'\n')));

    std::unique_ptr<OtroPrograma> otro;
    auto escribir = [&](const QByteArray &contenido) {
        QFile archivo(ruta);
        return archivo.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               archivo.write(contenido) == contenido.size();
    };
    switch (fallo) {
    case Fallo::Ausente:
    case Fallo::Borrado:
        QVERIFY(QFile::remove(ruta));
        break;
    case Fallo::NoEsBase:
        ModConex::Desconectar();
        QVERIFY(escribir(QByteArray(4096, 'x')));
        break;
    case Fallo::Vacio:
        ModConex::Desconectar();
        QVERIFY(escribir(QByteArray()));
        break;
    case Fallo::FaltaTabla:
        QVERIFY(bd.Ejecutar(QStringLiteral("DROP TABLE tmeteo")));
        break;
    case Fallo::SoloLectura:
        // File permissions do not bind root: the program's own switch opens it read-only.
        ModConex::setSoloLectura(true);
        QVERIFY(ModConex::Conectar());
        break;
    case Fallo::Carpeta:
        // Root may write any folder: a journal that cannot be created there stands in.
        QVERIFY(QFile::link(QStringLiteral("/sin-carpeta-tritodex/diario"), diario));
        if (getuid() != 0) QFile::setPermissions(bd.carpeta(), QFile::ReadOwner | QFile::ExeOwner);
        break;
    case Fallo::Bloqueo:
        otro = std::make_unique<OtroPrograma>(ruta, "BEGIN IMMEDIATE");
        QVERIFY(otro->ok());
        break;
    case Fallo::BloqueoExclusivo:
        otro = std::make_unique<OtroPrograma>(ruta, "BEGIN EXCLUSIVE");
        QVERIFY(otro->ok());
        break;
    case Fallo::DiscoLleno: {
        // Nothing free inside the file, and the file may not grow.
        QSqlQuery q(bd.db());
        QVERIFY(q.exec(QStringLiteral("VACUUM")));
        QVERIFY(q.exec(QStringLiteral("PRAGMA page_count")) && q.next());
        QVERIFY(q.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(q.value(0).toInt())));
        break;
    }
    }

    auto actuar = [&] {
        switch (accion) {
        case Accion::Arrancar:
            p.Form_Load();
            break;
        case Accion::AbrirNueva:
            Control<QAction>(&p, "new")->trigger();
            break;
        case Accion::GuardarObservacion:
            QTest::mouseClick(Control(f.get(), "Cbnueva"), Qt::LeftButton);
            break;
        case Accion::GuardarObservador:
            QTest::mouseClick(Control(d.get(), "CdIns"), Qt::LeftButton);
            break;
        }
    };
    actuar();
    // One message for the action, saying what is wrong.
    QCOMPARE(MessageService::Mostrados().size(), 1);
    QVERIFY2(MessageService::Ultimo().texto.contains(mensaje),
             qPrintable(MessageService::Ultimo().texto));

    // The program goes on: the form keeps what was typed; after a failed start the menu
    // still opens a form, which says in one message that there is no database.
    if (f) {
        QVERIFY(f->isVisible());
        QCOMPARE(Control<QComboBox>(f.get(), "Cbloc")->currentText(), QStringLiteral("Balsa"));
        QCOMPARE(Control<QLineEdit>(f.get(), "Txdesc")->text(), descripcion);
    }
    if (d) {
        QVERIFY(d->isVisible());
        QCOMPARE(Control<QLineEdit>(d.get(), "Txcod")->text(), QStringLiteral("ANA1"));
    }
    if (accion == Accion::Arrancar) {
        MessageService::Limpiar();
        Control<QAction>(&p, "new")->trigger();
        QCOMPARE(MessageService::Mostrados().size(), 1);
        QVERIFY2(MessageService::Ultimo().texto.contains(mensaje),
                 qPrintable(MessageService::Ultimo().texto));
    }

    // Nothing was stored, and nothing held before was lost.
    if (otro) otro->Soltar();
    QFile::setPermissions(bd.carpeta(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (fallo == Fallo::Ausente) QVERIFY(!QFile::exists(ruta));
    if (fallo == Fallo::NoEsBase || fallo == Fallo::Vacio)
        QCOMPARE(QFileInfo(ruta).size(), fallo == Fallo::Vacio ? 0 : 4096);
    if (fallo != Fallo::NoEsBase && fallo != Fallo::Vacio) QCOMPARE(Estado(copia), antes);

    // Once the cause is gone the same action succeeds.
    MessageService::Limpiar();
    switch (fallo) {
    case Fallo::SoloLectura:
        ModConex::setSoloLectura(false);
        QVERIFY(ModConex::Conectar());
        break;
    case Fallo::Carpeta:
        QVERIFY(QFile::remove(diario));
        break;
    case Fallo::DiscoLleno:
        QVERIFY(ModConex::Conectar());
        break;
    case Fallo::Bloqueo:
    case Fallo::BloqueoExclusivo:
        break;
    default:
        return;
    }
    actuar();
    if (accion == Accion::AbrirNueva) {
        QVERIFY2(MessageService::Mostrados().isEmpty(), qPrintable(Textos().join(u'\n')));
        return;
    }
    QVERIFY2(MessageService::Ultimo().texto.startsWith(QStringLiteral("Se ha registrado")),
             qPrintable(Textos().join(u'\n')));
    QCOMPARE(Estado(ruta), f ? QStringLiteral("ok|JPG|L1,JPG2|antes,") + descripcion
                             : QStringLiteral("ok|ANA1,JPG|L1|antes"));
}

void tst_fallosBaseDatos::esperaAlOtroPrograma() {
    // A lock held briefly is waited for: the save succeeds at once, with no message.
    ModConex::setEsperaOcupada(10000);
    TestDatabase bd;
    QVERIFY(bd.ok());
    frinsObs d;
    RellenarObservador(d);
    OtroPrograma otro(bd.ruta(), "BEGIN IMMEDIATE");
    QVERIFY(otro.ok());
    std::thread soltar([&otro] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        otro.Soltar();
    });
    QTest::mouseClick(Control(&d, "CdIns"), Qt::LeftButton);
    soltar.join();
    ModConex::setEsperaOcupada(200);
    QCOMPARE(Textos(), QStringList{QStringLiteral(
                           "Se ha registrado el Observador ANA1 en la base de datos")});
    QCOMPARE(bd.Contar(QStringLiteral("observador")), 1);
}

QTEST_MAIN(tst_fallosBaseDatos)
#include "tst_fallosBaseDatos.moc"
