// Opening the new-observation form on a large database, as a ratio against reading the
// same lists with plain queries in the same process.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_newobs [localities] [observers]
#include "support/TestDatabase.h"

#include "data/ModConex.h"
#include "observations/newobs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>

namespace {

void Poblar(const TestDatabase &bd, int localidades, int observadores) {
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
                             "VALUES (?, 'Nombre', 'Apellido', 'x@y.es')"));
    for (int i = 0; i < observadores; ++i) {
        q.addBindValue(QStringLiteral("OB%1").arg(i));
        q.exec();
    }
    q.exec(QStringLiteral("UPDATE DefaultObs SET cd_obs = 'OB1'"));
    db.commit();
}

// The lists of the form read with plain queries into memory: the least the form must do.
qint64 Base() {
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
        "SELECT localidad FROM localidad ORDER BY localidad",
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

qint64 Formulario() {
    QElapsedTimer t;
    t.start();
    {
        newobs f;
        f.show();
        QApplication::processEvents();
    }
    return t.nsecsElapsed();
}

qint64 Mediana(qint64 (*medir)(), int veces) {
    QList<qint64> v;
    for (int i = 0; i < veces; ++i)
        v << medir();
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const int localidades = argc > 1 ? atoi(argv[1]) : 20000;
    const int observadores = argc > 2 ? atoi(argv[2]) : 500;
    TestDatabase bd(TestDatabase::Datos::Reales);
    if (!bd.ok()) return 1;
    Poblar(bd, localidades, observadores);
    Formulario(); // warm the caches of both
    Base();
    const qint64 base = Mediana(Base, 7);
    const qint64 forma = Mediana(Formulario, 7);
    std::printf("localities %d, observers %d\n", localidades, observadores);
    std::printf("plain queries: %.1f ms\n", base / 1e6);
    std::printf("newobs opened: %.1f ms\n", forma / 1e6);
    std::printf("ratio form/queries: %.2f\n", double(forma) / double(base));
    return 0;
}
