// The program on a group's PostgreSQL server: the server's schema and seed, the copy of a
// local file into it, several users at once (a server that goes away: tst_newobs). Runs
// against the test program's own throwaway server.
#include "support/ServidorPrueba.h"
#include "support/TestDatabase.h"

#include "data/DatabaseCreation.h"
#include "data/ModConex.h"
#include "data/SchemaUpgrade.h"
#include "observations/BinStore.h"
#include "observations/ObservationStore.h"
#include "observations/ReasonStore.h"
#include "observations/VerificationStore.h"
#include "observers/ObserverStore.h"
#include "photos/PhotoStore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <thread>

using namespace Qt::StringLiterals;

class tst_Servidor : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void direcciones();
    void creacionYCopia();
    void usuariosALaVez();
    void actualizacion();
    void verificacion();
};

namespace {
// A connection of its own to a database of the test server, as the program's user or
// another, dropped at the end; the reason kept when it could not be opened.
struct Conexion {
    QString nombre, error;
    QSqlDatabase db;
    Conexion(const QString &n, const QString &base, const QString &usuario = {}) : nombre(n) {
        ModConex::Servidor donde = ServidorPrueba::Compartido().Direccion(base);
        if (!usuario.isEmpty()) donde.usuario = usuario;
        AbrirServidor(nombre, donde, &error);
        db = QSqlDatabase::database(nombre, false);
    }
    ~Conexion() {
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(nombre);
    }
};

Observacion Ejemplo(const QString &observador, const QString &localidad) {
    return {.observador = {observador},
            .fecha = QDate(2026, 4, 2),
            .especie = u"BUFSPI"_s,
            .localidad = localidad};
}
} // namespace

void tst_Servidor::initTestCase() {
    // CI installs the server: its absence is a failure, never a skip.
    QVERIFY2(ServidorPrueba::Compartido().ok(), qPrintable(ServidorPrueba::Compartido().error()));
}

void tst_Servidor::direcciones() {
    const QList<QPair<QString, QString>> casos = {
        {u"postgresql://ana@db.grupo.es:5433/atlas"_s, u"db.grupo.es|5433|atlas|ana"_s},
        {u"postgresql://db.grupo.es/atlas"_s, u"db.grupo.es|5432|atlas|"_s},
        {u"postgres://ana@127.0.0.1/herpetos"_s, u"127.0.0.1|5432|herpetos|ana"_s},
        {u"postgresql://ana@db.grupo.es:5433/"_s, u""_s},
        {u"mysql://ana@db/atlas"_s, u""_s},
        {u"Tritodex.mdb"_s, u""_s},
    };
    for (const auto &[uri, esperado] : casos) {
        const auto s = ModConex::Servidor::DesdeUri(uri);
        QCOMPARE(s ? u"%1|%2|%3|%4"_s.arg(s->host).arg(s->puerto).arg(s->base, s->usuario)
                   : QString(),
                 esperado);
    }
}

void tst_Servidor::creacionYCopia() {
    // A member's file with observers, a default observer, localities, reasons and
    // observations, values with quotes, accents, nulls and a new reason.
    TestDatabase local(TestDatabase::Datos::Fixture, TestDatabase::Motor::Sqlite);
    ObserverStore observadores;
    QVERIFY(
        observadores.Insertar({u"ANA"_s, u"Ana"_s, u"Pérez"_s, u"AHE"_s, u"a@x.es"_s, {}}, true));
    QVERIFY(observadores.Insertar({u"DOR"_s, u"Ánxela"_s, u"D'Ors"_s, {}, {}, u"Lugo"_s}, false));
    QVERIFY(ReasonStore().Insertar({u"12"_s, u"Censo de charcas"_s, u"Con \"comillas\""_s}));
    LocalityStore localidades;
    QVERIFY(localidades.Insertar({0, u"L1"_s, u"Fuente d'Ávila"_s, 5, 5019, 330000, 4500000,
                                  u"30"_s, u"UK3000"_s, u"UK30"_s}));
    QVERIFY(localidades.Insertar({0, u"L2"_s, u"Charca"_s, 5, 5019, {}, {}, u"30"_s, {}, {}}));
    ObservationStore observaciones;
    Observacion o = Ejemplo(u"ANA"_s, u"L1"_s);
    o.observador[1] = u"DOR"_s;
    o.numejemp = 3;
    o.numaprox = true;
    o.descripcion = u"Bajo la piedra; it's wet"_s;
    o.motivo = u"Censo de charcas"_s;
    o.horaini = u"10:30"_s;
    QVERIFY(observaciones.Guardar(o, std::nullopt));
    QVERIFY(observaciones.Guardar(Ejemplo(u"DOR"_s, u"L2"_s), std::nullopt));
    QVERIFY(local.Ejecutar(u"DELETE FROM observacion WHERE id_observacion = 1"_s));
    QVERIFY(observaciones.Guardar(Ejemplo(u"dor"_s, u"l2"_s), std::nullopt));

    // The schema and seed go only into a database without the program's tables.
    QVERIFY(ServidorPrueba::Compartido().CrearBase(u"grupo"_s));
    Conexion grupo(u"grupo"_s, u"grupo"_s);
    QSqlDatabase &db = grupo.db;
    QString error;
    QVERIFY2(DatabaseCreation::CrearEnServidor(db, QStringLiteral(TRITODEX_FIXTURE_DIR), &error),
             qPrintable(error));
    QVERIFY(!DatabaseCreation::CrearEnServidor(db, QStringLiteral(TRITODEX_FIXTURE_DIR), &error));
    QVERIFY2(error.contains(u"ya tiene tablas del programa"_s), qPrintable(error));

    // Two photos of one picture and one of another; a picture missing from the folder stops
    // the copy whole.
    const Foto foto{.sha256 = QString(64, u'a'), .bytes = "imagen a"},
        otra{.sha256 = QString(64, u'b'),
             .latitud = 40.123456789,
             .longitud = -3.5,
             .bytes = "imagen b"},
        tercera{.sha256 = QString(64, u'c'), .bytes = "imagen c"};
    QVERIFY(PhotoStore().Asignar(2, {foto, otra}) && PhotoStore().Asignar(3, {tercera}));
    // The bin comes too, with the picture only its photo shows.
    QVERIFY(observaciones.Suprimir(3));
    const QString imagen = local.carpeta() + u"/fotos/"_s + otra.sha256;
    QVERIFY(QFile::rename(imagen, imagen + u".aparte"_s));
    DatabaseCreation::Copiados n;
    QVERIFY(!DatabaseCreation::CopiarAlServidor(local.ruta(), db, &n, &error));
    QVERIFY2(error.startsWith(u"No se encuentra la imagen %1"_s.arg(otra.sha256)),
             qPrintable(error));
    QCOMPARE(TestDatabase::Lineas(db, u"SELECT count(*) FROM observacion"_s), u"0"_s);
    QVERIFY(QFile::rename(imagen + u".aparte"_s, imagen));
    QVERIFY2(DatabaseCreation::CopiarAlServidor(local.ruta(), db, &n, &error), qPrintable(error));
    QCOMPARE((QList<int>{n.observadores, n.localidades, n.motivos, n.observaciones, n.fotos,
                         n.papelera, n.fotosPapelera}),
             (QList<int>{2, 2, local.Contar(u"motivo"_s), 1, 2, 1, 1}));
    QCOMPARE(TestDatabase::Lineas(
                 db, u"SELECT sha256 || ':' || encode(datos, 'escape') FROM foto_datos ORDER BY "
                     "sha256"_s),
             foto.sha256 + u":imagen a\n"_s + otra.sha256 + u":imagen b\n"_s + tercera.sha256 +
                 u":imagen c"_s);
    // Row by row, every column, identifiers and UUIDs included, in the order of the first.
    for (const QString &sql :
         {u"SELECT cod_observador, nombre, apellido, entidad, email, provincia, generacion FROM "
          "observador"_s,
          u"SELECT id_localidad, cod_localidad, localidad, prov, muni, utmx, utmy, utmhuso, utm1k, "
          "utm10k FROM localidad"_s,
          u"SELECT id_motivo, motivo_cast, descripcion FROM motivo"_s,
          u"SELECT id_observacion, observador1, observador2, observador3, observador4, fecha, "
          "horaini, horafin, periodo, meteo, viento, especie, numejemp, numaprox, estadio, "
          "conducta, descripcion, motivo, habitat, localidad, uuid FROM observacion"_s,
          u"SELECT id_foto, observacion, sha256, latitud, longitud, orden FROM foto"_s,
          u"SELECT id_observacion, observador1, especie, localidad, uuid, borrada, borrada_por "
          "FROM papelera"_s,
          u"SELECT id_foto, observacion, sha256, orden FROM papelera_foto"_s}) {
        const QString origen = TestDatabase::Lineas(local.db(), sql + u" ORDER BY 1"_s);
        QVERIFY(!origen.isEmpty());
        QCOMPARE(TestDatabase::Lineas(db, sql + u" ORDER BY 1"_s), origen);
    }
    // A second copy is refused whole; the server's numbers go on after the file's.
    QVERIFY(!DatabaseCreation::CopiarAlServidor(local.ruta(), db, &n, &error));
    QVERIFY2(error.contains(u"ya tiene observadores"_s), qPrintable(error));
    QCOMPARE(TestDatabase::Lineas(db, u"SELECT count(*) FROM observacion"_s), u"1"_s);
    // Past the bin's numbers too (3 is there), so that its observation can come back.
    ObservationStore enServidor(db);
    QCOMPARE(enServidor.Guardar(Ejemplo(u"ANA"_s, u"L1"_s), std::nullopt), 4);
    QVERIFY2(BinStore(db).Restaurar({3}), qPrintable(BinStore(db).error()));
    QCOMPARE(TestDatabase::Lineas(db, u"SELECT count(*) FROM observacion"_s), u"3"_s);
    QVERIFY(TestDatabase::Lineas(db, u"SELECT uuid FROM observacion WHERE id_observacion = 4"_s)
                .contains(u'-'));
    // A reason numbered by the user: the server's next number goes past it.
    ReasonStore motivos(db);
    QCOMPARE(motivos.Insertar({u"50"_s, u"Batida"_s, {}}), 50);
    QCOMPARE(motivos.Insertar({{}, u"Escucha"_s, {}}), 51);
}

void tst_Servidor::usuariosALaVez() {
    TestDatabase bd(TestDatabase::Datos::Fixture, TestDatabase::Motor::PostgreSql);
    QVERIFY(bd.Ejecutar(u"INSERT INTO observador (cod_observador) VALUES ('GRP')"_s));
    // Two programs, each on its connection, save observations with new localities at the
    // same moment; both propose the same codes (same observer, same next number).
    constexpr int kCada = 40;
    QString errores[2];
    const auto programa = [&](int k) {
        const Conexion c(u"programa%1"_s.arg(k), bd.base());
        errores[k] = c.error;
        ObservationStore observaciones(c.db);
        for (int i = 0; i < kCada && errores[k].isEmpty(); ++i) {
            const int numero = observaciones.SiguienteNumero();
            const QString codigo = u"GRP%1"_s.arg(numero);
            Localidad nueva{0, codigo, u"Charca %1-%2"_s.arg(k).arg(i), 5, 5019};
            if (!observaciones.Guardar(Ejemplo(u"GRP"_s, codigo), nueva, {{u"GRP"_s, numero}}))
                errores[k] = observaciones.error();
        }
    };
    std::thread uno(programa, 0), otro(programa, 1);
    uno.join();
    otro.join();
    QCOMPARE(errores[0] + u" / "_s + errores[1], u" / "_s); // no error in either
    // No insert lost, no code twice, every observation on its own new locality.
    QCOMPARE(bd.Lineas(u"SELECT count(*), count(DISTINCT localidad), (SELECT count(DISTINCT "
                       "cod_localidad) FROM localidad), (SELECT count(*) FROM observacion o JOIN "
                       "localidad l ON l.cod_localidad = o.localidad AND l.localidad LIKE "
                       "'Charca %') FROM observacion"_s),
             u"%1|%1|%1|%1"_s.arg(2 * kCada));

    // An update of an observation deleted meanwhile is told apart (one changed by another
    // user since it was loaded: tst_frmodif).
    ObservationStore yo;
    QString huella;
    const auto o = yo.Cargar(2, &huella);
    QVERIFY(o && !huella.isEmpty());
    QVERIFY(bd.Ejecutar(u"DELETE FROM observacion WHERE id_observacion = 2"_s));
    QVERIFY(!yo.Actualizar(2, *o, huella) && !yo.modificadaPorOtro());
    QCOMPARE(yo.error(), u"La observación ya no existe en la base de datos."_s);
}

void tst_Servidor::actualizacion() {
    // A server's database as the first version that ran on servers made it.
    TestDatabase bd(TestDatabase::Datos::Fixture, TestDatabase::Motor::PostgreSql);
    for (const QString &sql :
         {u"DROP TABLE foto"_s, u"DROP TABLE foto_datos"_s, u"DROP TABLE conjunto_datos"_s,
          u"DROP TABLE papelera"_s, u"DROP TABLE papelera_foto"_s,
          u"ALTER TABLE localidad DROP COLUMN incertidumbre"_s, u"DELETE FROM especie_nombre"_s,
          u"DROP FUNCTION tritodex_verificacion() CASCADE"_s,
          u"ALTER TABLE observacion DROP COLUMN verificacion, DROP COLUMN verificador, DROP "
          "COLUMN fecha_verificacion, DROP COLUMN comentario_verificacion"_s,
          u"DELETE FROM version_esquema"_s, u"INSERT INTO version_esquema VALUES (1)"_s})
        QVERIFY2(bd.Ejecutar(sql), qPrintable(sql));
    QSqlDatabase db = ModConex::DatabaseConnection();
    QString error;
    QVERIFY(!SchemaUpgrade::Actualizar(db, &error));
    QCOMPARE(error, u"La base de datos del servidor es de la versión 1, anterior a las que se "
                    "pueden actualizar."_s);
    QVERIFY(bd.Ejecutar(u"UPDATE version_esquema SET version = 2"_s));
    QVERIFY2(SchemaUpgrade::Actualizar(db, &error), qPrintable(error));
    QCOMPARE(SchemaUpgrade::Version(db), SchemaUpgrade::kVersionActual);
    QVERIFY(bd.Contar(u"especie_nombre"_s) > 0);
    // What the new steps brought works: an uncertainty, the photos and their pictures.
    QVERIFY(LocalityStore().Insertar(
        {0, u"L9"_s, u"Poza"_s, 5, 5019, 330000, 4500000, u"30"_s, u"UK3000"_s, {}, {}, {}, 25}));
    QVERIFY(bd.Ejecutar(u"INSERT INTO observador (cod_observador) VALUES ('GRP')"_s));
    const int id = ObservationStore().Guardar(Ejemplo(u"GRP"_s, u"L9"_s), std::nullopt).value_or(0);
    QVERIFY(id > 0);
    QVERIFY(PhotoStore().Asignar(id, {{.sha256 = QString(64, u'c'), .bytes = "imagen c"}}));
    QCOMPARE(bd.Lineas(u"SELECT encode(datos, 'escape') FROM foto_datos"_s), u"imagen c"_s);
    // The bin: a deletion there, with who made it, and back.
    QVERIFY(ObservationStore().Suprimir(id));
    QCOMPARE(bd.Valor(u"SELECT borrada_por = current_user FROM papelera"_s).toBool(), true);
    QVERIFY(BinStore().Restaurar({id}) && bd.Contar(u"foto"_s) == 1);
    // The verification: an accepted record whose values change is not yet verified again.
    QVERIFY(bd.Ejecutar(
        u"UPDATE observacion SET verificacion = 'aceptada' WHERE id_observacion = %1"_s.arg(id)));
    QVERIFY(bd.Ejecutar(u"UPDATE observacion SET numejemp = 7 WHERE id_observacion = ?"_s, {id}));
    QCOMPARE(bd.Lineas(u"SELECT verificacion FROM observacion WHERE id_observacion = ?"_s, {id}),
             u"NULL"_s);
    // Once there, a second run has nothing to do.
    QVERIFY2(SchemaUpgrade::Actualizar(db, &error), qPrintable(error));
    QCOMPARE(bd.Contar(u"version_esquema"_s), SchemaUpgrade::kVersionActual - 1);
}

void tst_Servidor::verificacion() {
    TestDatabase bd(TestDatabase::Datos::Fixture, TestDatabase::Motor::PostgreSql);
    // The schema made the role. A member's login with the rights every member has.
    QCOMPARE(bd.Lineas(u"SELECT count(*) FROM pg_roles WHERE rolname = 'tritodex_verificador'"_s),
             u"1"_s);
    for (const QString &sql :
         {u"DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'socia') THEN "
          "CREATE ROLE socia LOGIN; END IF; END $$"_s,
          u"GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO socia"_s,
          u"GRANT ALL ON ALL SEQUENCES IN SCHEMA public TO socia"_s,
          u"INSERT INTO observador (cod_observador) VALUES ('ANA')"_s})
        QVERIFY2(bd.Ejecutar(sql), qPrintable(sql));
    ObservationStore admin;
    for (int i = 0; i < 2; ++i)
        QVERIFY(admin.Guardar(Ejemplo(u"ANA"_s, u"L1"_s), std::nullopt));
    QVERIFY(bd.Ejecutar(u"UPDATE observacion SET verificacion = 'aceptada', verificador = 'ANA' "
                        "WHERE id_observacion IN (1, 2)"_s));
    const auto estado = [&](int id) {
        return bd.Lineas(u"SELECT verificacion FROM observacion WHERE id_observacion = ?"_s, {id});
    };

    Conexion socia(u"socia"_s, bd.base(), u"socia"_s);
    QVERIFY2(socia.db.isOpen(), qPrintable(socia.error));
    QSqlDatabase &db = socia.db;
    // Without the role the server itself refuses a status, set or brought in.
    QSqlQuery q(db);
    QVERIFY(
        !q.exec(u"UPDATE observacion SET verificacion = 'rechazada' WHERE id_observacion = 2"_s));
    QVERIFY2(q.lastError().text().contains(u"tritodex_verificador"_s),
             qPrintable(q.lastError().text()));
    QVERIFY(!q.exec(u"INSERT INTO observacion (observador1, verificacion) VALUES ('ANA', "
                    "'aceptada')"_s));
    VerificationStore verificaciones(db);
    QCOMPARE(verificaciones.PuedeVerificar(), std::optional<bool>(false));
    QVERIFY(!verificaciones.Verificar({2}, VerificationStore::Estado::Rechazada, u"ANA"_s, u"no"_s,
                                      QDateTime::currentDateTime()));
    QVERIFY(verificaciones.error().contains(u"tritodex_verificador"_s));
    QCOMPARE(estado(2), u"aceptada"_s);
    // Her edit of an accepted record puts it back to none; her deletion and restore
    // carry the status it had.
    ObservationStore suyas(db);
    Observacion o = *suyas.Cargar(1);
    o.numejemp = 9;
    QVERIFY2(suyas.Actualizar(1, o), qPrintable(suyas.error()));
    QCOMPARE(estado(1), u"NULL"_s);
    QVERIFY2(suyas.Suprimir(2), qPrintable(suyas.error()));
    QVERIFY2(BinStore(db).Restaurar({2}), qPrintable(BinStore(db).error()));
    QCOMPARE(estado(2), u"aceptada"_s);
    // With the role she may.
    QVERIFY(bd.Ejecutar(u"GRANT tritodex_verificador TO socia"_s));
    QCOMPARE(verificaciones.PuedeVerificar(), std::optional<bool>(true));
    QVERIFY2(q.exec(u"UPDATE observacion SET verificacion = 'dudosa' WHERE id_observacion = 1"_s),
             qPrintable(q.lastError().text()));
    QVERIFY2(verificaciones.Verificar({2}, VerificationStore::Estado::Rechazada, u"ANA"_s,
                                      u"Fuera de su área"_s, QDateTime::currentDateTime()),
             qPrintable(verificaciones.error()));
    QCOMPARE(estado(1) + estado(2), u"dudosarechazada"_s);
    QVERIFY(bd.Ejecutar(u"REVOKE tritodex_verificador FROM socia"_s));
}

QTEST_MAIN(tst_Servidor)
#include "tst_Servidor.moc"
