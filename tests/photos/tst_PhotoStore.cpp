// Photographs taken in (reduced, upright, with their Exif) and kept once by their content,
// beside the database file or on the server.

#include "support/FullDisk.h"
#include "support/TestDatabase.h"

#include "observations/ObservationStore.h"
#include "photos/FotosPrueba.h"
#include "photos/PhotoStore.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

using namespace Qt::StringLiterals;
using FotosPrueba::Exif;

class tst_PhotoStore : public QObject {
    Q_OBJECT
private slots:
    void preparar_data();
    void preparar();
    void guardarUnaVezYQuitar();
};

void tst_PhotoStore::preparar_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("originales");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QSize>("tamano");    // of the stored picture
    QTest::addColumn<bool>("rojoArriba"); // else red on the left, as drawn
    const Exif gps{u"2024:05:03 10:15:30"_s, u"+02:00"_s, 40.5, -3.25, 8.0};
    QTest::newRow("grande: lado largo 2048")
        << FotosPrueba::Foto(gps, 3000, 1000) << false << QString() << QSize(2048, 682) << false;
    QTest::newRow("orientación 6: enderezada")
        << FotosPrueba::Foto({u"2024:05:03 10:15:30"_s, {}, {}, {}, {}, 6}, 64, 48) << false
        << QString() << QSize(48, 64) << true;
    QTest::newRow("original tal cual")
        << FotosPrueba::Foto(gps, 3000, 1000) << true << QString() << QSize(3000, 1000) << false;
    QImage transparente(20, 10, QImage::Format_ARGB32);
    transparente.fill(Qt::transparent);
    QTest::newRow("PNG con transparencia") << FotosPrueba::Codificar(transparente, "png") << false
                                           << QString() << QSize(20, 10) << false;
    QTest::newRow("HEIC") << QByteArray("\0\0\0\x18"
                                        "ftypheic\0\0\0\0mif1heic",
                                        24)
                          << false << u"La foto f.jpg es HEIC"_s << QSize() << false;
    QTest::newRow("JPEG roto") << QByteArray("\xFF\xD8\xFF\xE0 nada más") << false
                               << u"La foto f.jpg está dañada"_s << QSize() << false;
    QTest::newRow("Exif dañado") << FotosPrueba::Danada(FotosPrueba::Foto(gps)) << false
                                 << u"La foto f.jpg está dañada"_s << QSize() << false;
}

void tst_PhotoStore::preparar() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, originales);
    QFETCH(QString, error);
    QString motivo;
    PhotoStore::Opciones opciones;
    opciones.originales = originales;
    opciones.autor = u"Ana Pérez"_s;
    const auto foto = PhotoStore::Preparar(bytes, u"f.jpg"_s, opciones, &motivo);
    QCOMPARE(foto.has_value(), error.isEmpty());
    if (!foto) {
        QVERIFY2(motivo.startsWith(error), qPrintable(motivo));
        return;
    }
    QFETCH(QSize, tamano);
    QFETCH(bool, rojoArriba);
    const QImage guardada = QImage::fromData(foto->bytes);
    QCOMPARE(guardada.size(), tamano);
    const QColor esquina = guardada.pixelColor(2, 2),
                 opuesta = guardada.pixelColor(rojoArriba ? 2 : guardada.width() - 3,
                                               rojoArriba ? guardada.height() - 3 : 2);
    if (bytes.startsWith("\xFF\xD8")) {
        QVERIFY2(esquina.red() > 200 && esquina.blue() < 60, qPrintable(esquina.name()));
        QVERIFY2(opuesta.blue() > 200 && opuesta.red() < 60, qPrintable(opuesta.name()));
    } else {
        QCOMPARE(esquina, QColor(Qt::white)); // transparency shows white
    }
    QCOMPARE(
        QVariantList({int(foto->sha256.size()), foto->bytes == bytes, foto->autor, foto->licencia}),
        QVariantList({64, originales, u"Ana Pérez"_s, u"CC BY 4.0"_s}));
    // The stored copy keeps the Exif, upright.
    const auto datos = ExifReader::Leer(foto->bytes, u"f.jpg"_s, &motivo);
    QVERIFY2(datos, qPrintable(motivo));
    QCOMPARE(datos->FechaIso(), foto->fecha);
    QCOMPARE(datos->latitud, foto->latitud);
    QCOMPARE(datos->orientacion, originales ? datos->orientacion : 1);
    // The same picture gives the same copy, so that it is kept once.
    QCOMPARE(PhotoStore::Preparar(bytes, u"otra.jpg"_s, opciones, &motivo)->sha256, foto->sha256);
}

void tst_PhotoStore::guardarUnaVezYQuitar() {
    TestDatabase bd;
    QString error;
    PhotoStore::Opciones opciones;
    const auto a = PhotoStore::Preparar(
        FotosPrueba::Foto({u"2024:05:03 10:15:30"_s, u"+02:00"_s, 40.5, -3.25, 8.0}), u"a.jpg"_s,
        opciones, &error);
    const auto b = PhotoStore::Preparar(FotosPrueba::Foto({u"2024:05:04 11:00:00"_s}), u"b.jpg"_s,
                                        opciones, &error);
    QVERIFY2(a && b, qPrintable(error));
    const Observacion o{
        .observador = {u"JPG1980"_s}, .fecha = QDate(2024, 5, 3), .especie = u"BUFSPI"_s};
    ObservationStore observaciones;
    PhotoStore fotos;
    const QString carpeta = fotos.Carpeta();
    QCOMPARE(carpeta.isEmpty(), bd.enServidor());
    const auto guardados = [&] {
        return bd.enServidor() ? bd.Contar(u"foto_datos"_s)
                               : int(QDir(carpeta).entryList(QDir::Files).size());
    };

    // Where the pictures cannot be kept, nothing is stored: neither the observation nor a row.
    if (!bd.enServidor()) {
        QFile estorbo(carpeta);
        QVERIFY(estorbo.open(QIODevice::WriteOnly));
        estorbo.close();
        const QList<Foto> lista{*a};
        QVERIFY(!observaciones.Guardar(o, std::nullopt, std::nullopt, &lista));
        QVERIFY2(observaciones.error().contains(u"No se puede crear la carpeta de las fotos"_s),
                 qPrintable(observaciones.error()));
        QCOMPARE(bd.Contar(u"observacion"_s) + bd.Contar(u"foto"_s), 0);
        QVERIFY(QFile::remove(carpeta));
        observaciones.Limpiar();
        // A full disk under the folder is said as such, and leaves nothing either.
        {
            FullDisk disco(carpeta);
            QVERIFY2(disco.ok() && disco.Llenar(), qPrintable(disco.error()));
            QVERIFY(!observaciones.Guardar(o, std::nullopt, std::nullopt, &lista));
            QVERIFY2(observaciones.error().startsWith(u"El disco está lleno"_s),
                     qPrintable(observaciones.error()));
            QCOMPARE(bd.Contar(u"observacion"_s) + bd.Contar(u"foto"_s), 0);
            disco.Vaciar();
            QCOMPARE(QDir(carpeta).entryList(QDir::Files), QStringList());
        }
        observaciones.Limpiar();
    }
    // A row refused after the pictures were written: neither the rows nor the new files stay.
    QVERIFY(bd.Rechazar(u"foto"_s, u"foto rechazada"_s, u"NEW.orden = 2"_s));
    QList<Foto> lista{*a, *b};
    QVERIFY(!observaciones.Guardar(o, std::nullopt, std::nullopt, &lista));
    QCOMPARE(bd.Contar(u"observacion"_s) + bd.Contar(u"foto"_s) + guardados(), 0);
    QVERIFY(bd.Permitir(u"foto"_s));
    observaciones.Limpiar();

    // Two observations showing the same picture: it is kept once.
    const auto id1 = observaciones.Guardar(o, std::nullopt, std::nullopt, &lista);
    lista = {*a};
    const auto id2 = observaciones.Guardar(o, std::nullopt, std::nullopt, &lista);
    QVERIFY2(id1 && id2, qPrintable(observaciones.error()));
    QCOMPARE(QList<int>({guardados(), bd.Contar(u"foto"_s)}), QList<int>({2, 3}));
    const QList<Foto> leidas = fotos.DeObservacion(*id1);
    QCOMPARE(leidas.size(), 2);
    QCOMPARE(QStringList({leidas[0].sha256, leidas[0].nombre, leidas[0].fecha, leidas[1].sha256,
                          leidas[1].licencia}),
             QStringList({a->sha256, u"a.jpg"_s, u"2024-05-03T10:15:30+02:00"_s, b->sha256,
                          u"CC BY 4.0"_s}));
    QCOMPARE(leidas[0].Tomada(), QDateTime(QDate(2024, 5, 3), QTime(10, 15, 30)));
    QVERIFY(std::abs(*leidas[0].latitud - 40.5) < 1e-9 &&
            std::abs(*leidas[0].longitud + 3.25) < 1e-9);
    QCOMPARE(*leidas[0].incertidumbre, 8.0);
    QVERIFY(!leidas[1].TienePosicion() && !leidas[1].incertidumbre);
    QCOMPARE(fotos.Bytes(a->sha256), std::optional(a->bytes));

    // A change of the observation that removes one keeps the other, and the picture.
    lista = {leidas[1]};
    QVERIFY2(observaciones.Actualizar(*id1, o, QString(), &lista),
             qPrintable(observaciones.error()));
    QCOMPARE(fotos.DeObservacion(*id1).size(), 1);
    QCOMPARE(fotos.DeObservacion(*id1)[0].sha256, b->sha256);
    QVERIFY(observaciones.Suprimir(*id2));
    QCOMPARE(QList<int>({guardados(), bd.Contar(u"foto"_s)}), QList<int>({2, 1}));
    // The deleted observation's photo waits in the bin: its picture is still referred to.
    QCOMPARE(fotos.Referidas(),
             QStringList({std::min(a->sha256, b->sha256), std::max(a->sha256, b->sha256)}));
    QVERIFY(fotos.Faltan().isEmpty());
    if (!bd.enServidor()) {
        // A file gone from the folder is listed, and reading it says so.
        QVERIFY(QFile::remove(carpeta + u'/' + b->sha256));
        QCOMPARE(fotos.Faltan(), QStringList{b->sha256});
        QVERIFY(!fotos.Bytes(b->sha256));
        QVERIFY2(fotos.error().startsWith(u"No se puede leer la foto"_s),
                 qPrintable(fotos.error()));
    }
}

QTEST_GUILESS_MAIN(tst_PhotoStore)
#include "tst_PhotoStore.moc"
