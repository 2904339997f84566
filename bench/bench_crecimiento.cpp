// How the map, the phenology chart and the query's count grow from a tenth of the observations
// and localities to all of them, timed in one process: both files are built first, then every path
// is timed on each in turn, so that a slow spell of the machine falls on both sizes alike. After
// each switch of file one untimed call fills SQLite's page cache, as a second look at the form
// finds it. Beside each path, how the bare reading of the rows it counts grows on the same
// files.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_crecimiento [observations] [localities]
#include "Mediana.h"
#include "PoblarMapa.h"
#include "Tabla.h"
#include "support/TestDatabase.h"

#include "atlas/AtlasStore.h"
#include "atlas/PhenologyStore.h"
#include "data/ModConex.h"
#include "data/SqliteText.h"
#include "gui/MessageService.h"
#include "observations/ObservationStore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

constexpr int kVeces = 5;
constexpr int kSeguidas = 20;

// The file as the program would have it after a VACUUM, in a folder of its own.
bool Copiar(const TestDatabase &bd, const QTemporaryDir &carpeta) {
    QSqlQuery q(bd.db());
    return q.exec(QStringLiteral("VACUUM INTO '%1'")
                      .arg(QDir(carpeta.path()).filePath(QStringLiteral("Tritodex.mdb"))));
}

// The shared connection opened on the file in the folder, as the program opens it.
bool Usar(const QTemporaryDir &carpeta) {
    ModConex::Desconectar();
    ModConex::setCarpetaDatos(carpeta.path());
    return bool(ModConex::Conectar());
}

qint64 Medir(const std::function<void()> &hacer) {
    QElapsedTimer t;
    t.start();
    hacer();
    return t.nsecsElapsed();
}

// Every row of the statement read bare, each value's text taken from SQLite.
void Leer(const QString &sql, const QString &especie) {
    QSqlQuery q(ModConex::DatabaseConnection());
    q.setForwardOnly(true);
    q.prepare(sql + (especie.isEmpty() ? QString() : QStringLiteral(" WHERE especie = ?")));
    if (!especie.isEmpty()) q.addBindValue(especie);
    q.exec();
    QString error;
    SqliteText::LeerFilas(
        q, [](int, const SqliteText::Celda &) {}, [] { return true; }, &error);
}

struct Camino {
    const char *nombre;
    std::function<void()> programa, suelo;
    // Microseconds for what takes less than a millisecond: each timing is then of kSeguidas
    // calls in a row, so that one interruption of the machine does not make the measure.
    bool micro = false;
};

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const int observaciones = argc > 1 ? atoi(argv[1]) : 1000000;
    const int localidades = argc > 2 ? atoi(argv[2]) : 200000;
    MessageService::setModoPrueba(true);
    QTemporaryDir pequena, grande;
    MapGrid grid;
    {
        std::optional<TestDatabase> bd;
        for (const auto &[carpeta, parte] : {std::pair{&pequena, 10}, {&grande, 1}}) {
            bd.emplace(TestDatabase::Datos::Reales);
            if (!bd->ok() || !grid.Cargar(bd->db())) return 1;
            PoblarMapa(*bd, grid, observaciones / parte, localidades / parte);
            if (!Copiar(*bd, *carpeta)) return 1;
        }
    }
    std::printf("observations %d and %d, localities %d and %d\n", observaciones / 10, observaciones,
                localidades / 10, localidades);
    if (!Usar(pequena)) return 1;
    QSqlQuery comun(QStringLiteral("SELECT especie FROM observacion GROUP BY especie "
                                   "ORDER BY count(*) DESC LIMIT 1"),
                    ModConex::DatabaseConnection());
    comun.next();
    const QString especie = comun.value(0).toString();

    const auto mapa = [&](const QString &codigo) {
        return [&grid, codigo] {
            MapFilter f;
            f.especie = codigo;
            AtlasStore().Calcular(grid, f, ClasesMapa());
        };
    };
    const auto lecturaMapa = [](const QString &codigo) {
        return [codigo] {
            Leer(QStringLiteral("SELECT cod_localidad, utmhuso, utm10k FROM localidad"), {});
            Leer(QStringLiteral("SELECT localidad, especie, fecha FROM observacion"), codigo);
        };
    };
    const auto fenologia = [](const QString &codigo) {
        return [codigo] { PhenologyStore().Contar({.especie = codigo}); };
    };
    const auto lecturaFenologia = [](const QString &codigo) {
        return [codigo] {
            Leer(QStringLiteral("SELECT fecha, estadio, numejemp FROM observacion"), codigo);
        };
    };
    const QList<Camino> caminos = {
        {"map, one species", mapa(especie), lecturaMapa(especie)},
        {"map, all species", mapa({}), lecturaMapa({})},
        {"phenology, one species", fenologia(especie), lecturaFenologia(especie)},
        {"phenology, all species", fenologia({}), lecturaFenologia({})},
        {"query, all: its count alone",
         [] {
             for (int i = 0; i < kSeguidas; ++i)
                 ObservationStore().Contar({});
         },
         [] {
             for (int i = 0; i < kSeguidas; ++i) {
                 QSqlQuery c(ModConex::DatabaseConnection());
                 c.exec(QStringLiteral("SELECT count(*) FROM observacion o"));
                 c.next();
             }
         },
         true},
    };

    // [path][size]: the program's times and its floor's.
    QList<std::array<QList<qint64>, 2>> programa(caminos.size()), suelo(caminos.size());
    for (int vez = 0; vez < kVeces; ++vez)
        for (int t = 0; t < 2; ++t) {
            if (!Usar(t == 0 ? pequena : grande)) return 1;
            for (qsizetype c = 0; c < caminos.size(); ++c) {
                caminos[c].programa();
                programa[c][t] << Medir(caminos[c].programa);
                caminos[c].suelo();
                suelo[c][t] << Medir(caminos[c].suelo);
            }
        }
    for (qsizetype c = 0; c < caminos.size(); ++c) {
        const QByteArray fila = QByteArray("growth in one process: ") + caminos[c].nombre;
        const double escala = caminos[c].micro ? 1e3 * kSeguidas : 1e6;
        const char *unidad = caminos[c].micro ? "us" : "ms";
        FilaTabla(fila.constData(), MedianaDe(programa[c][1]) / escala,
                  MedianaDe(programa[c][0]) / escala, "<= 10", unidad);
        FilaTabla((fila + ", its floor").constData(), MedianaDe(suelo[c][1]) / escala,
                  MedianaDe(suelo[c][0]) / escala, "-", unidad);
    }
    ModConex::Desconectar();
    return 0;
}
