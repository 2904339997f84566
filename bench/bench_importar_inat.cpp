// Importing a large iNaturalist export through the form, as a user would: the file opened,
// the preview shown, every row stored. Prints the times and the peak memory of the process
// against the file's size.
//   build/bench/bench_importar_inat [rows]   (306224 rows make about 50 MB)
#include "support/TestDatabase.h"

#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "import/frimportar.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTableView>
#include <cstdio>
#include <sys/resource.h>

namespace {

long PicoMiB() {
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return uso.ru_maxrss / 1024;
}

// Rows of an export over the Peninsula: the platform's columns, names of every kind, a
// description now and then.
bool Escribir(const QString &ruta, int filas) {
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const char *especies[][2] = {{"Epidalea calamita", "Natterjack Toad"},
                                 {"Pelophylax perezi", "Perez's Frog"},
                                 {"Timon lepidus", "Ocellated Lizard"},
                                 {"Natrix maura", "Viperine Water Snake"},
                                 {"Podarcis hispanicus", "Iberian Wall Lizard"},
                                 {"Salamandra salamandra", "Fire Salamander"}};
    f.write("id,observed_on,time_observed_at,user_login,url,latitude,longitude,"
            "positional_accuracy,place_guess,scientific_name,common_name,description\n");
    quint32 semilla = 12345;
    auto azar = [&semilla] {
        semilla = semilla * 1664525u + 1013904223u;
        return double(semilla >> 8) / double(1u << 24);
    };
    QByteArray bloque;
    for (int i = 0; i < filas; ++i) {
        const double lat = 37.0 + azar() * 5.5, lon = -8.5 + azar() * 11.0;
        const QDate dia = QDate(2015, 1, 1).addDays(int(azar() * 3600));
        const auto &e = especies[i % 6];
        bloque += QByteArray::number(100000000 + i) + ',' + dia.toString(Qt::ISODate).toLatin1() +
                  ',' + dia.toString(Qt::ISODate).toLatin1() +
                  " 08:" + QByteArray::number(10 + i % 50) + ":00 UTC,user" +
                  QByteArray::number(i % 977) + ",https://www.inaturalist.org/observations/" +
                  QByteArray::number(100000000 + i) + ',' + QByteArray::number(lat, 'f', 6) + ',' +
                  QByteArray::number(lon, 'f', 6) + ',' + QByteArray::number(5 + i % 40) +
                  ",\"Lugar " + QByteArray::number(i % 5000) + ", España\"," + e[0] + ',' + e[1] +
                  ',' + (i % 7 == 0 ? "en una charca" : "") + '\n';
        if (bloque.size() > (1 << 20)) {
            if (f.write(bloque) != bloque.size()) return false;
            bloque.clear();
        }
    }
    return f.write(bloque) == bloque.size();
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Message boxes answered from the queue, as in the tests: none waits for a click.
    MessageService::setModoPrueba(true);
    // A number of rows to generate, or an export to import.
    const QString argumento = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    bool numero = false;
    const int n = argumento.isEmpty() ? 306224 : argumento.toInt(&numero);
    TestDatabase bd(TestDatabase::Datos::Reales);
    if (!bd.ok()) return 1;
    bd.Ejecutar(QStringLiteral("INSERT INTO observador (cod_observador) VALUES ('ANA')"));
    const QString ruta = numero || argumento.isEmpty() ? bd.carpeta() + QStringLiteral("/inat.csv")
                                                       : QFileInfo(argumento).absoluteFilePath();
    if ((numero || argumento.isEmpty()) && !Escribir(ruta, n)) return 1;
    const double mb = QFileInfo(ruta).size() / 1048576.0;
    const long base = PicoMiB();

    frimportar f;
    f.show();
    ChoiceService::Prueba().archivoAbrir = [ruta](const QString &) { return ruta; };
    QElapsedTimer t;
    t.start();
    f.findChild<QPushButton *>(QStringLiteral("CdAbrir"))->click();
    const qint64 previa = t.restart();
    const long picoPrevia = PicoMiB();
    const int enVista = f.findChild<QTableView *>(QStringLiteral("DBimport"))->model()->rowCount();
    f.findChild<QPushButton *>(QStringLiteral("CdImportar"))->click();
    const qint64 guardar = t.elapsed();
    const long pico = PicoMiB();
    std::printf("file %.1f MiB, %d rows (%d in the preview), %d stored\n", mb, n, enVista,
                bd.Contar(QStringLiteral("observacion")));
    std::printf("%s\n", qPrintable(MessageService::Ultimo().texto.left(200)));
    std::printf("preview %.1f s, store %.1f s\n", previa / 1e3, guardar / 1e3);
    std::printf("peak memory: %ld MiB before, %ld MiB after the preview, %ld MiB after storing\n",
                base, picoPrevia, pico);
    std::printf("memory of the import (peak - before) / file: %.2f\n", (pico - base) / mb);
    return 0;
}
