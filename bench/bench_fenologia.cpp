// The phenology chart redrawn on a large database, for one species and for all, as a ratio
// against the floor of what the form shows: its grouped statement run bare, the counts added
// up by stage and period, and a bare stacked bar chart of the same size drawing them (the
// month axis, a count axis and the legend, as the form's). The statement alone is printed
// beside it. A second floor reads the rows the counts need bare, straight from the statement,
// and draws the same counts: what no grouping can go under.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_fenologia [observations]
#include "Mediana.h"
#include "Tabla.h"
#include "support/TestDatabase.h"

#include "atlas/PhenologyStore.h"
#include "atlas/frfenologia.h"
#include "data/ModConex.h"
#include "data/SqliteText.h"
#include "gui/MessageService.h"

#include <QApplication>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChartView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QStackedBarSeries>
#include <QTest>
#include <QValueAxis>
#include <algorithm>
#include <array>
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

using Periodos = std::array<qreal, Fenologia::kPeriodos>;

// The grouped statement run bare: every row read, added up by stage and period.
qint64 Desnuda(const FiltroFenologia &f, QMap<qint64, Periodos> *cuentas = nullptr) {
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
    while (q.next()) {
        const int tercio = q.value(2).toInt(), mes = q.value(1).toInt();
        n += q.value(4).toLongLong() + q.value(5).toLongLong() + q.value(0).isValid();
        if (cuentas && tercio >= 1 && mes >= 1 && mes <= 12)
            (*cuentas)[q.value(3).toLongLong()][(mes - 1) * 3 + tercio - 1] +=
                q.value(4).toDouble();
    }
    Q_ASSERT(n > 0);
    return t.nsecsElapsed();
}

// A stacked bar chart with nothing of the form's own: its bar sets' values replaced, its
// count axis set to the tallest bar.
struct GraficoDesnudo {
    explicit GraficoDesnudo(QSize tamano) {
        serie->setBarWidth(0.85);
        grafico->addSeries(serie);
        auto *meses = new QCategoryAxis;
        meses->setStartValue(-0.5);
        for (int m = 0; m < 12; ++m)
            meses->append(QLocale(QLocale::Spanish).standaloneMonthName(m + 1), m * 3 + 2.5);
        meses->setRange(-0.5, Fenologia::kPeriodos - 0.5);
        grafico->addAxis(meses, Qt::AlignBottom);
        grafico->addAxis(cuenta, Qt::AlignLeft);
        serie->attachAxis(meses);
        serie->attachAxis(cuenta);
        vista.setChart(grafico);
        vista.resize(tamano);
        vista.show();
    }
    void Dibujar(const QMap<qint64, Periodos> &cuentas) {
        while (serie->count() > cuentas.size())
            serie->remove(serie->barSets().constLast());
        while (serie->count() < cuentas.size())
            serie->append(new QBarSet(QString()));
        qreal tope = 1;
        Periodos total{};
        int i = 0;
        for (auto c = cuentas.cbegin(); c != cuentas.cend(); ++c, ++i) {
            QBarSet *barras = serie->barSets()[i];
            barras->setLabel(QString::number(c.key()));
            barras->remove(0, barras->count());
            barras->append(QList<qreal>(c.value().cbegin(), c.value().cend()));
            for (int p = 0; p < Fenologia::kPeriodos; ++p)
                tope = std::max(tope, total[p] += c.value()[p]);
        }
        cuenta->setRange(0, tope);
        vista.repaint();
        QApplication::processEvents();
    }
    QChart *grafico = new QChart;
    QStackedBarSeries *serie = new QStackedBarSeries;
    QValueAxis *cuenta = new QValueAxis;
    QChartView vista;
};

// Every row the counts need, read bare: each value's text taken from SQLite, nothing added.
qint64 Lectura(const FiltroFenologia &f) {
    QElapsedTimer t;
    t.start();
    QSqlQuery q(ModConex::DatabaseConnection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT fecha, estadio, numejemp FROM observacion%1")
                  .arg(f.especie.isEmpty() ? QString() : QStringLiteral(" WHERE especie = ?")));
    if (!f.especie.isEmpty()) q.addBindValue(f.especie);
    q.exec();
    QString error;
    qint64 filas = 0;
    SqliteText::LeerFilas(
        q, [](int, const SqliteText::Celda &) {},
        [&] {
            ++filas;
            return true;
        },
        &error);
    Q_ASSERT(filas > 0 && error.isEmpty());
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

    GraficoDesnudo desnudo(f.findChild<QChartView *>(QStringLiteral("Grafico"))->size());
    // The same counts drawn again, as the form draws the same species again.
    const auto suelo = [&](const FiltroFenologia &filtro) {
        QElapsedTimer t;
        t.start();
        QMap<qint64, Periodos> cuentas;
        Desnuda(filtro, &cuentas);
        desnudo.Dibujar(cuentas);
        return t.nsecsElapsed();
    };
    // The rows read bare, then the counts (made once, beforehand) drawn.
    const auto lectura = [&](const FiltroFenologia &filtro) {
        QMap<qint64, Periodos> cuentas;
        Desnuda(filtro, &cuentas);
        return [&, filtro, cuentas] {
            QElapsedTimer t;
            t.start();
            Lectura(filtro);
            desnudo.Dibujar(cuentas);
            return t.nsecsElapsed();
        };
    };
    for (const QString &codigo : {especie->itemText(1), especie->itemText(0)}) {
        especie->setCurrentIndex(especie->findText(codigo));
        const bool esUna = especie->currentIndex() > 0;
        FiltroFenologia filtro;
        if (esUna) filtro.especie = codigo;
        suelo(filtro);
        redibujo();
        const QList<qint64> t = Alternas({[&] { return Desnuda(filtro); },
                                          [&] { return suelo(filtro); }, lectura(filtro), redibujo},
                                         9);
        const qint64 sentencia = t[0], base = t[1], leidas = t[2], forma = t[3];
        const QByteArray que =
            ("chart, " + codigo + " (" + registros->text() + " records)").toUtf8();
        Informar(que.constData(), forma, base);
        Informar("  against the statement alone", forma, sentencia);
        FilaTabla(esUna ? "phenology, one species" : "phenology, all species", forma / 1e6,
                  base / 1e6, esUna ? "<= 2" : "<= 1.2");
        FilaTabla(esUna ? "phenology, one species / reading its rows bare"
                        : "phenology, all species / reading its rows bare",
                  forma / 1e6, leidas / 1e6, "-");
    }
    return 0;
}
