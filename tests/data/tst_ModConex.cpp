#include "support/Files.h"
#include "support/FullDisk.h"
#include "support/TestDatabase.h"

#include "data/DatabaseCreation.h"
#include "data/Instalacion.h"
#include "data/ModConex.h"
#include "data/SqliteText.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
bool Crear(const QString &ruta) {
    return QDir().mkpath(QFileInfo(ruta).path()) && Files::Write(ruta, "x");
}
} // namespace

class tst_ModConex : public QObject {
    Q_OBJECT
private slots:
    void conexion();
    void creacionDesdeCsv();
    void textoSinMayusculas();
    void carpetas();
};

void tst_ModConex::conexion() {
    QTemporaryDir dir;
    ModConex::setCarpetaDatos(dir.path());
    const QString ruta = dir.filePath(u"Tritodex.mdb"_s);
    // A database, but not ours: refused, and statements on the failed connection fail
    // instead of crashing.
    {
        QSqlDatabase otra = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"otra"_s);
        otra.setDatabaseName(ruta);
        QVERIFY(otra.open() && QSqlQuery(otra).exec(u"CREATE TABLE facturas (id INTEGER)"_s));
        otra.close();
    }
    QSqlDatabase::removeDatabase(u"otra"_s);
    QVERIFY(!ModConex::Conectar());
    {
        QSqlQuery q(ModConex::DatabaseConnection());
        QVERIFY(!q.exec(u"SELECT * FROM observador"_s));
        QVERIFY(
            DescribirError(q.lastError()).startsWith(u"No hay conexión con la base de datos"_s));
    }
    // Creating a file that exists is refused and leaves it whole.
    QFile::remove(ruta);
    const QString fuente = QStringLiteral(TRITODEX_FIXTURE_DIR);
    QString error;
    QVERIFY2(DatabaseCreation::CrearBaseDatos(ruta, fuente, &error), qPrintable(error));
    QVERIFY(ModConex::Conectar());
    QVERIFY(QSqlQuery(ModConex::DatabaseConnection())
                .exec(u"INSERT INTO observador (cod_observador) VALUES ('JPG')"_s));
    ModConex::Desconectar();
    const QByteArray suyo = Files::Read(ruta);
    QVERIFY(!DatabaseCreation::CrearBaseDatos(ruta, fuente, &error));
    QCOMPARE(Files::Read(ruta), suyo);
}

void tst_ModConex::creacionDesdeCsv() {
    TestDatabase bd;
    // Empty CSV fields are nulls, quoted fields keep their commas, and the default observer
    // row exists holding the empty text.
    QVERIFY(bd.Valor(u"SELECT habitat FROM thabitat WHERE id_habitat=3"_s).isNull());
    QCOMPARE(bd.Valor(u"SELECT descripcion FROM motivo WHERE id_motivo=2"_s).toString(),
             u"Observación casual, sin método"_s);
    QCOMPARE(bd.Valor(u"SELECT count(*) || ':' || cd_obs FROM DefaultObs"_s).toString(), u"1:"_s);
    // Identifiers are never reused, even after deleting the last row.
    QVERIFY(bd.Ejecutar(u"INSERT INTO localidad (cod_localidad) VALUES ('A')"_s));
    QVERIFY(bd.Ejecutar(u"DELETE FROM localidad"_s));
    QVERIFY(bd.Ejecutar(u"INSERT INTO localidad (cod_localidad) VALUES ('B')"_s));
    QCOMPARE(bd.Valor(u"SELECT id_localidad FROM localidad"_s).toInt(), 2);

    QString error;
    // A CSV with a malformed row is refused with its row named, and no database is left.
    QTemporaryDir dir;
    QVERIFY(Files::Write(dir.filePath(u"tmeteo.csv"_s),
                         "id_meteo,meteo_cast\n1,Sol\n2,Niebla,extra\n"));
    const QString nueva = dir.filePath(u"x.mdb"_s);
    QVERIFY(!DatabaseCreation::CrearBaseDatos(nueva, dir.path(), &error));
    QVERIFY2(error.contains(u"fila 3"_s), qPrintable(error));
    QVERIFY(!QFile::exists(nueva));
}

void tst_ModConex::textoSinMayusculas() {
    TestDatabase bd;
    // Keys compare ignoring case, accented capitals included; accents stay distinct. LIKE
    // folds case over Unicode in SQL as in memory, and takes escaped wildcards literally.
    QCOMPARE(bd.Lineas(u"SELECT (SELECT count(*) FROM tprovincia WHERE prov_cast = 'ávila'), "
                       "(SELECT count(*) FROM tprovincia WHERE prov_cast = 'avila'), "
                       "(SELECT count(*) FROM tmunicipio WHERE muni LIKE '%ÁVI%'), "
                       "(SELECT count(*) FROM tmunicipio WHERE muni LIKE '%de%')"_s),
             u"1|0|1|2"_s);
    // Sorted folding case, a prefix first, accented letters after the plain ones.
    QCOMPARE(bd.Lineas(u"SELECT column1 FROM (VALUES ('b'), ('AB'), ('Ábaco'), ('z9'), ('a'), "
                       "('Z'), ('abc')) ORDER BY column1 COLLATE NOCASE"_s),
             u"a\nAB\nabc\nb\nZ\nz9\nÁbaco"_s);
    // (Escaped wildcards, accents and capitals in the searches of the observer and locality
    // lists: tst_frobs, tst_frloc.)
    QVERIFY(SqliteText::Like(u"a_c"_s, u"AbC"_s));

    // A key differing only in case is a duplicate.
    QVERIFY(bd.Ejecutar(u"INSERT INTO observador (cod_observador) VALUES ('Ñu')"_s));
    QVERIFY(!bd.Ejecutar(u"INSERT INTO observador (cod_observador) VALUES ('ñU')"_s));
    QVERIFY(bd.Ejecutar(u"INSERT INTO localidad (cod_localidad) VALUES ('Ébano')"_s));
    QSqlQuery q(bd.db());
    QVERIFY(!q.exec(u"INSERT INTO localidad (cod_localidad) VALUES ('ÉBANO')"_s));
    QVERIFY(EsClaveDuplicada(q.lastError()));
}

// Where a program finds its shared files and its user's data, for each way it is laid out;
// and the user's database made from the seed once, never again.
void tst_ModConex::carpetas() {
    QTemporaryDir dir;
    const QString r = dir.path(), usuario = r + u"/casa/.local/share"_s;
    using M = Instalacion::Modo;
    // Files laid out (blank between them), the program's folder, then the mode and the
    // folders found.
    const QList<std::tuple<QString, QString, M, QString, QString>> casos = {
        // A build: the database beside the program.
        {"build/Tritodex.mdb", "build", M::Portatil, "build", "build"},
        // A package: bin/ beside share/tritodex/ with the seed.
        {"usr/bin/tritodex usr/share/tritodex/Tritodex.mdb", "usr/bin", M::Usuario,
         "usr/share/tritodex", "casa/.local/share/Tritodex"},
        // A package tree holding a database beside the program stays portable.
        {"p/bin/Tritodex.mdb p/share/tritodex/Tritodex.mdb", "p/bin", M::Portatil,
         "p/share/tritodex", "p/bin"},
        // No database and no seed: the program's folder, as always.
        {"sola/tritodex", "sola", M::Portatil, "sola", "sola"},
        // Shared files without a seed.
        {"q/bin/tritodex q/share/tritodex/Tritodex.pdf", "q/bin", M::Portatil, "q/share/tritodex",
         "q/bin"},
    };
    for (const auto &[archivos, programa, modo, compartida, datos] : casos) {
        for (const QString &a : archivos.split(u' '))
            QVERIFY(Crear(r + u'/' + a));
        const auto hallado = Instalacion::Resolver(r + u'/' + programa, usuario);
        QVERIFY2(hallado.modo == modo, qPrintable(programa));
        QCOMPARE(hallado.compartida, r + u'/' + compartida);
        QCOMPARE(hallado.datos, r + u'/' + datos);
    }

    // The user's database comes from the seed, with its folders made; once there it is the
    // user's and a later start leaves it as it is.
    Instalacion::Carpetas paquete = Instalacion::Resolver(r + u"/usr/bin"_s, usuario);
    QString error;
    QVERIFY(DatabaseCreation::CrearBaseDatos(r + u"/semilla.mdb"_s, TRITODEX_FIXTURE_DIR, &error));
    QVERIFY(QFile::remove(paquete.compartida + u"/Tritodex.mdb"_s));
    QVERIFY(QFile::copy(r + u"/semilla.mdb"_s, paquete.compartida + u"/Tritodex.mdb"_s));
    const QString base = paquete.datos + u"/Tritodex.mdb"_s;
    QVERIFY2(Instalacion::PrepararDatos(paquete, &error), qPrintable(error));
    QCOMPARE(Files::Read(base), Files::Read(r + u"/semilla.mdb"_s));
    ModConex::setCarpetaDatos(paquete.datos);
    QVERIFY(ModConex::Conectar());
    QVERIFY(QSqlQuery(ModConex::DatabaseConnection())
                .exec(u"INSERT INTO observador (cod_observador) VALUES ('MGL')"_s));
    ModConex::Desconectar();
    const QByteArray suyo = Files::Read(base);
    QVERIFY(Instalacion::PrepararDatos(paquete, &error));
    QCOMPARE(Files::Read(base), suyo);
    // A portable program makes nothing.
    QVERIFY(Instalacion::PrepararDatos(Instalacion::Resolver(r + u"/sola"_s, usuario), &error));
    QVERIFY(!QFileInfo::exists(r + u"/sola/Tritodex.mdb"_s));

    // Failures, in the user's words, and no database left behind: a file where the data
    // folder goes, the seed gone, a full disk.
    FullDisk disco(r + u"/disco"_s, 64);
    QVERIFY2(disco.ok(), qPrintable(disco.error()));
    QVERIFY(Crear(r + u"/estorbo"_s));
    const QList<std::pair<Instalacion::Carpetas, QString>> fallos = {
        {{paquete.modo, paquete.compartida, r + u"/estorbo/Tritodex"_s},
         u"No se ha podido crear la carpeta de datos "_s},
        {{paquete.modo, r + u"/vacia"_s, r + u"/otra"_s},
         u"No se puede leer la base de datos inicial "_s},
        {{paquete.modo, paquete.compartida, disco.carpeta()},
         u"El disco está lleno: no se ha podido escribir el archivo "_s},
    };
    for (const auto &[c, mensaje] : fallos) {
        if (c.datos == disco.carpeta()) QVERIFY(disco.Llenar());
        error.clear();
        QVERIFY2(!Instalacion::PrepararDatos(c, &error), qPrintable(c.datos));
        QVERIFY2(error.startsWith(mensaje), qPrintable(error));
        QVERIFY2(!QFileInfo::exists(c.datos + u"/Tritodex.mdb"_s), qPrintable(c.datos));
    }
}

QTEST_MAIN(tst_ModConex)
#include "tst_ModConex.moc"
