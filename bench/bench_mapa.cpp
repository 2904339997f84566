// The distribution map redrawn for one species and for all on a large database, each as a
// ratio against the bare work of what it shows (the squares with their counts, painted, and
// the observations it cannot draw) run in the same run, and against merely reading the rows
// it is counted from; and the time to open the form.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_mapa [observations] [localities]
#include "Mediana.h"
#include "PoblarMapa.h"
#include "Tabla.h"
#include "support/TestDatabase.h"

#include "atlas/AtlasStore.h"
#include "atlas/MapDrawing.h"
#include "atlas/MapView.h"
#include "atlas/frmapa.h"
#include "data/SqliteText.h"
#include "gui/MessageService.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

qint64 Medir(const std::function<void()> &hacer) {
    QElapsedTimer t;
    t.start();
    hacer();
    QApplication::processEvents();
    return t.nsecsElapsed();
}

void Informar(const char *que, qint64 forma, qint64 base) {
    std::printf("%-36s %9.1f ms  bare %9.1f ms  ratio %.2f\n", que, forma / 1e6, base / 1e6,
                double(forma) / double(base));
}

// Where the time goes: the counts alone, and the painting alone.
void Partes(const frmapa &mapa, const MapFilter &f, MapView *vista, qint64 base) {
    const qint64 modelo = Mediana(
        [&] {
            return Medir([&] {
                AtlasStore store;
                store.Calcular(mapa.grid(), f, ClasesMapa());
            });
        },
        5);
    Informar("  of which the counts", modelo, base);
    const qint64 pintar = Mediana([&] { return Medir([&] { vista->repaint(); }); }, 5);
    Informar("  of which the painting", pintar, base);
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const int observaciones = argc > 1 ? atoi(argv[1]) : 100000;
    const int localidades = argc > 2 ? atoi(argv[2]) : 20000;
    MessageService::setModoPrueba(true);
    TestDatabase bd(TestDatabase::Datos::Reales);
    if (!bd.ok()) return 1;
    {
        MapGrid grid;
        if (!grid.Cargar(bd.db())) return 1;
        PoblarMapa(bd, grid, observaciones, localidades);
    }
    std::printf("observations %d, localities %d\n", observaciones, localidades);

    frmapa *abierto = nullptr;
    const qint64 abrir = Medir([&] {
        abierto = new frmapa;
        abierto->resize(1200, 800);
        abierto->show();
        abierto->repaint();
    });
    std::printf("%-36s %9.1f ms\n", "form opened (grid, lists, first map)", abrir / 1e6);
    const qint64 cuadricula = Medir([&] {
        MapGrid g;
        g.Cargar(bd.db());
    });
    std::printf("%-36s %9.1f ms\n", "  of which the grid and outlines", cuadricula / 1e6);
    frmapa &mapa = *abierto;
    auto *especie = mapa.findChild<QComboBox *>(QStringLiteral("Cbespecie"));
    auto *mostrar = mapa.findChild<QPushButton *>(QStringLiteral("CdMostrar"));
    auto *vista = mapa.findChild<MapView *>(QStringLiteral("Mapa"));
    const auto redibujar = [&] {
        return Medir([&] { QTest::mouseClick(mostrar, Qt::LeftButton); });
    };

    // One species: the commonest.
    QSqlQuery comun(QStringLiteral("SELECT especie FROM observacion GROUP BY especie "
                                   "ORDER BY count(*) DESC LIMIT 1"),
                    bd.db());
    comun.next();
    const QString codigo = comun.value(0).toString();
    especie->setCurrentIndex(
        especie->findText(codigo + QStringLiteral(" - "), Qt::MatchStartsWith));
    MapFilter una;
    una.especie = codigo;
    // The localities the map cannot place (no square, or one the grid does not know), found
    // once here: the floor reads their observations without having to find them.
    QStringList fuera;
    {
        QSet<QString> conocidos;
        for (const auto &c : mapa.grid().Cuadrados())
            conocidos.insert(c.codigo);
        QSqlQuery l(QStringLiteral("SELECT cod_localidad, utm10k FROM localidad"), bd.db());
        while (l.next())
            if (!conocidos.contains(l.value(1).toString())) fuera << l.value(0).toString();
    }
    const QString enFuera = QStringList(fuera.size(), QStringLiteral("?")).join(u',');
    // The floor: what the map shows, in two bare statements and a bare painting. A species'
    // squares with their counts and last date (its class is the year); for all species, each
    // square's count of species as well (its class is the richness). Then the observations
    // it cannot draw, which the form lists beside the map. The squares found are painted,
    // one polygon each, on an image of the map's size made beforehand, as the form paints
    // on its window; the land, the grid lines and the legend are left out.
    QImage lienzo(vista->size(), QImage::Format_ARGB32_Premultiplied);
    const QTransform plano = MapDrawing::Ajustar(mapa.grid(), QRectF(lienzo.rect()));
    // The observations the map cannot draw, read as the form lists them beside it.
    const auto noDibujadas = [&](const MapFilter &f) {
        QSqlQuery n(bd.db());
        n.setForwardOnly(true);
        n.prepare(QStringLiteral("SELECT o.id_observacion, o.fecha, o.especie, "
                                 "l.localidad, o.observador1, o.observador2, "
                                 "o.observador3, o.observador4, l.utm10k FROM observacion "
                                 "o JOIN localidad l ON l.cod_localidad = o.localidad "
                                 "WHERE o.localidad IN (%1)%2")
                      .arg(enFuera,
                           f.especie.isEmpty() ? QString() : QStringLiteral(" AND o.especie = ?")));
        for (const QString &c : fuera)
            n.addBindValue(c);
        if (!f.especie.isEmpty()) n.addBindValue(f.especie);
        n.exec();
        while (n.next())
            for (int i = 0; i < 9; ++i)
                n.value(i);
    };
    const auto desnuda = [&](const MapFilter &f) {
        return [f, &bd, &noDibujadas, &lienzo, &plano, &mapa] {
            return Medir([&] {
                noDibujadas(f);
                QSqlQuery q(bd.db());
                q.setForwardOnly(true);
                q.prepare(f.especie.isEmpty()
                              ? QStringLiteral("SELECT l.utmhuso, l.utm10k, count(*), "
                                               "count(DISTINCT o.especie), max(o.fecha) FROM "
                                               "observacion o JOIN localidad l ON l.cod_localidad "
                                               "= o.localidad GROUP BY l.utmhuso, l.utm10k")
                              : QStringLiteral("SELECT l.utmhuso, l.utm10k, count(*), "
                                               "max(o.fecha) FROM observacion o JOIN localidad l "
                                               "ON l.cod_localidad = o.localidad WHERE o.especie "
                                               "= ? GROUP BY l.utmhuso, l.utm10k"));
                if (!f.especie.isEmpty()) q.addBindValue(f.especie);
                q.exec();
                const MapGrid &grid = mapa.grid();
                QPainter p(&lienzo);
                p.setRenderHint(QPainter::Antialiasing, true);
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0xe8, 0x55, 0x3a));
                QPolygonF esquinas;
                while (q.next()) {
                    const int i = grid.Indice(q.value(1).toString(), q.value(0).toInt());
                    if (i < 0) continue;
                    esquinas.clear();
                    for (const MapPoint &e : grid.Cuadrados()[size_t(i)].poligono)
                        esquinas << plano.map(QPointF(e.x, e.y));
                    p.drawPolygon(esquinas);
                }
            });
        };
    };
    // A second floor, below what any counting can reach: the rows the map is counted from,
    // read bare, and the same painting. Every locality's code, zone and square, and the
    // code, species and date of every observation that passes the filters, each value read
    // where SQLite holds it; the observations not drawn; the squares with records (found
    // once here, outside the timing) painted.
    const auto cuadradosDe = [&](const MapFilter &f) {
        QList<int> cuadrados;
        QSqlQuery q(bd.db());
        q.prepare(
            QStringLiteral("SELECT DISTINCT l.utmhuso, l.utm10k FROM observacion o JOIN "
                           "localidad l ON l.cod_localidad = o.localidad%1")
                .arg(f.especie.isEmpty() ? QString() : QStringLiteral(" WHERE o.especie = ?")));
        if (!f.especie.isEmpty()) q.addBindValue(f.especie);
        q.exec();
        while (q.next())
            if (const int i = mapa.grid().Indice(q.value(1).toString(), q.value(0).toInt()); i >= 0)
                cuadrados << i;
        return cuadrados;
    };
    const auto lectura = [&](const MapFilter &f) {
        return [f, &bd, &noDibujadas, &lienzo, &plano, &mapa, cuadrados = cuadradosDe(f)] {
            return Medir([&] {
                // LeerFilas takes each value's text from SQLite before handing it over.
                const auto leer = [](QSqlQuery &q) {
                    QString error;
                    SqliteText::LeerFilas(
                        q, [](int, const SqliteText::Celda &) {}, [] { return true; }, &error);
                };
                QSqlQuery l(bd.db());
                l.setForwardOnly(true);
                l.exec(QStringLiteral("SELECT cod_localidad, utmhuso, utm10k FROM localidad"));
                leer(l);
                QSqlQuery o(bd.db());
                o.setForwardOnly(true);
                o.prepare(QStringLiteral("SELECT localidad, especie, fecha FROM observacion%1")
                              .arg(f.especie.isEmpty() ? QString()
                                                       : QStringLiteral(" WHERE especie = ?")));
                if (!f.especie.isEmpty()) o.addBindValue(f.especie);
                o.exec();
                leer(o);
                noDibujadas(f);
                QPainter p(&lienzo);
                p.setRenderHint(QPainter::Antialiasing, true);
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0xe8, 0x55, 0x3a));
                QPolygonF esquinas;
                for (const int i : cuadrados) {
                    esquinas.clear();
                    for (const MapPoint &e : mapa.grid().Cuadrados()[size_t(i)].poligono)
                        esquinas << plano.map(QPointF(e.x, e.y));
                    p.drawPolygon(esquinas);
                }
            });
        };
    };
    desnuda(una)();
    const QList<qint64> t = Alternas({desnuda(una), lectura(una), redibujar}, 7);
    const qint64 unaBase = t[0], unaMapa = t[2];
    FilaTabla("map, one species, redrawn", unaMapa / 1e6, unaBase / 1e6, "<= 1.5");
    FilaTabla("map, one species / reading its rows bare", unaMapa / 1e6, t[1] / 1e6, "-");
    Partes(mapa, una, vista, unaBase);
    std::printf("  (%s: %lld squares)\n", qPrintable(codigo),
                (long long)mapa.resultado().celdas.size());

    especie->setCurrentIndex(0);
    const QList<qint64> u = Alternas({desnuda({}), lectura({}), redibujar}, 7);
    const qint64 todasBase = u[0], todasMapa = u[2];
    FilaTabla("map, all species, redrawn", todasMapa / 1e6, todasBase / 1e6, "<= 1.5");
    FilaTabla("map, all species / reading its rows bare", todasMapa / 1e6, u[1] / 1e6, "-");
    // The form's own statements: the grid and outlines, and the first map's counts.
    FilaTabla("map form opened / its statements", abrir / 1e6, (cuadricula + todasBase) / 1e6,
              "<= 2");
    Partes(mapa, {}, vista, todasBase);
    std::printf("  (%lld squares, %d records, %d without a square, %d unknown)\n",
                (long long)mapa.resultado().celdas.size(), mapa.resultado().registros,
                mapa.resultado().sinCuadricula, mapa.resultado().desconocidos);
    delete abierto;
    return 0;
}
