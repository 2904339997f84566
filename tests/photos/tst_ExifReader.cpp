// Photographs with known Exif, written by the test, read back.

#include "photos/ExifReader.h"
#include "photos/FotosPrueba.h"
#include "support/Files.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using FotosPrueba::Exif;

using Opcion = std::optional<double>;
Q_DECLARE_METATYPE(Opcion)

class tst_ExifReader : public QObject {
    Q_OBJECT
private slots:
    void lee_data();
    void lee();
    void archivoYPosicionQuitada();
};

void tst_ExifReader::lee_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error"); // the start of the refusal; empty when read
    QTest::addColumn<QString>("fecha");
    QTest::addColumn<Opcion>("latitud");
    QTest::addColumn<Opcion>("longitud");
    QTest::addColumn<Opcion>("precision");
    QTest::addColumn<int>("orientacion");
    const Opcion no;
    QTest::newRow("fecha sin desfase, norte y oeste")
        << FotosPrueba::Foto({u"2024:05:03 10:15:30"_s, {}, 40.416775, -3.703790, 4.5}) << QString()
        << u"2024-05-03T10:15:30"_s << Opcion(40.416775) << Opcion(-3.703790) << Opcion(4.5) << 1;
    QTest::newRow("fecha con desfase, sur y este")
        << FotosPrueba::Foto({u"2023:12:31 23:59:59"_s, u"+02:00"_s, -33.868820, 151.209296})
        << QString() << u"2023-12-31T23:59:59+02:00"_s << Opcion(-33.868820) << Opcion(151.209296)
        << no << 1;
    QTest::newRow("desfase negativo, orientación 6")
        << FotosPrueba::Foto({u"2022:01:02 03:04:05"_s, u"-05:30"_s, {}, {}, {}, 6}) << QString()
        << u"2022-01-02T03:04:05-05:30"_s << no << no << no << 6;
    QTest::newRow("segundos redondeados a 60")
        << FotosPrueba::Foto({u"2024:05:03 10:15:30"_s, {}, 40.8, -3.9}) << QString()
        << u"2024-05-03T10:15:30"_s << Opcion(40.8) << Opcion(-3.9) << no << 1;
    QTest::newRow("fecha desconocida de la cámara")
        << FotosPrueba::Foto({u"    :  :     :  :  "_s, {}, {}, {}, {}, 0, u"Cámara"_s})
        << QString() << QString() << no << no << no << 1;
    QTest::newRow("sin Exif") << FotosPrueba::Codificar(FotosPrueba::Dibujo(8, 8)) << QString()
                              << QString() << no << no << no << 1;
    QTest::newRow("PNG con Exif") << FotosPrueba::Foto({u"2021:06:07 08:09:10"_s, {}, 43.2, -8.4},
                                                       16, 16, "png")
                                  << QString() << u"2021-06-07T08:09:10"_s << Opcion(43.2)
                                  << Opcion(-8.4) << no << 1;
    // Refused: only the start of the reason counts.
    const auto rechazo = [&](const char *nombre, const QByteArray &bytes, const QString &error) {
        QTest::newRow(nombre) << bytes << error << QString() << no << no << no << 1;
    };
    const QString danado = u"La foto f.jpg está dañada"_s;
    rechazo("bloque Exif dañado",
            FotosPrueba::Danada(FotosPrueba::Foto({u"2024:05:03 10:15:30"_s})), danado);
    rechazo("fecha ilegible", FotosPrueba::Foto({u"ayer por la tarde"_s}), danado);
    rechazo("desfase ilegible", FotosPrueba::Foto({u"2024:05:03 10:15:30"_s, u"CEST"_s}), danado);
    rechazo("orientación imposible", FotosPrueba::Foto({{}, {}, {}, {}, {}, 9}), danado);
    rechazo("latitud más allá del polo", FotosPrueba::Foto({{}, {}, 91.0, 3.0}), danado);
    rechazo("texto", QByteArray("observación del 3 de mayo\n"),
            u"El archivo f.jpg no es una foto"_s);
    rechazo("vacío", QByteArray(), u"El archivo f.jpg no es una foto"_s);
}

void tst_ExifReader::lee() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    QString motivo;
    const auto d = ExifReader::Leer(bytes, u"f.jpg"_s, &motivo);
    QCOMPARE(d.has_value(), error.isEmpty());
    if (!d) {
        QVERIFY2(motivo.startsWith(error), qPrintable(motivo));
        return;
    }
    QFETCH(QString, fecha);
    QFETCH(Opcion, latitud);
    QFETCH(Opcion, longitud);
    QFETCH(Opcion, precision);
    QFETCH(int, orientacion);
    QCOMPARE(d->FechaIso(), fecha);
    for (const auto &[leido, esperado] :
         {std::pair{d->latitud, latitud}, {d->longitud, longitud}, {d->precision, precision}}) {
        QCOMPARE(leido.has_value(), esperado.has_value());
        // Seconds are written to the ten-thousandth: 3e-8 degrees.
        if (leido)
            QVERIFY2(std::abs(*leido - *esperado) < 1e-7,
                     qPrintable(QString::number(*leido, 'f', 9)));
    }
    QCOMPARE(d->orientacion, orientacion);
}

void tst_ExifReader::archivoYPosicionQuitada() {
    QTemporaryDir dir;
    const QString ruta = dir.filePath(u"IMG_0001.JPG"_s);
    const QByteArray foto = FotosPrueba::Foto({u"2024:05:03 10:15:30"_s, {}, 40.5, -3.5, 10.0});
    QVERIFY(Files::Write(ruta, foto));
    QByteArray bytes;
    QString error;
    auto d = ExifReader::LeerArchivo(ruta, &bytes, &error);
    QVERIFY2(d && d->TienePosicion(), qPrintable(error));
    QCOMPARE(bytes, foto);
    // Without its position the rest stays.
    QVERIFY2(ExifReader::QuitarPosicion(&bytes, &error), qPrintable(error));
    d = ExifReader::Leer(bytes, u"x"_s, &error);
    QVERIFY(d && !d->TienePosicion() && !d->precision);
    QCOMPARE(d->FechaIso(), u"2024-05-03T10:15:30"_s);
    QVERIFY(!bytes.contains("GPS"));
    // A missing file is named.
    QVERIFY(!ExifReader::LeerArchivo(dir.filePath(u"no.jpg"_s), &bytes, &error));
    QVERIFY2(error.startsWith(u"No se puede leer el archivo no.jpg"_s), qPrintable(error));
}

QTEST_GUILESS_MAIN(tst_ExifReader)
#include "tst_ExifReader.moc"
