// A database made by the program before its schema carried a version, opened by this one.

#include "data/Backups.h"
#include "data/DatabaseCreation.h"
#include "data/ModConex.h"
#include "data/SchemaUpgrade.h"
#include "observations/ObservationStore.h"
#include "support/Files.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {
// Runs f on a connection of its own to the file, closed afterwards.
template <class F> void EnArchivo(const QString &ruta, F f) {
    const QString nombre = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, nombre);
        db.setDatabaseName(ruta);
        QVERIFY(db.open());
        f(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(nombre);
}

// The earlier schema with the small reference set and a few observations, as that
// version of the program left it: no version, no synonyms, no names table.
void CrearAntigua(const QString &ruta, const QStringList &extra = {}) {
    EnArchivo(ruta, [&](QSqlDatabase db) {
        const QByteArray esquema =
            Files::Read(QStringLiteral(TRITODEX_TESTS_DIR) + u"/data/esquema_v0.sql"_s);
        QVERIFY(!esquema.isEmpty());
        QSqlQuery q(db);
        // One statement a ";" at a line's end; SQLite skips the comments.
        for (const QString &sentencia : QString::fromUtf8(esquema).split(u";\n"_s))
            if (!sentencia.trimmed().isEmpty())
                QVERIFY2(q.exec(sentencia), qPrintable(sentencia + q.lastError().text()));
        const QDir fixture(QStringLiteral(TRITODEX_FIXTURE_DIR));
        for (const QFileInfo &fi : fixture.entryInfoList({u"*.csv"_s}, QDir::Files)) {
            QString error;
            QVERIFY2(DatabaseCreation::CargarCsv(db, fi.completeBaseName(), fi.filePath(), &error),
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
    });
}

QList<QStringList> Filas(const QString &sql, QSqlDatabase db = ModConex::DatabaseConnection()) {
    QList<QStringList> filas;
    for (const QString &linea : TestDatabase::Lineas(db, sql).split(u'\n', Qt::SkipEmptyParts))
        filas << linea.split(u'|');
    return filas;
}

QString Lineas(const QString &sql) {
    return TestDatabase::Lineas(ModConex::DatabaseConnection(), sql);
}
} // namespace

class tst_SchemaUpgrade : public QObject {
    Q_OBJECT
private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        ModConex::setCarpetaDatos(dir_->path());
        ModConex::setSoloLectura(false);
        ruta_ = dir_->filePath(u"Tritodex.mdb"_s);
    }
    void cleanup() { ModConex::Desconectar(); }
    void actualizaSinTocarObservaciones();
    void sinActualizarDejaElArchivo();
    void version1RecibeUuidYSensibles();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString ruta_;
};

void tst_SchemaUpgrade::actualizaSinTocarObservaciones() {
    CrearAntigua(ruta_);
    QList<QStringList> antes, estadios;
    EnArchivo(ruta_, [&](QSqlDatabase crudo) {
        QCOMPARE(SchemaUpgrade::Version(crudo), 0);
        antes = Filas(u"SELECT * FROM observacion ORDER BY id_observacion"_s, crudo);
        estadios = Filas(u"SELECT * FROM testadio ORDER BY id_estadio"_s, crudo);
    });
    QCOMPARE(antes.size(), 3);

    const auto conectado = ModConex::Conectar();
    QVERIFY2(conectado, qPrintable(conectado.motivo));
    QCOMPARE(Lineas(u"PRAGMA user_version"_s), QString::number(SchemaUpgrade::kVersionActual));
    // The file as it was is kept first among the copies.
    const auto copias = Backups::Listar();
    QCOMPARE(copias.size(), 1);
    EnArchivo(copias.first().ruta, [&](QSqlDatabase copia) {
        QCOMPARE(SchemaUpgrade::Version(copia), 0);
        QCOMPARE(Filas(u"SELECT * FROM observacion ORDER BY id_observacion"_s, copia), antes);
    });
    // The observations as they were, with a UUID and the verification, none yet, at the end.
    QList<QStringList> despues = Filas(u"SELECT * FROM observacion ORDER BY id_observacion"_s);
    for (QStringList &fila : despues) {
        QCOMPARE(fila.mid(fila.size() - 4), QStringList(4, u"NULL"_s));
        fila.resize(fila.size() - 5);
    }
    QCOMPARE(despues, antes);
    // An accepted one whose values change is not yet verified again.
    QSqlQuery q(ModConex::DatabaseConnection());
    QVERIFY(q.exec(u"UPDATE observacion SET verificacion = 'aceptada', verificador = 'AAA' WHERE "
                   "id_observacion = 1"_s));
    QVERIFY(q.exec(u"UPDATE observacion SET numejemp = 3 WHERE id_observacion = 1"_s));
    QCOMPARE(Lineas(u"SELECT coalesce(verificacion, verificador, 'ninguna') FROM observacion WHERE "
                    "id_observacion = 1"_s),
             u"ninguna"_s);
    // The lookup rows already there keep their identifiers and texts; new ones are added.
    QStringList ids;
    for (const QStringList &fila : estadios)
        ids << fila.first();
    QCOMPARE(Filas(u"SELECT * FROM testadio WHERE id_estadio IN (%1) ORDER BY id_estadio"_s.arg(
                 ids.join(u','))),
             estadios);
    // Then synonyms, corrected names, new species, the names table and official province
    // names.
    QCOMPARE(Lineas(u"SELECT (SELECT estad_cast || '/' || clase FROM testadio WHERE id_estadio = "
                    "20), (SELECT count(*) FROM thabitat WHERE id_habitat IN (36, 37, 38)), "
                    "(SELECT sinonimo_de FROM especie WHERE cod_especie = 'BLAMAR'), (SELECT "
                    "n_cast FROM especie WHERE cod_especie = 'ALYALM'), (SELECT n_especie FROM "
                    "especie WHERE cod_especie = 'LACLEP'), (SELECT count(*) FROM especie WHERE "
                    "cod_especie IN ('RANPAR', 'BLAVAN', 'CHAPAR', 'LITCAT')), (SELECT "
                    "cod_especie FROM especie_nombre WHERE nombre = 'Rana perezi'), (SELECT "
                    "prov_ine FROM tprovincia WHERE id_prov = 11)"_s),
             u"Adulto neoténico/Anfibio|3|BLACIN|Sapo partero almogávar|Timon lepidus|4|PELPER|"
             "Cádiz"_s);

    // Opening it again changes nothing.
    ModConex::Desconectar();
    const QByteArray huella = Files::Read(ruta_);
    QVERIFY(ModConex::Conectar());
    ModConex::Desconectar();
    QCOMPARE(Files::Read(ruta_), huella);
}

void tst_SchemaUpgrade::sinActualizarDejaElArchivo() {
    // A table of that name but another shape makes a step fail half way; a file opened for
    // reading only is not upgraded. Either way the file is left as it was.
    for (const bool soloLectura : {false, true}) {
        init();
        CrearAntigua(ruta_, soloLectura
                                ? QStringList()
                                : QStringList{u"CREATE TABLE especie_nombre (cod_especie TEXT)"_s});
        const QByteArray huella = Files::Read(ruta_);
        ModConex::setSoloLectura(soloLectura);
        const auto conectado = ModConex::Conectar();
        QVERIFY(!conectado);
        QVERIFY2(conectado.motivo.contains(soloLectura ? u"versión anterior"_s
                                                       : u"No se ha podido actualizar el archivo "
                                                         "Tritodex.mdb"_s),
                 qPrintable(conectado.motivo));
        ModConex::Desconectar();
        QCOMPARE(Files::Read(ruta_), huella);
    }
}

// A file of version 1 (as the program left it before the published identifiers): every
// observation gets its own UUID, new ones get one on insert, the species their default flag;
// then the localities' uncertainty, unknown for those already there, and the revised older
// names of species.
void tst_SchemaUpgrade::version1RecibeUuidYSensibles() {
    const QString fuente = dir_->filePath(u"refdata"_s);
    QVERIFY(QDir().mkpath(fuente));
    for (const QString &t : {u"especie"_s, u"testadio"_s})
        QVERIFY(QFile::copy(QStringLiteral(TRITODEX_REFDATA_DIR) + u'/' + t + u".csv"_s,
                            fuente + u'/' + t + u".csv"_s));
    QString error;
    QVERIFY2(DatabaseCreation::CrearBaseDatos(ruta_, fuente, &error), qPrintable(error));
    QList<QStringList> antes;
    EnArchivo(ruta_, [&](QSqlDatabase db) {
        QSqlQuery q(db);
        for (const QString &s :
             {u"DROP TRIGGER observacion_uuid"_s, u"DROP INDEX observacion_uuid"_s,
              u"ALTER TABLE observacion DROP COLUMN uuid"_s,
              u"ALTER TABLE especie DROP COLUMN sensible"_s,
              u"ALTER TABLE localidad DROP COLUMN incertidumbre"_s, u"DROP TABLE conjunto_datos"_s,
              u"DROP TABLE foto"_s, u"DROP TABLE papelera"_s, u"DROP TABLE papelera_foto"_s,
              u"UPDATE especie SET sinonimo_de = NULL WHERE cod_especie = 'MACCUC'"_s,
              u"UPDATE especie SET sinonimo_de = 'MACCUC' WHERE cod_especie = 'MACABU'"_s,
              u"DELETE FROM especie WHERE cod_especie = 'BLARUF'"_s,
              u"INSERT INTO localidad (cod_localidad, utmx, utmy) VALUES ('L1', 1, 2)"_s,
              u"PRAGMA user_version = 1"_s,
              u"INSERT INTO observacion (observador1, fecha, especie) VALUES ('AAA', "
              "'2019-05-02', 'ALYMUL'), ('AAA', '2019-05-03', 'SALSAL'), ('BBB', "
              "'2020-01-01', 'TESGRA')"_s})
            QVERIFY2(q.exec(s), qPrintable(s + q.lastError().text()));
        antes = Filas(u"SELECT * FROM observacion ORDER BY id_observacion"_s, db);
    });

    const auto conectado = ModConex::Conectar();
    QVERIFY2(conectado, qPrintable(conectado.motivo));
    QCOMPARE(Lineas(u"PRAGMA user_version"_s), QString::number(SchemaUpgrade::kVersionActual));
    QCOMPARE(Lineas(u"SELECT cod_localidad, incertidumbre FROM localidad"_s), u"L1|NULL"_s);
    QCOMPARE(Lineas(u"SELECT count(*) FROM conjunto_datos"_s), u"0"_s);
    QCOMPARE(Lineas(u"SELECT cod_especie, sinonimo_de FROM especie WHERE cod_especie IN "
                    "('MACCUC', 'MACABU', 'BLARUF', 'MACBRE') ORDER BY cod_especie"_s),
             u"BLARUF|BLAVAN\nMACABU|MACBRE\nMACBRE|NULL\nMACCUC|MACBRE"_s);
    QList<QStringList> despues = Filas(u"SELECT * FROM observacion ORDER BY id_observacion"_s);
    QSet<QString> uuids;
    for (QStringList &fila : despues) {
        const QString uuid = fila.takeLast();
        QVERIFY2(!QUuid::fromString(uuid).isNull() && uuid.size() == 36, qPrintable(uuid));
        uuids << uuid;
    }
    QCOMPARE(despues, antes);
    QCOMPARE(uuids.size(), 3);
    QCOMPARE(Lineas(u"SELECT cod_especie, sensible FROM especie WHERE cod_especie IN ('ALYMUL', "
                    "'SALSAL', 'TESGRA', 'PODATR') ORDER BY cod_especie"_s),
             u"ALYMUL|1\nPODATR|0\nSALSAL|0\nTESGRA|1"_s);
    // An insert that names no UUID gets a new version-4 one; one that names it keeps it.
    QSqlQuery q(ModConex::DatabaseConnection());
    QVERIFY(q.exec(u"INSERT INTO observacion (especie) VALUES ('SALSAL')"_s));
    QVERIFY(q.exec(u"INSERT INTO observacion (especie, uuid) VALUES ('SALSAL', 'propio')"_s));
    const QString nuevo = Lineas(u"SELECT uuid FROM observacion WHERE id_observacion = 4"_s);
    QVERIFY2(QUuid::fromString(nuevo).version() == QUuid::Random && !uuids.contains(nuevo),
             qPrintable(nuevo));
    QCOMPARE(Lineas(u"SELECT uuid FROM observacion WHERE id_observacion = 5"_s), u"propio"_s);
    // A UUID is never shared.
    QVERIFY(!q.exec(u"UPDATE observacion SET uuid = 'propio' WHERE id_observacion = 4"_s));
    // The photographs' table as a new file has it, positions kept to the full double.
    QVERIFY(q.exec(u"INSERT INTO foto (observacion, sha256, latitud, longitud, orden) VALUES "
                   "(4, 'h', 40.123456789012, -3.987654321098, 1)"_s));
    QCOMPARE(Lineas(u"SELECT observacion, latitud, longitud FROM foto"_s),
             u"4|40.123456789012|-3.987654321098"_s);
    // The bin: a deleted observation waits there with its photo.
    QVERIFY(ObservationStore().Suprimir(4));
    QCOMPARE(Lineas(u"SELECT p.id_observacion, p.uuid = '%1', f.sha256 FROM papelera p JOIN "
                    "papelera_foto f ON f.observacion = p.id_observacion"_s.arg(nuevo)),
             u"4|1|h"_s);
}

QTEST_MAIN(tst_SchemaUpgrade)
#include "tst_SchemaUpgrade.moc"
