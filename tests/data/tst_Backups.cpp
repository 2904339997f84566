// Copies of the database: made while the program holds it open, kept by the rule, put back
// on demand; damaged files are refused or left untouched; newer files are only read.

#include "support/Files.h"
#include "support/FullDisk.h"
#include "support/TestDatabase.h"

#include "data/Backups.h"
#include "data/ModConex.h"
#include "data/SchemaUpgrade.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

class tst_Backups : public QObject {
    Q_OBJECT
private slots:
    void copiaConArchivoAbierto();
    void reglaDeConservacion();
    void automaticaYRestaurar();
    void archivoDanado();
    void versionPosterior();
    void fotos();

private:
    static void Observaciones(const TestDatabase &bd, int n) {
        QVERIFY(bd.db().transaction());
        for (int i = 0; i < n; ++i)
            QVERIFY(bd.Ejecutar(u"INSERT INTO observacion (observador1, fecha, especie, "
                                "descripcion) VALUES ('AAA', '2024-05-01', 'SALSAL', ?)"_s,
                                {u"nota %1 "_s.arg(i).repeated(20)}));
        QVERIFY(bd.db().commit());
    }
};

void tst_Backups::copiaConArchivoAbierto() {
    TestDatabase bd;
    Observaciones(bd, 50);
    // A read left open on the program's connection while the copy is made.
    QSqlQuery abierta(bd.db());
    QVERIFY(abierta.exec(u"SELECT id_observacion FROM observacion"_s) && abierta.next());
    QString error;
    const auto ruta = Backups::Hacer(&error, QDateTime(QDate(2026, 5, 1), QTime(10, 0)));
    QVERIFY2(ruta, qPrintable(error));
    abierta.finish();
    QCOMPARE(*ruta, QDir(bd.carpeta()).filePath(u"copias/Tritodex_2026-05-01_100000.mdb"_s));
    int n = 0;
    QVERIFY2(Backups::Comprobar(*ruta, &error, &n), qPrintable(error));
    QCOMPARE(n, 50);
    // A second copy in the same second takes the next free name; later changes stay out.
    QVERIFY(bd.Ejecutar(u"DELETE FROM observacion"_s));
    const auto otra = Backups::Hacer(&error, QDateTime(QDate(2026, 5, 1), QTime(10, 0)));
    QVERIFY(otra && otra->endsWith(u"Tritodex_2026-05-01_100001.mdb"_s));
    QVERIFY(Backups::Comprobar(*ruta, &error, &n) && n == 50);
    QVERIFY(Backups::Listar().size() == 2 && Backups::Listar().first().ruta == *otra);

    // A disk with room for one copy: the second, at start-up, says the disk is full, leaves
    // no part of itself and keeps the first. Then a read-only disk: the copy cannot be made,
    // and says so, although saving works.
    FullDisk disco(Backups::Carpeta(), int((QFileInfo(bd.ruta()).size() * 3 / 2 + 1023) / 1024));
    QVERIFY2(disco.ok(), qPrintable(disco.error()));
    const auto primera = Backups::Hacer(&error, QDateTime(QDate(2026, 5, 3), QTime(10, 0)));
    QVERIFY2(primera, qPrintable(error));
    QVERIFY(!Backups::Automatica(&error, QDateTime(QDate(2026, 5, 5), QTime(10, 0))));
    QVERIFY2(error.startsWith(u"El disco está lleno: no se ha podido escribir el archivo "_s),
             qPrintable(error));
    QCOMPARE(QDir(Backups::Carpeta()).entryList(QDir::Files), {QFileInfo(*primera).fileName()});
    QVERIFY(Backups::Comprobar(*primera, &error, &n) && disco.SoloLectura(true));
    for (const bool automatica : {false, true}) {
        const QDateTime despues(QDate(2026, 5, 9), QTime(10, 0));
        QVERIFY(automatica ? !Backups::Automatica(&error, despues)
                           : !Backups::Hacer(&error, despues));
        QCOMPARE(error, u"No se puede crear la copia en la carpeta %1: el disco es de solo "
                        "lectura."_s.arg(QDir::toNativeSeparators(Backups::Carpeta())));
    }
    QVERIFY(bd.Ejecutar(u"INSERT INTO observacion (especie) VALUES ('SALSAL')"_s));
}

void tst_Backups::reglaDeConservacion() {
    const QDateTime ahora(QDate(2026, 12, 6), QTime(12, 0));
    QList<QDateTime> fechas;
    // Every day from 20 November; the 1st and 15th of each month back to November 2025.
    for (QDate d(2026, 11, 20); d <= ahora.date(); d = d.addDays(1))
        fechas << QDateTime(d, QTime(9, 0));
    for (QDate m(2025, 11, 1); m < QDate(2026, 11, 1); m = m.addMonths(1))
        fechas << QDateTime(m, QTime(9, 0)) << QDateTime(m.addDays(14), QTime(9, 0));
    QList<QDate> borradas;
    for (const QDateTime &f : Backups::Sobrantes(fechas, ahora))
        borradas << f.date();
    std::sort(borradas.begin(), borradas.end());
    // Kept: the ten newest (27 November to 6 December) and the newest of each month since
    // January (the 15th; November's newest is among the ten).
    QList<QDate> esperadas = {{2025, 11, 1}, {2025, 11, 15}, {2025, 12, 1}, {2025, 12, 15}};
    for (int mes = 1; mes <= 10; ++mes)
        esperadas << QDate(2026, mes, 1);
    for (int dia = 20; dia <= 26; ++dia)
        esperadas << QDate(2026, 11, dia);
    QCOMPARE(borradas, esperadas);
    QVERIFY(Backups::Sobrantes(fechas.mid(0, 10), ahora).isEmpty());
}

void tst_Backups::automaticaYRestaurar() {
    TestDatabase bd;
    Observaciones(bd, 3);
    // Room for a restore in several steps.
    QVERIFY(bd.Ejecutar(u"CREATE TABLE relleno AS SELECT zeroblob(500000) AS b"_s));
    const QDateTime lunes(QDate(2026, 3, 2), QTime(8, 0));
    QString error;
    QVERIFY(Backups::Automatica(&error, lunes) && Backups::Listar().size() == 1);
    // Not again within a day; again the next.
    QVERIFY(Backups::Automatica(&error, lunes.addSecs(3600 * 20)) && Backups::Listar().size() == 1);
    QVERIFY(Backups::Automatica(&error, lunes.addDays(1)) && Backups::Listar().size() == 2);
    // Fifteen days of starts: the ten newest are kept, and the newest of February.
    const QDateTime febrero(QDate(2026, 2, 10), QTime(8, 0));
    QVERIFY(Backups::Hacer(&error, febrero));
    for (int dia = 2; dia <= 15; ++dia)
        QVERIFY(Backups::Automatica(&error, lunes.addDays(dia)));
    QVERIFY(Backups::Listar().size() == 11 && Backups::Listar().last().fecha == febrero);

    // A restore while another program has the file open: what it committed before is in the
    // kept copy, what it commits after is in the restored file; its row is never in no file.
    // (A deleted observation brought back, the replaced data kept as a copy: tst_frcopias.)
    const QString copia = Backups::Listar().first().ruta;
    int n = 0;
    sqlite3 *otro = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(bd.ruta()).constData(), &otro), SQLITE_OK);
    const auto insertar = [otro](const QByteArray &descripcion) {
        const QByteArray sql =
            "INSERT INTO observacion (especie, descripcion) VALUES ('SALSAL', '" + descripcion +
            "')";
        return sqlite3_exec(otro, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    };
    QVERIFY(insertar("antes"));
    QVERIFY2(Backups::Restaurar(copia, &error), qPrintable(error));
    QVERIFY(insertar("después"));
    sqlite3_close(otro);
    QCOMPARE(bd.Lineas(u"SELECT descripcion FROM observacion WHERE descripcion NOT LIKE 'nota%'"_s),
             u"después"_s);
    QCOMPARE(bd.Contar(u"observacion"_s), 4);
    QVERIFY(Backups::Comprobar(Backups::Listar().first().ruta, &error, &n) && n == 4);
}

void tst_Backups::archivoDanado() {
    TestDatabase bd;
    Observaciones(bd, 400);
    QString error;
    const auto buena = Backups::Hacer(&error);
    QVERIFY2(buena, qPrintable(error));
    ModConex::Desconectar();
    // Pages in the middle of the observations' table overwritten, the header left whole.
    QFile f(bd.ruta());
    QVERIFY(f.open(QIODevice::ReadWrite));
    const qint64 pagina = 4096, paginas = f.size() / pagina;
    for (qint64 p = paginas / 2; p < paginas / 2 + 4; ++p)
        QVERIFY(f.seek(p * pagina + 8) && f.write(QByteArray(600, '\xff')) == 600);
    f.close();
    const QByteArray huella = Files::Read(bd.ruta());
    const auto danado = ModConex::Conectar();
    QVERIFY(!danado && danado.danado);
    QVERIFY2(danado.motivo.contains(u"dañado"_s), qPrintable(danado.motivo));
    QCOMPARE(Files::Read(bd.ruta()), huella);
    QVERIFY(!Backups::Comprobar(bd.ruta(), &error));

    // Put back over the damaged file, and over one whose header is gone too (SQLite cannot
    // open that one at all): each time the data come back and the bad file is kept whole.
    for (const bool cabecera : {false, true}) {
        if (cabecera) {
            ModConex::Desconectar();
            QVERIFY(f.open(QIODevice::ReadWrite) && f.write(QByteArray(100, 'x')) == 100);
            f.close();
            QVERIFY(!ModConex::Conectar());
        }
        const QByteArray mala = Files::Read(bd.ruta());
        QVERIFY2(Backups::Restaurar(*buena, &error), qPrintable(error));
        QCOMPARE(bd.Contar(u"observacion"_s), 400);
        QCOMPARE(Files::Read(Backups::Listar().first().ruta), mala);
    }
    QCOMPARE(Backups::Listar().size(), 3);
}

void tst_Backups::versionPosterior() {
    // A file of a newer program is opened for reading only, and left untouched.
    TestDatabase bd;
    QVERIFY(bd.Ejecutar(u"PRAGMA user_version = %1"_s.arg(SchemaUpgrade::kVersionActual + 1)));
    ModConex::Desconectar();
    const QByteArray huella = Files::Read(bd.ruta());
    const auto reciente = ModConex::Conectar();
    QVERIFY(reciente);
    QVERIFY2(reciente.aviso.contains(u"versión más reciente"_s), qPrintable(reciente.aviso));
    QSqlQuery q(ModConex::DatabaseConnection());
    QVERIFY(!q.exec(u"INSERT INTO observacion (especie) VALUES ('SALSAL')"_s) &&
            DescribirError(q.lastError()).contains(u"versión más reciente"_s));
    QVERIFY(q.exec(u"SELECT count(*) FROM especie"_s) && q.next() && q.value(0).toInt() > 0);
    q.finish();
    ModConex::Desconectar();
    QCOMPARE(Files::Read(bd.ruta()), huella);
}

// Each copy holds the pictures its data refer to, in one store for all copies where each is
// added once (a hard link, no room taken); a restore brings back those its data refer to.
void tst_Backups::fotos() {
    TestDatabase bd;
    const QString fotos = Backups::CarpetaFotosActual();
    QVERIFY(QDir().mkpath(fotos));
    const auto hash = [](char c) { return QString(64, QChar::fromLatin1(c)); };
    // The picture in the folder, and a photo of the observation showing it.
    const auto foto = [&](char c, int observacion, const QString &tabla = u"foto"_s) {
        QVERIFY(Files::Write(fotos + u'/' + hash(c), QByteArray(100, c)));
        QVERIFY(bd.Ejecutar(
            u"INSERT INTO %1 (observacion, sha256, orden) VALUES (?, ?, 1)"_s.arg(tabla),
            {observacion, hash(c)}));
    };
    foto('a', 1);
    foto('b', 1);
    foto('c', 2); // the same picture twice, kept once
    foto('c', 3);
    QVERIFY(QFile::remove(fotos + u'/' + hash('c'))); // referred to, but lost
    // A deleted observation's photo, waiting in the bin: its picture is kept too.
    foto('e', 5, u"papelera_foto"_s);
    QString error;
    Backups::Fotos hechas;
    const auto primera =
        Backups::Hacer(&error, QDateTime(QDate(2026, 3, 2), QTime(8, 0)), {}, &hechas);
    QVERIFY2(primera, qPrintable(error));
    QCOMPARE(QString::number(hechas.nuevas) + u' ' + hechas.faltan.join(u','), u"3 "_s + hash('c'));
    struct stat datos {};
    QCOMPARE(
        ::stat(QFile::encodeName(Backups::CarpetaFotos() + u'/' + hash('a')).constData(), &datos),
        0);
    QCOMPARE(datos.st_nlink, nlink_t(2));
    QCOMPARE(Backups::FotosQueFaltan(*primera, Backups::CarpetaFotos()), QStringList{hash('c')});

    // The next day's copy adds only the new picture.
    foto('d', 4);
    QVERIFY(Backups::Hacer(&error, QDateTime(QDate(2026, 3, 3), QTime(8, 0)), {}, &hechas));
    QCOMPARE(hechas.nuevas, 1);
    QCOMPARE(QDir(Backups::CarpetaFotos()).entryList(QDir::Files).size(), 4);

    // Pictures lost from the folder come back with a restore of the copy that refers to them.
    QVERIFY(QFile::remove(fotos + u'/' + hash('a')) && QFile::remove(fotos + u'/' + hash('d')));
    QCOMPARE(Backups::FotosQueFaltan(bd.ruta(), fotos),
             (QStringList{hash('a'), hash('c'), hash('d')}));
    QVERIFY2(Backups::Restaurar(*primera, &error, {}, &hechas), qPrintable(error));
    QCOMPARE(QString::number(hechas.nuevas) + u' ' + hechas.faltan.join(u','), u"1 "_s + hash('c'));
    QCOMPARE(Files::Read(fotos + u'/' + hash('a')), QByteArray(100, 'a'));
    QCOMPARE(Backups::FotosQueFaltan(bd.ruta(), fotos), QStringList{hash('c')});

    // Once the copies that refer to a picture are gone, it leaves the store too.
    for (const Backups::Copia &c : Backups::Listar())
        if (c.ruta != *primera) QVERIFY(QFile::remove(c.ruta));
    QCOMPARE(Backups::PodarFotos(), 1);
    QCOMPARE(QDir(Backups::CarpetaFotos()).entryList(QDir::Files),
             (QStringList{hash('a'), hash('b'), hash('e')}));
    QCOMPARE(Files::Read(fotos + u'/' + hash('d')), QByteArray()); // lost from both
}

QTEST_MAIN(tst_Backups)
#include "tst_Backups.moc"
