// Photographs: attaching 100 photos of 4000x3000 px to an observation (Exif read, reduced
// copy, hash, stored) and opening an observation with 20 photos (rows read, thumbnails
// shown), each as a ratio against decoding the same files with Qt alone, in the same run.
//   build/bench/bench_fotos [photos]
#include "support/TestDatabase.h"

#include "observations/ObservationStore.h"
#include "photos/FotosPrueba.h"
#include "photos/PhotoStore.h"
#include "photos/PhotoStrip.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <cstdio>

namespace {
qint64 Decodificar(const QStringList &rutas) {
    QElapsedTimer t;
    t.start();
    for (const QString &r : rutas)
        if (QImageReader(r).read().isNull()) std::fprintf(stderr, "no se lee %s\n", qPrintable(r));
    return t.elapsed();
}
} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 100;
    TestDatabase bd(TestDatabase::Datos::Fixture);
    if (!bd.ok()) return 1;
    const QString carpeta = bd.carpeta() + QStringLiteral("/camara");
    QDir().mkpath(carpeta);
    std::printf("escribiendo %d fotos de 4000x3000...\n", n);
    std::fflush(stdout);
    QStringList rutas;
    for (int i = 0; i < n; ++i) {
        // Each picture its own, as a camera's are: the hashes differ.
        QImage imagen = FotosPrueba::Dibujo(4000, 3000);
        imagen.setPixelColor(i % 4000, i / 4000, Qt::green);
        const QString ruta =
            carpeta + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        QFile f(ruta);
        if (!f.open(QIODevice::WriteOnly)) return 1;
        f.write(FotosPrueba::ConExif(FotosPrueba::Codificar(imagen),
                                     {QStringLiteral("2024:05:03 10:15:00"),
                                      QStringLiteral("+02:00"), 40.4 + i * 1e-4, -3.7, 5.0, 6}));
        rutas << ruta;
    }

    const qint64 qtTodas = Decodificar(rutas);
    QElapsedTimer t;
    t.start();
    QList<Foto> fotos;
    for (const QString &r : rutas) {
        QString error;
        const auto f = PhotoStore::Preparar(r, {}, &error);
        if (!f) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        fotos << *f;
        fotos.last().bytes.squeeze();
    }
    Observacion o;
    o.fecha = QDate(2024, 5, 3);
    o.especie = QStringLiteral("SALSAL");
    ObservationStore observaciones;
    const auto id = observaciones.Guardar(o, std::nullopt, std::nullopt, &fotos);
    const qint64 anadir = t.elapsed();
    if (!id) return 1;
    std::printf("añadir %d fotos: %lld ms; decodificarlas con Qt: %lld ms; razón %.2f\n", n, anadir,
                qtTodas, double(anadir) / double(std::max<qint64>(qtTodas, 1)));

    // An observation with 20 of them, opened as frmodif shows it.
    const QList<Foto> veinte = fotos.mid(0, std::min(20, n));
    const auto otra = observaciones.Guardar(o, std::nullopt, std::nullopt, &veinte);
    if (!otra) return 1;
    QStringList guardadas;
    for (const Foto &f : veinte)
        guardadas << PhotoStore().Carpeta() + u'/' + f.sha256;
    const qint64 qtVeinte = Decodificar(guardadas);
    PhotoStrip tira;
    t.restart();
    tira.Mostrar(PhotoStore().DeObservacion(*otra));
    const qint64 abrir = t.elapsed();
    std::printf("abrir una observación con %lld fotos: %lld ms; decodificar sus copias con Qt: "
                "%lld ms; razón %.2f\n",
                qsizetype(veinte.size()), abrir, qtVeinte,
                double(abrir) / double(std::max<qint64>(qtVeinte, 1)));
    return 0;
}
