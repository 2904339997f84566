#include "support/TestDatabase.h"

#include "data/CreacionBaseDatos.h"
#include "data/ModConex.h"
#include "data/SqliteTexto.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_ModConex : public QObject {
    Q_OBJECT
private slots:
    void conexion();
    void creacionDesdeCsv();
    void textoSinMayusculas();
};

void tst_ModConex::conexion() {
    QTemporaryDir dir;
    ModConex::setRutaAplicacion(dir.path());
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
    QVERIFY2(CreacionBaseDatos::CrearBaseDatos(ruta, fuente, &error), qPrintable(error));
    QVERIFY(ModConex::Conectar());
    QVERIFY(QSqlQuery(ModConex::DatabaseConnection())
                .exec(u"INSERT INTO observador (cod_observador) VALUES ('JPG')"_s));
    ModConex::Desconectar();
    QVERIFY(!CreacionBaseDatos::CrearBaseDatos(ruta, fuente, &error));
    QVERIFY(ModConex::Conectar());
    {
        QSqlQuery q(ModConex::DatabaseConnection());
        QVERIFY(q.exec(u"SELECT count(*) FROM observador"_s) && q.next() &&
                q.value(0).toInt() == 1);
    }
    ModConex::Desconectar();
}

void tst_ModConex::creacionDesdeCsv() {
    TestDatabase bd;
    QVERIFY(bd.ok());
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
    QFile f(dir.filePath(u"tmeteo.csv"_s));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("id_meteo,meteo_cast\n1,Sol\n2,Niebla,extra\n");
    f.close();
    const QString nueva = dir.filePath(u"x.mdb"_s);
    QVERIFY(!CreacionBaseDatos::CrearBaseDatos(nueva, dir.path(), &error));
    QVERIFY2(error.contains(u"fila 3"_s), qPrintable(error));
    QVERIFY(!QFile::exists(nueva));
}

void tst_ModConex::textoSinMayusculas() {
    TestDatabase bd;
    // Keys compare ignoring case, accented capitals included; accents stay distinct. LIKE
    // folds case over Unicode in SQL as in memory, and takes escaped wildcards literally.
    const QList<QPair<const char *, int>> cuentas = {
        {"SELECT count(*) FROM tprovincia WHERE prov_cast = 'ávila'", 1},
        {"SELECT count(*) FROM tprovincia WHERE prov_cast = 'avila'", 0},
        {"SELECT count(*) FROM tmunicipio WHERE muni LIKE '%ÁVI%'", 1},
        {"SELECT count(*) FROM tmunicipio WHERE muni LIKE '%de%'", 2},
    };
    for (const auto &[sql, n] : cuentas)
        QVERIFY2(bd.Valor(QString::fromUtf8(sql)).toInt() == n, sql);
    QVERIFY(SqliteTexto::Like(u"%álv%"_s, u"Álvarez"_s));
    QVERIFY(!SqliteTexto::Like(u"%alv%"_s, u"Álvarez"_s));
    QVERIFY(SqliteTexto::Like(u"a_c"_s, u"AbC"_s));
    QVERIFY(!SqliteTexto::Like(u"a\\_c"_s, u"abc"_s, u'\\'));
    QVERIFY(SqliteTexto::Like(u"100\\%"_s, u"100%"_s, u'\\'));

    // A key differing only in case is a duplicate.
    QVERIFY(bd.Ejecutar(u"INSERT INTO observador (cod_observador) VALUES ('Ñu')"_s));
    QVERIFY(!bd.Ejecutar(u"INSERT INTO observador (cod_observador) VALUES ('ñU')"_s));
    QVERIFY(bd.Ejecutar(u"INSERT INTO localidad (cod_localidad) VALUES ('Ébano')"_s));
    QSqlQuery q(bd.db());
    QVERIFY(!q.exec(u"INSERT INTO localidad (cod_localidad) VALUES ('ÉBANO')"_s));
    QVERIFY(EsClaveDuplicada(q.lastError()));
}

QTEST_MAIN(tst_ModConex)
#include "tst_ModConex.moc"
