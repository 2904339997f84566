// The phenology chart redrawn on a large database, for one species and for all, as a ratio
// against its grouped statement run bare in the same run.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_fenologia [observations]
#include "Mediana.h"
#include "Tabla.h"
#include "support/TestDatabase.h"

#include "atlas/PhenologyStore.h"
#include "atlas/frfenologia.h"
#include "data/ModConex.h"
#include "gui/MessageService.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

void Poblar(const TestDatabase &bd, int observaciones) {
    QSqlDatabase db = bd.db();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO localidad (cod_localidad, localidad, prov) "
                             "VALUES (?, ?, ?)"));
    for (int i = 0; i < 2000; ++i) {
        q.addBindValue(QStringLiteral("L%1").arg(i));
        q.addBindValue(QStringLiteral("Localidad %1").arg(i));
        q.addBindValue(i % 52 + 1);
        q.exec();
    }
    q.prepare(QStringLiteral("INSERT INTO observador (cod_observador, nombre, apellido) "
                             "VALUES (?, 'Nombre', ?)"));
    for (int i = 0; i < 500; ++i) {
        q.addBindValue(QStringLiteral("OB%1").arg(i));
        q.addBindValue(QStringLiteral("Apellido %1").arg(i));
        q.exec();
    }
    QStringList especies;
    QSqlQuery e(QStringLiteral("SELECT cod_especie FROM especie ORDER BY cod_especie"), db);
    while (e.next())
        especies << e.value(0).toString();
    q.prepare(QStringLiteral("INSERT INTO observacion (observador1, fecha, especie, numejemp, "
                             "estadio, localidad) VALUES (?, ?, ?, ?, ?, ?)"));
    for (int i = 0; i < observaciones; ++i) {
        q.addBindValue(QStringLiteral("OB%1").arg(i % 500));
        q.addBindValue(QDate(1990, 1, 1).addDays((i * 7) % 12000).toString(Qt::ISODate));
        q.addBindValue(especies[i % especies.size()]);
        q.addBindValue(i % 5 == 0 ? QVariant() : QVariant(i % 40));
        q.addBindValue(i % 20); // 0: no stage chosen
        q.addBindValue(QStringLiteral("L%1").arg(i % 2000));
        q.exec();
    }
    db.commit();
    QSqlQuery(QStringLiteral("ANALYZE"), db);
}

// The grouped statement run bare: every row read, nothing kept.
qint64 Desnuda(const FiltroFenologia &f) {
    QElapsedTimer t;
    t.start();
    QVariantList valores;
    const QString sql = PhenologyStore::Sentencia(f, valores);
    QSqlQuery q(ModConex::DatabaseConnection());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant &v : valores)
        q.addBindValue(v);
    q.exec();
    qint64 n = 0;
    while (q.next())
        for (int i = 0; i < 6; ++i)
            n += q.value(i).isValid();
    Q_ASSERT(n > 0);
    return t.nsecsElapsed();
}

void Informar(const char *que, qint64 forma, qint64 base) {
    std::printf("%-34s %9.2f ms  bare %9.2f ms  ratio %.2f\n", que, forma / 1e6, base / 1e6,
                double(forma) / double(base));
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const int observaciones = argc > 1 ? atoi(argv[1]) : 100000;
    MessageService::setModoPrueba(true);
    TestDatabase bd(TestDatabase::Datos::Reales);
    if (!bd.ok()) return 1;
    Poblar(bd, observaciones);
    std::printf("observations %d\n", observaciones);

    frfenologia f;
    f.resize(1100, 700);
    f.show();
    QApplication::processEvents();
    auto *especie = f.findChild<QComboBox *>(QStringLiteral("Cbespecie"));
    auto *mostrar = f.findChild<QPushButton *>(QStringLiteral("CdMostrar"));
    auto *registros = f.findChild<QLabel *>(QStringLiteral("Lbregistros"));
    // Counts, then the chart drawn on the screen.
    const auto redibujo = [&] {
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(mostrar, Qt::LeftButton);
        f.repaint();
        QApplication::processEvents();
        return t.nsecsElapsed();
    };

    for (const QString &codigo : {especie->itemText(1), especie->itemText(0)}) {
        especie->setCurrentIndex(especie->findText(codigo));
        FiltroFenologia filtro;
        if (especie->currentIndex() > 0) filtro.especie = codigo;
        Desnuda(filtro);
        redibujo();
        const qint64 base = Mediana([&] { return Desnuda(filtro); }, 9);
        const qint64 forma = Mediana(redibujo, 9);
        const QByteArray que =
            ("chart, " + codigo + " (" + registros->text() + " records)").toUtf8();
        Informar(que.constData(), forma, base);
        const bool una = especie->currentIndex() > 0;
        FilaTabla(una ? "phenology, one species" : "phenology, all species", forma / 1e6,
                  base / 1e6, una ? "<= 2" : "<= 1.2");
    }
    return 0;
}
