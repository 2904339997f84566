// The program on a PostgreSQL server (a throwaway one, as in the tests), against the same
// work done bare with psql in the same run:
//  - the observation query to its first screen and count, 100,000 observations;
//  - 4 programs saving 1,000 observations each at once, in observations per second.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_servidor [observations]
#include "Mediana.h"
#include "Tabla.h"
#include "support/ServidorPrueba.h"
#include "support/TestDatabase.h"

#include "data/ModConex.h"
#include "gui/MessageService.h"
#include "observations/ObservationStore.h"
#include "observations/frcons.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

QStringList Psql(const TestDatabase &bd) {
    return {QStringLiteral("-X"), QStringLiteral("-q"),
            QStringLiteral("-A"), QStringLiteral("-t"),
            QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
            QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
            QStringLiteral("-p"), QString::number(ServidorPrueba::Compartido().puerto()),
            QStringLiteral("-U"), QString::fromLatin1(ServidorPrueba::kUsuario),
            QStringLiteral("-d"), bd.base(),
            QStringLiteral("-o"), QStringLiteral("/dev/null")};
}

// psql started with the arguments (and the script on its input), until it ends.
QProcess *Lanzar(const TestDatabase &bd, const QStringList &args, const QByteArray &entrada = {}) {
    auto *p = new QProcess;
    p->start(ServidorPrueba::Compartido().Programa(QStringLiteral("psql")), Psql(bd) + args);
    p->write(entrada);
    p->closeWriteChannel();
    return p;
}

bool Esperar(QProcess *p) {
    const bool ok = p->waitForFinished(600000) && p->exitCode() == 0;
    if (!ok) std::fprintf(stderr, "psql: %s\n", p->readAllStandardError().constData());
    delete p;
    return ok;
}

QString Literal(const QVariant &v) {
    if (v.isNull()) return QStringLiteral("NULL");
    if (v.typeId() == QMetaType::QString)
        return u'\'' + v.toString().replace(u'\'', QLatin1String("''")) + u'\'';
    return v.toString();
}

Observacion Ejemplo(int programa, int i) {
    Observacion o;
    o.observador[0] = QStringLiteral("OB%1").arg(programa);
    o.fecha = QDate(2026, 1, 1).addDays(i % 365);
    o.horaini = QStringLiteral("10:00");
    o.especie = QStringLiteral("BUFSPI");
    o.numejemp = i % 40;
    o.descripcion = QStringLiteral("Programa %1, registro %2").arg(programa).arg(i);
    o.motivo = QStringLiteral("Muestreo");
    o.localidad = QStringLiteral("L%1").arg(i % 1000);
    return o;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const int observaciones = argc > 1 ? atoi(argv[1]) : 100000;
    MessageService::setModoPrueba(true);
    TestDatabase bd(TestDatabase::Datos::Reales, TestDatabase::Motor::PostgreSql);
    if (!bd.ok()) return 1;
    // The rows made by the server itself: only the reading and the saving are measured.
    const bool poblada =
        bd.Ejecutar(QStringLiteral("INSERT INTO observador (cod_observador, nombre, apellido) "
                                   "SELECT 'OB' || i, CASE WHEN i % 10 = 0 THEN 'Ana' ELSE "
                                   "'Nombre' END, 'Apellido' FROM generate_series(0, 499) i")) &&
        bd.Ejecutar(QStringLiteral("INSERT INTO localidad (cod_localidad, localidad, prov, muni, "
                                   "utmhuso, utmx, utmy, utm1k, utm10k) SELECT 'L' || i, "
                                   "'Localidad ' || i, 28, 28079, '30', 440291, 4474254, "
                                   "'VK4074', 'VK47' FROM generate_series(0, 19999) i")) &&
        bd.Ejecutar(QStringLiteral("INSERT INTO observacion (observador1, fecha, horaini, "
                                   "horafin, periodo, meteo, viento, especie, numejemp, numaprox, "
                                   "estadio, conducta, descripcion, motivo, habitat, localidad) "
                                   "SELECT 'OB' || (i % 500), CAST(DATE '1990-01-01' + i % 12000 "
                                   "AS text), '10:00', '11:00', i % 7, 1, 2, 'BUFSPI', i % 40, "
                                   "i % 2, 1, 1, 'Junto al agua', 'Muestreo', i % 9, 'L' || (i "
                                   "% 20000) FROM generate_series(1, %1) i")
                        .arg(observaciones)) &&
        bd.Ejecutar(QStringLiteral("ANALYZE"));
    if (!poblada) return 1;
    std::printf("PostgreSQL server, %d observations\n", observaciones);

    // The query: the form's first screen and count, against psql reading every row of the
    // same statement and its count.
    ObservationStore store;
    const QString consulta = store.Consultar({}, false).lastQuery();
    // psql's floor: the statement's first screenful (the rows a grid reads first) and the
    // count of the table, which is what an unfiltered count needs.
    const QString pantalla = consulta + QStringLiteral(" LIMIT 256");
    const QString cuenta = QStringLiteral("SELECT count(*) FROM observacion o");
    const auto desnuda = [&] {
        QElapsedTimer t;
        t.start();
        Esperar(Lanzar(bd, {QStringLiteral("-c"), pantalla, QStringLiteral("-c"), cuenta}));
        return t.nsecsElapsed();
    };
    frcons formulario;
    formulario.show();
    auto *buscar = formulario.findChild<QPushButton *>(QStringLiteral("CdBuscar"));
    const auto programa = [&] {
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(buscar, Qt::LeftButton);
        QApplication::processEvents();
        return t.nsecsElapsed();
    };
    desnuda();
    programa();
    const QList<qint64> medianas = Alternas({desnuda, programa}, 5);
    const qint64 base = medianas[0], forma = medianas[1];
    FilaTabla("server query, all: first screen + count / psql", forma / 1e6, base / 1e6, "<= 1.5");

    // Saving: 4 programs at once, each on its connection, each observation its own
    // transaction; psql: 4 sessions running the same inserts one by one.
    constexpr int kProgramas = 4, kCada = 1000;
    QElapsedTimer t;
    t.start();
    QString errores[kProgramas];
    std::vector<std::thread> hilos;
    for (int k = 0; k < kProgramas; ++k)
        hilos.emplace_back([&, k] {
            const QString nombre = QStringLiteral("programa%1").arg(k);
            {
                QString error;
                AbrirServidor(nombre, ServidorPrueba::Compartido().Direccion(bd.base()), &error);
                ObservationStore observaciones(QSqlDatabase::database(nombre, false));
                for (int i = 0; i < kCada; ++i)
                    if (!observaciones.Guardar(Ejemplo(k, i), std::nullopt)) {
                        errores[k] = observaciones.error();
                        break;
                    }
                QSqlDatabase::database(nombre, false).close();
            }
            QSqlDatabase::removeDatabase(nombre);
        });
    for (std::thread &h : hilos)
        h.join();
    const double programas = kProgramas * kCada / (t.nsecsElapsed() / 1e9);
    for (const QString &e : errores)
        if (!e.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(e));

    QList<QProcess *> sesiones;
    t.restart();
    for (int k = 0; k < kProgramas; ++k) {
        QByteArray guion;
        for (int i = 0; i < kCada; ++i) {
            const Observacion o = Ejemplo(k, i);
            QStringList v;
            v << Literal(o.observador[0]) << Literal(o.fecha.toString(Qt::ISODate))
              << Literal(o.horaini) << Literal(o.especie) << Literal(o.numejemp)
              << Literal(o.descripcion) << Literal(o.motivo) << Literal(o.localidad);
            guion += QStringLiteral("INSERT INTO observacion (observador1, fecha, horaini, "
                                    "especie, numejemp, descripcion, motivo, localidad) VALUES "
                                    "(%1) RETURNING id_observacion;\n")
                         .arg(v.join(u','))
                         .toUtf8();
        }
        sesiones << Lanzar(bd, {}, guion);
    }
    for (QProcess *p : sesiones)
        Esperar(p);
    const double desnudas = kProgramas * kCada / (t.nsecsElapsed() / 1e9);
    FilaTabla("server, 4 programs saving at once / psql", programas, desnudas, ">= 0.8", "obs/s");
    std::printf("observations stored: %d\n", bd.Contar(QStringLiteral("observacion")));
    return 0;
}
