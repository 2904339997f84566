// The observation query, its spreadsheet, and the opening of the observation forms on a
// large database, each as a ratio against the same statements run bare in the same run.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_observaciones [observations] [localities]
#include "Mediana.h"
#include "support/TestDatabase.h"

#include "data/ModConex.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "observations/ObservationStore.h"
#include "observations/frcons.h"
#include "observations/frmodif.h"
#include "observations/newobs.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

void Poblar(const TestDatabase &bd, int observaciones, int localidades) {
    QSqlDatabase db = bd.db();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(
        QStringLiteral("INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmhuso, "
                       "utmx, utmy, utm1k, utm10k) VALUES (?, ?, 28, 28079, '30', 440291, "
                       "4474254, 'VK4074', 'VK47')"));
    for (int i = 0; i < localidades; ++i) {
        q.addBindValue(QStringLiteral("L%1").arg(i));
        q.addBindValue(QStringLiteral("Localidad %1 del arroyo").arg((i * 7919) % localidades));
        q.exec();
    }
    q.prepare(QStringLiteral("INSERT INTO observador (cod_observador, nombre, apellido, email) "
                             "VALUES (?, ?, 'Apellido', 'x@y.es')"));
    for (int i = 0; i < 500; ++i) {
        q.addBindValue(QStringLiteral("OB%1").arg(i));
        q.addBindValue(i % 10 == 0 ? QStringLiteral("Ana %1").arg(i) : QStringLiteral("Nombre"));
        q.exec();
    }
    QStringList especies;
    QSqlQuery e(QStringLiteral("SELECT cod_especie FROM especie"), db);
    while (e.next())
        especies << e.value(0).toString();
    q.prepare(QStringLiteral(
        "INSERT INTO observacion (observador1, fecha, horaini, horafin, periodo, meteo, viento, "
        "especie, numejemp, numaprox, estadio, conducta, descripcion, motivo, habitat, "
        "localidad) VALUES (?, ?, '10:00', '11:00', ?, 1, 2, ?, ?, ?, 1, 1, 'Junto al agua', "
        "'Muestreo', ?, ?)"));
    for (int i = 0; i < observaciones; ++i) {
        q.addBindValue(QStringLiteral("OB%1").arg(i % 500));
        q.addBindValue(QDate(1990, 1, 1).addDays(i % 12000).toString(Qt::ISODate));
        q.addBindValue(i % 7);
        q.addBindValue(especies[i % especies.size()]);
        q.addBindValue(i % 40);
        q.addBindValue(i % 2);
        q.addBindValue(i % 9);
        q.addBindValue(QStringLiteral("L%1").arg(i % localidades));
        q.exec();
    }
    q.exec(QStringLiteral("UPDATE DefaultObs SET cd_obs = 'OB1'"));
    db.commit();
}

// The query's statement run bare: every row read and counted, nothing kept.
qint64 Desnuda(const ObservationFilter &f) {
    QElapsedTimer t;
    t.start();
    ObservationStore store;
    QSqlQuery q = store.Consultar(f, false);
    int n = 0;
    while (q.next())
        ++n;
    Q_ASSERT(n > 0);
    return t.nsecsElapsed();
}

// The lists of an observation form read with plain queries into memory.
qint64 Listas() {
    QElapsedTimer t;
    t.start();
    const char *sentencias[] = {
        "SELECT cd_obs FROM DefaultObs",
        "SELECT nombre, apellido FROM observador WHERE cod_observador = 'OB1'",
        "SELECT DISTINCT utm10 FROM tutm10kprovincia ORDER BY utm10",
        "SELECT viento, velocidad FROM tbeaufort ORDER BY id_beaufort",
        "SELECT meteo_cast FROM tmeteo ORDER BY id_meteo",
        "SELECT period_cast FROM tperiodo ORDER BY id_periodo",
        "SELECT cod_especie, n_especie FROM especie ORDER BY cod_especie",
        "SELECT estad_cast FROM testadio ORDER BY id_estadio",
        "SELECT motivo_cast FROM motivo ORDER BY id_motivo",
        "SELECT conduct_cast FROM tconducta ORDER BY id_conducta",
        "SELECT habitat FROM thabitat ORDER BY id_habitat",
        "SELECT localidad, id_localidad FROM localidad ORDER BY localidad, id_localidad",
        "SELECT prov_cast FROM tprovincia"};
    QStringList todo;
    for (const char *s : sentencias) {
        QSqlQuery q(ModConex::DatabaseConnection());
        q.setForwardOnly(true);
        q.exec(QString::fromLatin1(s));
        while (q.next())
            todo << q.value(0).toString();
    }
    return t.nsecsElapsed();
}

qint64 Medir(const std::function<void()> &hacer) {
    QElapsedTimer t;
    t.start();
    hacer();
    QApplication::processEvents();
    return t.nsecsElapsed();
}

void Informar(const char *que, qint64 forma, qint64 base) {
    std::printf("%-38s %9.1f ms  bare %9.1f ms  ratio %.2f\n", que, forma / 1e6, base / 1e6,
                double(forma) / double(base));
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const int observaciones = argc > 1 ? atoi(argv[1]) : 100000;
    const int localidades = argc > 2 ? atoi(argv[2]) : 20000;
    MessageService::setModoPrueba(true);
    TestDatabase bd(TestDatabase::Datos::Reales);
    if (!bd.ok()) return 1;
    Poblar(bd, observaciones, localidades);
    std::printf("observations %d, localities %d\n", observaciones, localidades);

    frcons consulta;
    consulta.show();
    auto *buscar = consulta.findChild<QPushButton *>(QStringLiteral("CdBuscar"));
    auto *provincia = consulta.findChild<QComboBox *>(QStringLiteral("Cbprov"));
    auto *observador = consulta.findChild<QComboBox *>(QStringLiteral("Cbobs"));
    const int madrid = provincia->findText(QStringLiteral("Madrid"));

    // All of them: the first screen and the exact count.
    provincia->setCurrentIndex(0);
    observador->setEditText(QString());
    Desnuda({});
    const qint64 todasBase = Mediana([] { return Desnuda({}); }, 5);
    const qint64 todas =
        Mediana([&] { return Medir([&] { QTest::mouseClick(buscar, Qt::LeftButton); }); }, 5);
    Informar("query, all (first screen + count)", todas, todasBase);

    // Filtered by province and observer.
    ObservationFilter filtro;
    filtro.provincia = QStringLiteral("Madrid");
    filtro.observador = QStringLiteral("ana");
    provincia->setCurrentIndex(madrid);
    observador->setEditText(QStringLiteral("ana"));
    const qint64 filtradaBase = Mediana([&] { return Desnuda(filtro); }, 5);
    const qint64 filtrada =
        Mediana([&] { return Medir([&] { QTest::mouseClick(buscar, Qt::LeftButton); }); }, 5);
    Informar("query, filtered (first screen + count)", filtrada, filtradaBase);

    // The spreadsheet of every row.
    provincia->setCurrentIndex(0);
    observador->setEditText(QString());
    QTest::mouseClick(buscar, Qt::LeftButton);
    const QString ruta = bd.carpeta() + QStringLiteral("/todas.xlsx");
    ChoiceService::Prueba().archivoGuardar = [&](const QString &, const QString &) { return ruta; };
    ChoiceService::Prueba().abrir = [](const QUrl &) { return true; };
    auto *excel = consulta.findChild<QPushButton *>(QStringLiteral("Excel"));
    const qint64 hoja = Medir([&] { QTest::mouseClick(excel, Qt::LeftButton); });
    Informar("spreadsheet, all rows", hoja, todasBase);
    std::printf("  (%lld bytes written)\n", static_cast<long long>(QFile(ruta).size()));

    // Opening the observation forms with many localities.
    const int id = 1;
    Listas();
    const qint64 listas = Mediana(Listas, 7);
    const qint64 nueva = Mediana(
        [] {
            return Medir([] {
                newobs f;
                f.show();
            });
        },
        7);
    Informar("newobs opened", nueva, listas);
    const qint64 cambio = Mediana(
        [&] {
            return Medir([&] {
                frmodif *f = frmodif::Abrir(nullptr, id, {});
                delete f;
            });
        },
        7);
    Informar("frmodif opened and loaded", cambio, listas);
    return 0;
}
