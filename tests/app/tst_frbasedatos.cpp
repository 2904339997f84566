// The choice of database: the local file or a group's server, tried, taken and kept; the
// password asked for, or read from the user's password file; the program started on the
// choice, on TRITODEX_DB, and on the local file when the server is out of reach.
#include "support/Controles.h"
#include "support/Files.h"
#include "support/ServidorPrueba.h"
#include "support/TestDatabase.h"
#include "support/User.h"

#include "app/frbasedatos.h"
#include "app/principal.h"
#include "data/DatabaseCreation.h"
#include "data/DatabaseSettings.h"
#include "data/ModConex.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_frbasedatos : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void eleccion();
    void arranque();
};

namespace {
ServidorPrueba &Servidor() {
    return ServidorPrueba::Compartido();
}

struct Formulario {
    frbasedatos *f = new frbasedatos;
    Formulario() { Screen::MostrarHijo(f); }
    template <typename T = QLineEdit> T *c(const char *nombre) { return Control<T>(f, nombre); }
    // Host, port, database and user typed.
    void Servidor(const QStringList &v) {
        c<QRadioButton>("OpServidor")->click();
        for (int i = 0; const char *campo : {"Txhost", "Txpuerto", "Txbase", "Txusuario"})
            User::Escribir(c(campo), v[i++]);
    }
    // The message the click raised.
    QString Pulsar(const char *boton) {
        MessageService::Limpiar();
        QTest::mouseClick(c<QPushButton>(boton), Qt::LeftButton);
        return MessageService::Mostrados().isEmpty() ? QString() : MessageService::Ultimo().texto;
    }
};
} // namespace

void tst_frbasedatos::initTestCase() {
    QVERIFY2(Servidor().ok(), qPrintable(Servidor().error()));
    // The group's database on the test server, with the program's tables.
    QVERIFY(Servidor().CrearBase(u"grupo"_s));
    QString error;
    {
        QVERIFY2(AbrirServidor(u"crear"_s, Servidor().Direccion(u"grupo"_s), &error),
                 qPrintable(error));
        QSqlDatabase db = QSqlDatabase::database(u"crear"_s, false);
        QVERIFY2(
            DatabaseCreation::CrearEnServidor(db, QStringLiteral(TRITODEX_FIXTURE_DIR), &error),
            qPrintable(error));
    }
    QSqlDatabase::removeDatabase(u"crear"_s);
}

void tst_frbasedatos::eleccion() {
    TestDatabase bd(TestDatabase::Datos::Fixture, TestDatabase::Motor::Sqlite);
    const QString puerto = QString::number(Servidor().puerto());
    const QString grupo = u"127.0.0.1:%1/grupo"_s.arg(puerto);
    Formulario v;
    // The file in use: chosen, the server's fields off.
    QVERIFY(v.c<QRadioButton>("OpArchivo")->isChecked());
    QVERIFY(!v.c("Txhost")->isEnabled() && !v.c<QPushButton>("CdProbar")->isEnabled());
    QVERIFY(v.c<QLabel>("Lbactual")->text().startsWith(u"En uso: el archivo local "_s));

    // Each attempt (host, port and database, the user tritodex) says what is wrong or what it
    // found; none changes the database in use.
    const QList<QStringList> pruebas = {
        {u""_s, puerto, u"grupo"_s, u"El campo Servidor es obligatorio."_s},
        {u"127.0.0.1"_s, puerto, u" "_s, u"El campo Base de datos es obligatorio."_s},
        {u"db grupo"_s, puerto, u"grupo"_s,
         u"«db grupo» no es un nombre de servidor ni una dirección válida."_s},
        {u"12345"_s, puerto, u"grupo"_s,
         u"«12345» no es un nombre de servidor ni una dirección válida."_s},
        {u"127.0.0.1"_s, u"0"_s, u"grupo"_s, u"El puerto debe ser un número entre 1 y 65535."_s},
        {u"127.0.0.1"_s, puerto, u"nohay"_s,
         u"No se puede conectar con el servidor PostgreSQL 127.0.0.1:%1/nohay: "_s.arg(puerto)},
        {u"127.0.0.1"_s, puerto, u"postgres"_s,
         u"Conexión correcta, pero la base de datos 127.0.0.1:%1/postgres no tiene las tablas de "
         "Tritodex: créelas con tritodex_mkdb --servidor."_s.arg(puerto)},
        {u"127.0.0.1"_s, puerto, u"grupo"_s,
         u"Conexión correcta: la base de datos %1 tiene las tablas de Tritodex."_s.arg(grupo)},
    };
    for (const QStringList &p : pruebas) {
        v.Servidor({p[0], p[1], p[2], u"tritodex"_s});
        const QString aviso = v.Pulsar("CdProbar");
        QVERIFY2(aviso.startsWith(p[3]), qPrintable(aviso));
        QVERIFY(!ModConex::EsServidor() && ModConex::DatabaseConnection().isOpen());
    }
    // Letters in the port never reach it.
    User::Escribir(v.c("Txpuerto"), u"54a32"_s);
    QCOMPARE(v.c("Txpuerto")->text(), u"5432"_s);

    // Taken only when it connects: otherwise the file stays in use and nothing is kept.
    v.Servidor({u"127.0.0.1"_s, puerto, u"nohay"_s, u"tritodex"_s});
    QVERIFY(v.Pulsar("CdAceptar").endsWith(u"\n\nSe sigue usando la anterior."_s));
    QVERIFY(!ModConex::EsServidor() && ModConex::DatabaseConnection().isOpen());
    QVERIFY(!DatabaseSettings::Leida());
    v.Servidor({u"127.0.0.1"_s, puerto, u"grupo"_s, u"tritodex"_s});
    QCOMPARE(v.Pulsar("CdAceptar"), u"Se usa ahora la base de datos %1 del servidor."_s.arg(grupo));
    QVERIFY(ModConex::EsServidor() && ModConex::DatabaseConnection().isOpen());
    QCOMPARE(ModConex::DatabaseConnection().driverName(), u"QPSQL"_s);
    QCOMPARE(DatabaseSettings::Leida().value_or(ModConex::Servidor()).Descripcion(), grupo);

    // Opened again it shows the server in use; back to the file, kept so.
    Formulario w;
    QVERIFY(w.c<QRadioButton>("OpServidor")->isChecked());
    QCOMPARE(Textos(w.f, {"Txbase", "Txusuario", "Lbactual"}),
             u"grupo|tritodex|En uso: el servidor %1, usuario tritodex."_s.arg(grupo));
    w.c<QRadioButton>("OpArchivo")->click();
    QCOMPARE(w.Pulsar("CdAceptar"), u"Se usa ahora el archivo local Tritodex.mdb."_s);
    QVERIFY(!ModConex::EsServidor() && ModConex::DatabaseConnection().isOpen());
    QVERIFY(!DatabaseSettings::Leida());
    QCOMPARE(bd.Contar(u"observador"_s), 0); // the file's own rows

    // A member who must give a password.
    QVERIFY2(Servidor().ExigirContrasena(u"socia"_s, u"s3cr3ta"_s), qPrintable(Servidor().error()));
    // What a group's administrator grants each member.
    for (const QString &sql : {u"GRANT ALL ON ALL TABLES IN SCHEMA public TO socia"_s,
                               u"GRANT ALL ON ALL SEQUENCES IN SCHEMA public TO socia"_s})
        QVERIFY(Servidor().Administrar(sql, nullptr, u"grupo"_s));
    QStringList pedidas;
    QList<std::optional<QString>> respuestas;
    ChoiceService::Prueba().contrasena = [&](const QString &quien) {
        pedidas << quien;
        return respuestas.isEmpty() ? std::nullopt : respuestas.takeFirst();
    };
    Formulario socia;
    socia.Servidor({u"127.0.0.1"_s, puerto, u"grupo"_s, u"socia"_s});
    // Asked until right; a wrong one asked again; cancelled, the server's refusal shown.
    respuestas = {u"mala"_s, u"s3cr3ta"_s};
    QVERIFY(socia.Pulsar("CdProbar").startsWith(u"Conexión correcta"_s));
    QCOMPARE(pedidas, QStringList(2, u"socia en el servidor 127.0.0.1:%1/grupo"_s.arg(puerto)));
    // Kept in memory for the same server and user: taken without asking again.
    pedidas.clear();
    QCOMPARE(socia.Pulsar("CdAceptar"), u"Se usa ahora la base de datos 127.0.0.1:%1/grupo del "
                                        "servidor."_s.arg(puerto));
    QVERIFY(pedidas.isEmpty() && ModConex::EsServidor());
    Formulario archivo;
    archivo.c<QRadioButton>("OpArchivo")->click();
    archivo.Pulsar("CdAceptar");
    Formulario x;
    x.Servidor({u"127.0.0.1"_s, puerto, u"grupo"_s, u"socia"_s});
    respuestas = {};
    const QString aviso = x.Pulsar("CdProbar");
    QVERIFY2(aviso.startsWith(u"No se puede conectar con el servidor PostgreSQL"_s),
             qPrintable(aviso));
    QCOMPARE(pedidas.size(), 1);

    // The user's password file answers instead of the user.
    const QString pgpass = bd.carpeta() + u"/pgpass"_s;
    QVERIFY(Files::Write(pgpass, u"127.0.0.1:%1:grupo:socia:s3cr3ta\n"_s.arg(puerto).toUtf8()));
    QVERIFY(QFile::setPermissions(pgpass, QFile::ReadOwner | QFile::WriteOwner));
    qputenv("PGPASSFILE", QFile::encodeName(pgpass));
    pedidas.clear();
    Formulario y;
    y.Servidor({u"127.0.0.1"_s, puerto, u"grupo"_s, u"socia"_s});
    QVERIFY(y.Pulsar("CdProbar").startsWith(u"Conexión correcta"_s) && pedidas.isEmpty());
    qunsetenv("PGPASSFILE");
}

void tst_frbasedatos::arranque() {
    TestDatabase bd(TestDatabase::Datos::Fixture, TestDatabase::Motor::Sqlite);
    const auto grupo = Servidor().Direccion(u"grupo"_s);
    DatabaseSettings::Guardar(grupo);
    const auto empezar = [&](const QList<QMessageBox::StandardButton> &respuestas = {}) {
        QString aviso;
        ModConex::Desconectar();
        ModConex::setServidor(DatabaseSettings::ParaEstaSesion(&aviso));
        User::Responder(respuestas);
        principal p;
        p.Form_Load();
        return aviso;
    };
    // On the chosen server, without a word.
    QVERIFY(empezar().isEmpty() && MessageService::Mostrados().isEmpty());
    QVERIFY(ModConex::EsServidor() && ModConex::DatabaseConnection().isOpen());

    // TRITODEX_DB for one run: a postgresql:// address wins; anything else is said and
    // the settings hold.
    qputenv("TRITODEX_DB",
            u"postgresql://tritodex@127.0.0.1:%1/postgres"_s.arg(grupo.puerto).toUtf8());
    QVERIFY(empezar({QMessageBox::No}).isEmpty());
    QVERIFY2(MessageService::Ultimo().texto.contains(u"127.0.0.1:%1/postgres del servidor no es la "
                                                     "de Tritodex"_s.arg(grupo.puerto)),
             qPrintable(MessageService::Ultimo().texto));
    QVERIFY(!ModConex::DatabaseConnection().isOpen());
    qputenv("TRITODEX_DB", "Tritodex.mdb");
    QVERIFY(empezar().startsWith(u"La variable TRITODEX_DB no es una dirección"_s));
    QVERIFY(ModConex::EsServidor() && ModConex::DatabaseConnection().isOpen());
    qunsetenv("TRITODEX_DB");

    // The server out of reach: why, and the local file offered and taken.
    QVERIFY(Servidor().Parar());
    empezar({QMessageBox::Yes});
    QCOMPARE(MessageService::Mostrados().size(), 1);
    const QString dicho = MessageService::Ultimo().texto;
    QVERIFY2(dicho.startsWith(u"Problema de Conexión con la base de datos\n\nNo se puede conectar "
                              "con el servidor PostgreSQL %1: "_s.arg(grupo.Descripcion())) &&
                 dicho.endsWith(u"¿Usar en esta sesión el archivo local (Tritodex.mdb)?"_s),
             qPrintable(dicho));
    QVERIFY2(!ModConex::EsServidor() && ModConex::DatabaseConnection().isOpen(), qPrintable(dicho));
    QVERIFY(Servidor().Arrancar());
    // The choice itself stays: the next start goes to the server again.
    QVERIFY(DatabaseSettings::Leida());
}

QTEST_MAIN(tst_frbasedatos)
#include "tst_frbasedatos.moc"
