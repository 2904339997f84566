// Deleting through the bin against the bare deletes of the same rows, and the bin's own work
// on a large bin: listing it, restoring, and the start-up's emptying.
//   build/bench/bench_papelera [observations] [deletions]
// With TRITODEX_PRUEBA_MOTOR=postgresql, on a throwaway PostgreSQL server.
#include "Mediana.h"
#include "support/TestDatabase.h"

#include "data/Clock.h"
#include "observations/BinStore.h"
#include "observations/ObservationStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <cstdio>

namespace {

// Observations with two photos each, numbered from 1.
void Poblar(const TestDatabase &bd, int observaciones) {
    QSqlDatabase db = bd.db();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO observacion (id_observacion, observador1, fecha, especie, numejemp, "
        "descripcion, localidad) VALUES (?, 'OB1', ?, 'BUFSPI', ?, 'Junto al agua', 'L1')"));
    for (int i = 1; i <= observaciones; ++i) {
        q.addBindValue(i);
        q.addBindValue(QDate(1990, 1, 1).addDays(i % 12000).toString(Qt::ISODate));
        q.addBindValue(i % 40);
        q.exec();
    }
    q.prepare(QStringLiteral("INSERT INTO foto (observacion, sha256, orden) VALUES (?, ?, ?)"));
    for (int i = 1; i <= observaciones; ++i)
        for (int orden : {1, 2}) {
            q.addBindValue(i);
            q.addBindValue(QString::number(i % 97).repeated(8));
            q.addBindValue(orden);
            q.exec();
        }
    db.commit();
}

qint64 Medir(const std::function<void()> &f) {
    QElapsedTimer t;
    t.start();
    f();
    return t.elapsed();
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int observaciones = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 20000;
    const int borradas = argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 300;
    TestDatabase bd;
    if (!bd.ok()) return 1;
    Poblar(bd, observaciones);
    Clock::setPrueba([] { return QDateTime(QDate(2026, 6, 1), QTime(12, 0)); });

    // Each deletion one transaction, as a user's; odd numbers into the bin, even ones bare.
    int siguiente = 0;
    const auto desnudo = [&] {
        return Medir([&] {
            for (int i = 0; i < borradas; ++i) {
                const int id = 2 * (siguiente++) + 2;
                bd.db().transaction();
                bd.Ejecutar(QStringLiteral("DELETE FROM observacion WHERE id_observacion = ?"),
                            {id});
                bd.Ejecutar(QStringLiteral("DELETE FROM foto WHERE observacion = ?"), {id});
                bd.db().commit();
            }
        });
    };
    int siguientePapelera = 0;
    const auto papelera = [&] {
        return Medir([&] {
            ObservationStore store;
            for (int i = 0; i < borradas; ++i)
                if (!store.Suprimir(2 * (siguientePapelera++) + 1))
                    std::fprintf(stderr, "%s\n", qPrintable(store.error()));
        });
    };
    const qint64 t0 = Mediana(desnudo, 3), t1 = Mediana(papelera, 3);
    std::printf("%d observaciones; %d borradas: desnudas %lld ms, a la papelera %lld ms "
                "(razón %.2f)\n",
                observaciones, borradas, qlonglong(t0), qlonglong(t1), double(t1) / double(t0));

    // A bin of thousands: listed, a few hundred restored at once, the rest left to age.
    BinStore bin;
    bd.db().transaction();
    for (int id = 2 * siguientePapelera + 1; id <= observaciones; id += 2)
        bin.Mover(id, QDateTime(QDate(2026, 6, 1), QTime(12, 0)));
    bd.db().commit();
    const int enPapelera = bin.Contar().value_or(-1);
    int filas = 0;
    const qint64 listar = Medir([&] {
        QSqlQuery q = bin.Listar();
        while (q.next())
            ++filas;
    });
    QList<int> elegidas;
    for (int i = 0; i < borradas; ++i)
        elegidas << 2 * i + 1;
    const qint64 restaurar = Medir([&] { bin.Restaurar(elegidas); });
    int vaciadas = 0;
    const qint64 vaciar = Medir([&] {
        vaciadas = bin.VaciarAntiguas(QDateTime(QDate(2026, 12, 1), QTime(12, 0))).value_or(-1);
    });
    std::printf("papelera de %d: listada (%d filas) en %lld ms, %d restauradas de una vez en "
                "%lld ms, %d vaciadas al arrancar en %lld ms\n",
                enPapelera, filas, qlonglong(listar), int(elegidas.size()), qlonglong(restaurar),
                vaciadas, qlonglong(vaciar));
    return bin.fallo() ? 1 : 0;
}
