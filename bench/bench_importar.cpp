// Importing a GPX of 10,000 waypoints (read, preview with the municipality of every point,
// store), as a ratio against the bare inserts of the same rows in one transaction, measured
// in the same run.
//   build/bench/bench_importar [waypoints]
#include "Tabla.h"
#include "support/TestDatabase.h"

#include "import/ImportReader.h"
#include "import/ImportStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <cstdio>

namespace {

// Waypoints of a season over the country around Madrid (about 110 by 85 km), named by
// scientific, older and common names and codes, as phones and GPS units hold them.
QByteArray Gpx(int n) {
    const char *nombres[] = {
        "Epidalea calamita",    "Bufo calamita",      "Sapo corredor",   "PELPER",
        "Rana común",           "Timon lepidus",      "Lagarto ocelado", "Natrix maura",
        "Psammodromus algirus", "Podarcis hispanicus"};
    QByteArray r = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\">\n";
    quint32 semilla = 12345;
    auto azar = [&semilla] {
        semilla = semilla * 1664525u + 1013904223u;
        return double(semilla >> 8) / double(1u << 24);
    };
    for (int i = 0; i < n; ++i) {
        const double lat = 40.0 + azar() * 0.8, lon = -4.3 + azar() * 1.3;
        const QDate dia = QDate(2024, 3, 1).addDays(int(azar() * 120));
        r += "<wpt lat=\"" + QByteArray::number(lat, 'f', 6) + "\" lon=\"" +
             QByteArray::number(lon, 'f', 6) + "\"><time>" + dia.toString(Qt::ISODate).toLatin1() +
             "T08:" + QByteArray::number(10 + i % 50) + ":00Z</time><name>" +
             nombres[i % std::size(nombres)] + "</name><desc>punto " + QByteArray::number(i) +
             "</desc></wpt>\n";
    }
    return r + "</gpx>\n";
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 10000;
    TestDatabase bd(TestDatabase::Datos::Reales);
    if (!bd.ok()) return 1;
    bd.Ejecutar(QStringLiteral("INSERT INTO observador (cod_observador) VALUES ('ANA')"));
    const QString ruta = bd.carpeta() + QStringLiteral("/puntos.gpx");
    {
        QFile f(ruta);
        if (!f.open(QIODevice::WriteOnly) || f.write(Gpx(n)) < 0) return 1;
    }

    // The import as the form runs it, the boundaries read on first use included.
    QElapsedTimer t;
    t.start();
    const Import::Reading lectura = Import::LeerArchivo(ruta);
    const qint64 leer = t.nsecsElapsed();
    ImportStore store;
    QList<ImportStore::Fila> filas;
    if (!lectura.ok || !store.Preparar(lectura.registros, QStringLiteral("ANA"), &filas)) {
        std::fprintf(stderr, "%s%s\n", qPrintable(lectura.error), qPrintable(store.error()));
        return 1;
    }
    const qint64 previa = t.nsecsElapsed();
    const auto resumen = store.Guardar(&filas, QStringLiteral("ANA"));
    const qint64 total = t.nsecsElapsed();
    if (!resumen) {
        std::fprintf(stderr, "%s\n", qPrintable(store.error()));
        return 1;
    }

    // The baseline: the same localities and observations inserted bare, in one transaction,
    // into the same tables (emptied first).
    QList<QVariantList> localidades, observaciones;
    QSqlQuery q(bd.db());
    q.exec(QStringLiteral("SELECT cod_localidad, localidad, prov, muni, utmhuso, utmx, utmy, "
                          "utm1k, utm10k FROM localidad"));
    while (q.next()) {
        QVariantList v;
        for (int i = 0; i < 9; ++i)
            v << q.value(i);
        localidades << v;
    }
    q.exec(QStringLiteral("SELECT observador1, fecha, horaini, especie, descripcion, localidad "
                          "FROM observacion"));
    while (q.next()) {
        QVariantList v;
        for (int i = 0; i < 6; ++i)
            v << q.value(i);
        observaciones << v;
    }
    q.exec(QStringLiteral("DELETE FROM observacion"));
    q.exec(QStringLiteral("DELETE FROM localidad"));
    t.restart();
    bd.db().transaction();
    QSqlQuery l(bd.db()), o(bd.db());
    l.prepare(QStringLiteral("INSERT INTO localidad (cod_localidad, localidad, prov, muni, "
                             "utmhuso, utmx, utmy, utm1k, utm10k) VALUES (?,?,?,?,?,?,?,?,?)"));
    o.prepare(QStringLiteral("INSERT INTO observacion (observador1, fecha, horaini, especie, "
                             "descripcion, localidad) VALUES (?,?,?,?,?,?)"));
    for (const QVariantList &v : localidades) {
        for (const QVariant &x : v)
            l.addBindValue(x);
        l.exec();
    }
    for (const QVariantList &v : observaciones) {
        for (const QVariant &x : v)
            o.addBindValue(x);
        o.exec();
    }
    bd.db().commit();
    const qint64 desnudo = t.nsecsElapsed();

    // The same file again over what is now stored: everything found duplicated.
    t.restart();
    ImportStore otra;
    QList<ImportStore::Fila> otras;
    if (!otra.Preparar(Import::LeerArchivo(ruta).registros, QStringLiteral("ANA"), &otras))
        return 1;
    const qint64 reimportar = t.nsecsElapsed();
    int nuevasOtraVez = 0;
    for (const auto &f : otras)
        nuevasOtraVez += f.estado == ImportStore::Estado::Nueva;

    const auto ms = [](qint64 ns) { return ns / 1e6; };
    std::printf("waypoints %d: %d observations and %d localities stored, %lld rows left out\n", n,
                resumen->observaciones, resumen->localidades,
                (long long)(n - resumen->observaciones));
    for (auto it = resumen->omitidas.cbegin(); it != resumen->omitidas.cend(); ++it)
        std::printf("  left out, %s: %d\n", qPrintable(it.key()), it.value());
    std::printf("read GPX %.0f ms, preview %.0f ms, store %.0f ms: import %.0f ms\n", ms(leer),
                ms(previa - leer), ms(total - previa), ms(total));
    std::printf("bare inserts of the same rows in one transaction: %.0f ms\n", ms(desnudo));
    FilaTabla("import of GPX waypoints / bare inserts", ms(total), ms(desnudo), "<= 2.5");
    std::printf("the same file again: read and preview %.0f ms, %d rows new (ratio %.2f)\n",
                ms(reimportar), nuevasOtraVez, double(reimportar) / double(desnudo));
    return 0;
}
