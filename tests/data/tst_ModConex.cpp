#include "support/TestDatabase.h"

#include "data/CreacionBaseDatos.h"
#include "data/ModConex.h"
#include "data/SqliteTexto.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

class tst_ModConex : public QObject {
    Q_OBJECT
private slots:
    void conexionEnArchivosMalos();
    void creacionDesdeCsv();
    void baseDatosNuncaSobrescrita();
    void textoSinMayusculas();
    void soloLectura();
};

void tst_ModConex::conexionEnArchivosMalos() {
    QTemporaryDir dir;
    ModConex::setRutaAplicacion(dir.path());
    const QString ruta = dir.path() + QStringLiteral("/Tritodex.mdb");

    // Missing: false, and no file appears.
    QVERIFY(!ModConex::Conectar());
    QVERIFY(!QFile::exists(ruta));

    // Not a database at all.
    QFile basura(ruta);
    QVERIFY(basura.open(QIODevice::WriteOnly));
    basura.write(QByteArray(4096, 'x'));
    basura.close();
    QVERIFY(!ModConex::Conectar());
    QCOMPARE(QFileInfo(ruta).size(), 4096);

    // A database, but not ours.
    QFile::remove(ruta);
    {
        QSqlDatabase otra =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("otra"));
        otra.setDatabaseName(ruta);
        QVERIFY(otra.open());
        QSqlQuery(otra).exec(QStringLiteral("CREATE TABLE facturas (id INTEGER)"));
        otra.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("otra"));
    QVERIFY(!ModConex::Conectar());

    // Statements on the failed connection fail instead of crashing.
    QSqlQuery q(ModConex::DatabaseConnection());
    QVERIFY(!q.exec(QStringLiteral("SELECT * FROM observador")));
    QVERIFY(DescribirError(q.lastError())
                .startsWith(QStringLiteral("No hay conexión con la base de datos")));

    // A good file connects.
    QFile::remove(ruta);
    QString error;
    QVERIFY2(CreacionBaseDatos::CrearBaseDatos(ruta, QStringLiteral(TRITODEX_FIXTURE_DIR), &error),
             qPrintable(error));
    QVERIFY(ModConex::Conectar());
    QVERIFY(ModConex::DatabaseConnection().isOpen());
    ModConex::Desconectar();
}

void tst_ModConex::creacionDesdeCsv() {
    TestDatabase bd;
    QVERIFY(bd.ok());
    QCOMPARE(bd.Contar(QStringLiteral("tprovincia")), 4);
    QCOMPARE(
        bd.Valor(QStringLiteral("SELECT prov_cast FROM tprovincia WHERE id_prov=5")).toString(),
        QStringLiteral("Ávila"));
    // Empty CSV fields are nulls; quoted fields keep their commas.
    QVERIFY(bd.Valor(QStringLiteral("SELECT habitat FROM thabitat WHERE id_habitat=3")).isNull());
    QCOMPARE(
        bd.Valor(QStringLiteral("SELECT descripcion FROM motivo WHERE id_motivo=2")).toString(),
        QStringLiteral("Observación casual, sin método"));
    // The default observer row exists and holds the empty text.
    QCOMPARE(bd.Contar(QStringLiteral("DefaultObs")), 1);
    QCOMPARE(bd.Valor(QStringLiteral("SELECT cd_obs FROM DefaultObs")).toString(), QString());
    // Identifiers are never reused, even after deleting the last row.
    QVERIFY(bd.Ejecutar(QStringLiteral("INSERT INTO localidad (cod_localidad) VALUES ('A')")));
    QVERIFY(bd.Ejecutar(QStringLiteral("DELETE FROM localidad")));
    QVERIFY(bd.Ejecutar(QStringLiteral("INSERT INTO localidad (cod_localidad) VALUES ('B')")));
    QCOMPARE(bd.Valor(QStringLiteral("SELECT id_localidad FROM localidad")).toInt(), 2);

    // A CSV with a malformed row is refused with its row named.
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("tmeteo.csv")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("id_meteo,meteo_cast\n1,Sol\n2,Niebla,extra\n");
    f.close();
    QString error;
    QVERIFY(!CreacionBaseDatos::CrearBaseDatos(dir.filePath(QStringLiteral("x.mdb")), dir.path(),
                                               &error));
    QVERIFY2(error.contains(QStringLiteral("fila 3")), qPrintable(error));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.mdb"))));
}

void tst_ModConex::baseDatosNuncaSobrescrita() {
    TestDatabase bd;
    QVERIFY(bd.Ejecutar(QStringLiteral("INSERT INTO observador (cod_observador) VALUES ('JPG')")));
    ModConex::Desconectar();
    QString error;
    QVERIFY(!CreacionBaseDatos::CrearBaseDatos(bd.ruta(), QStringLiteral(TRITODEX_FIXTURE_DIR),
                                               &error));
    QVERIFY(ModConex::Conectar());
    QCOMPARE(bd.Contar(QStringLiteral("observador")), 1);
}

void tst_ModConex::textoSinMayusculas() {
    TestDatabase bd;
    // Keys compare ignoring case, accented capitals included; accents stay distinct.
    QCOMPARE(bd.Valor(QStringLiteral("SELECT id_prov FROM tprovincia WHERE prov_cast = 'ávila'"))
                 .toInt(),
             5);
    QVERIFY(bd.Valor(QStringLiteral("SELECT id_prov FROM tprovincia WHERE prov_cast = 'avila'"))
                .isNull());
    QVERIFY(bd.Ejecutar(QStringLiteral("INSERT INTO observador (cod_observador) VALUES ('Ñu')")));
    QVERIFY(!bd.Ejecutar(QStringLiteral("INSERT INTO observador (cod_observador) VALUES ('ñU')")));
    QVERIFY(bd.Ejecutar(QStringLiteral("INSERT INTO localidad (cod_localidad) VALUES ('Ébano')")));
    QSqlQuery q(bd.db());
    q.prepare(QStringLiteral("INSERT INTO localidad (cod_localidad) VALUES ('ÉBANO')"));
    QVERIFY(!q.exec());
    QVERIFY(EsClaveDuplicada(q.lastError()));

    // LIKE folds case over Unicode and takes escaped wildcards literally.
    QVERIFY(SqliteTexto::Like(QStringLiteral("%álv%"), QStringLiteral("Álvarez")));
    QVERIFY(!SqliteTexto::Like(QStringLiteral("%alv%"), QStringLiteral("Álvarez")));
    QVERIFY(SqliteTexto::Like(QStringLiteral("a_c"), QStringLiteral("AbC")));
    QVERIFY(!SqliteTexto::Like(QStringLiteral("a\\_c"), QStringLiteral("abc"), u'\\'));
    QVERIFY(SqliteTexto::Like(QStringLiteral("100\\%"), QStringLiteral("100%"), u'\\'));
    QCOMPARE(
        bd.Valor(QStringLiteral("SELECT count(*) FROM tmunicipio WHERE muni LIKE '%ÁVI%'")).toInt(),
        1);
    QCOMPARE(
        bd.Valor(QStringLiteral("SELECT count(*) FROM tmunicipio WHERE muni LIKE '%de%'")).toInt(),
        2);
}

void tst_ModConex::soloLectura() {
    TestDatabase bd;
    ModConex::setSoloLectura(true);
    QVERIFY(ModConex::Conectar());
    ModConex::setSoloLectura(false);
    QCOMPARE(bd.Contar(QStringLiteral("tprovincia")), 4);
    QSqlQuery q(bd.db());
    QVERIFY(!q.exec(QStringLiteral("INSERT INTO observador (cod_observador) VALUES ('X')")));
    QCOMPARE(
        DescribirError(q.lastError()),
        QStringLiteral("No se puede escribir en la base de datos: el archivo es de solo lectura."));
}

QTEST_MAIN(tst_ModConex)
#include "tst_ModConex.moc"
