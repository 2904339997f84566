// A database made by the program before its schema carried a version, opened by this one.

#include "data/Backups.h"
#include "data/CreacionBaseDatos.h"
#include "data/ModConex.h"
#include "data/SchemaUpgrade.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

using namespace Qt::StringLiterals;

class tst_SchemaUpgrade : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { ModConex::Desconectar(); }
    void actualizaSinTocarObservaciones();
    void pasoFallidoDejaElArchivo();
    void soloLecturaNoSeActualiza();

private:
    // The earlier schema with the small reference set and a few observations, as that
    // version of the program left it: no version, no synonyms, no names table.
    void CrearAntigua(const QStringList &extra = {});
    QVariant Valor(const QString &sql) const;
    static QList<QStringList> Filas(const QString &sql,
                                    QSqlDatabase db = ModConex::DatabaseConnection());
    QByteArray Huella() const;

    std::unique_ptr<QTemporaryDir> dir_;
    QString ruta_;
};

void tst_SchemaUpgrade::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    ModConex::setRutaAplicacion(dir_->path());
    ModConex::setSoloLectura(false);
    ruta_ = dir_->filePath(u"Tritodex.mdb"_s);
}

void tst_SchemaUpgrade::CrearAntigua(const QStringList &extra) {
    const QString nombre = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, nombre);
        db.setDatabaseName(ruta_);
        QVERIFY(db.open());
        QFile f(QStringLiteral(TRITODEX_TESTS_DIR) + u"/data/esquema_v0.sql"_s);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QSqlQuery q(db);
        QString sentencia;
        for (const QString &linea : QString::fromUtf8(f.readAll()).split(u'\n')) {
            if (linea.trimmed().startsWith(u"--"_s)) continue;
            sentencia += linea + u'\n';
            if (!linea.trimmed().endsWith(u';')) continue;
            QVERIFY2(q.exec(sentencia), qPrintable(q.lastError().text()));
            sentencia.clear();
        }
        const QDir fixture(QStringLiteral(TRITODEX_FIXTURE_DIR));
        for (const QFileInfo &fi : fixture.entryInfoList({u"*.csv"_s}, QDir::Files)) {
            QString error;
            QVERIFY2(CreacionBaseDatos::CargarCsv(db, fi.completeBaseName(), fi.filePath(), &error),
                     qPrintable(error));
        }
        const QStringList filas = {
            // A code now kept as a synonym, a code of the user's own, and the species whose
            // common name changed.
            u"INSERT INTO especie VALUES ('BLAMAR', 'Blanus mariae', 'Culebrilla ciega del "
            "suroeste', 'Reptil')"_s,
            u"INSERT INTO especie VALUES ('ALYALM', 'Alytes almogavarii', 'Sapo partero "
            "pirenaico', 'Anfibio')"_s,
            u"INSERT INTO observacion (observador1, fecha, especie, numejemp, estadio, habitat, "
            "localidad, descripcion) VALUES ('AAA', '2019-05-02', 'BLAMAR', 1, 15, 9, 'Arroyo', "
            "'bajo una piedra')"_s,
            u"INSERT INTO observacion (observador1, fecha, especie, numejemp, estadio, localidad) "
            "VALUES ('AAA', '2020-03-14', 'LACLEP', 2, 7, 'Arroyo')"_s,
            u"INSERT INTO observacion (observador1, fecha, especie, estadio) VALUES ('BBB', "
            "'2021-04-01', 'ALYALM', 2)"_s};
        for (const QString &s : filas + extra)
            QVERIFY2(q.exec(s), qPrintable(s + q.lastError().text()));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(nombre);
}

QVariant tst_SchemaUpgrade::Valor(const QString &sql) const {
    QSqlQuery q(ModConex::DatabaseConnection());
    if (!q.exec(sql) || !q.next()) return QVariant();
    return q.value(0);
}

QList<QStringList> tst_SchemaUpgrade::Filas(const QString &sql, QSqlDatabase db) {
    QList<QStringList> filas;
    QSqlQuery q(db);
    if (!q.exec(sql)) return filas;
    while (q.next()) {
        QStringList fila;
        for (int i = 0; i < q.record().count(); ++i)
            fila << (q.isNull(i) ? u"<null>"_s : q.value(i).toString());
        filas << fila;
    }
    return filas;
}

QByteArray tst_SchemaUpgrade::Huella() const {
    QFile f(ruta_);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

void tst_SchemaUpgrade::actualizaSinTocarObservaciones() {
    CrearAntigua();
    QList<QStringList> antes, estadios;
    {
        QSqlDatabase crudo = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"crudo"_s);
        crudo.setDatabaseName(ruta_);
        QVERIFY(crudo.open());
        QCOMPARE(SchemaUpgrade::Version(crudo), 0);
        antes = Filas(u"SELECT * FROM observacion ORDER BY id_observacion"_s, crudo);
        estadios = Filas(u"SELECT * FROM testadio ORDER BY id_estadio"_s, crudo);
        crudo.close();
    }
    QSqlDatabase::removeDatabase(u"crudo"_s);
    QCOMPARE(antes.size(), 3);

    QVERIFY2(ModConex::Conectar(), qPrintable(ModConex::MotivoFallo()));
    QCOMPARE(Valor(u"PRAGMA user_version"_s).toInt(), SchemaUpgrade::kVersionActual);
    // The file as it was is kept first among the copies.
    const auto copias = Backups::Listar();
    QCOMPARE(copias.size(), 1);
    {
        QSqlDatabase copia = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"copia"_s);
        copia.setDatabaseName(copias.first().ruta);
        QVERIFY(copia.open());
        QCOMPARE(SchemaUpgrade::Version(copia), 0);
        QCOMPARE(Filas(u"SELECT * FROM observacion ORDER BY id_observacion"_s, copia), antes);
        copia.close();
    }
    QSqlDatabase::removeDatabase(u"copia"_s);
    QCOMPARE(Filas(u"SELECT * FROM observacion ORDER BY id_observacion"_s), antes);
    // The lookup rows already there keep their identifiers and texts; new ones are added.
    QStringList ids;
    for (const QStringList &fila : estadios)
        ids << fila.first();
    QCOMPARE(Filas(u"SELECT * FROM testadio WHERE id_estadio IN (%1) ORDER BY id_estadio"_s.arg(
                 ids.join(u','))),
             estadios);
    QCOMPARE(Valor(u"SELECT estad_cast || '/' || clase FROM testadio WHERE id_estadio = 20"_s)
                 .toString(),
             u"Adulto neoténico/Anfibio"_s);
    QCOMPARE(Valor(u"SELECT count(*) FROM thabitat WHERE id_habitat IN (36, 37, 38)"_s).toInt(), 3);
    // Synonyms, corrected names, new species, the names table and official province names.
    QCOMPARE(Valor(u"SELECT sinonimo_de FROM especie WHERE cod_especie = 'BLAMAR'"_s).toString(),
             u"BLACIN"_s);
    QCOMPARE(Valor(u"SELECT n_cast FROM especie WHERE cod_especie = 'ALYALM'"_s).toString(),
             u"Sapo partero almogávar"_s);
    QCOMPARE(Valor(u"SELECT n_especie FROM especie WHERE cod_especie = 'LACLEP'"_s).toString(),
             u"Timon lepidus"_s);
    QCOMPARE(Valor(u"SELECT count(*) FROM especie WHERE cod_especie IN ('RANPAR', 'BLAVAN', "
                   "'CHAPAR', 'LITCAT')"_s)
                 .toInt(),
             4);
    QCOMPARE(
        Valor(u"SELECT cod_especie FROM especie_nombre WHERE nombre = 'Rana perezi'"_s).toString(),
        u"PELPER"_s);
    QCOMPARE(Valor(u"SELECT prov_ine FROM tprovincia WHERE id_prov = 11"_s).toString(), u"Cádiz"_s);

    // Opening it again changes nothing.
    ModConex::Desconectar();
    const QByteArray huella = Huella();
    QVERIFY(ModConex::Conectar());
    ModConex::Desconectar();
    QCOMPARE(Huella(), huella);
}

void tst_SchemaUpgrade::pasoFallidoDejaElArchivo() {
    // A table of that name but another shape makes the step fail half way.
    CrearAntigua({u"CREATE TABLE especie_nombre (cod_especie TEXT)"_s});
    const QByteArray huella = Huella();
    QVERIFY(!ModConex::Conectar());
    QVERIFY2(ModConex::MotivoFallo().startsWith(u"No se ha podido actualizar el archivo "
                                                "Tritodex.mdb"_s),
             qPrintable(ModConex::MotivoFallo()));
    ModConex::Desconectar();
    QCOMPARE(Huella(), huella);
}

void tst_SchemaUpgrade::soloLecturaNoSeActualiza() {
    CrearAntigua();
    const QByteArray huella = Huella();
    ModConex::setSoloLectura(true);
    QVERIFY(!ModConex::Conectar());
    QVERIFY(ModConex::MotivoFallo().contains(u"versión anterior"_s));
    ModConex::Desconectar();
    QCOMPARE(Huella(), huella);
}

QTEST_MAIN(tst_SchemaUpgrade)
#include "tst_SchemaUpgrade.moc"
