// The distribution map's model without widgets: squares and classes for the filters, the
// hit test and the squares' corners against GeographicLib.

#include "DatosMapa.h"

#include "atlas/AtlasStore.h"
#include "atlas/MapGrid.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/UTMUPS.hpp>

class tst_MapaModelo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        bd = std::make_unique<TestDatabase>(TestDatabase::Datos::Reales);
        SembrarMapa(*bd);
        QVERIFY2(grid.Cargar(bd->db()), qPrintable(grid.error()));
    }
    void cuadrados();
    void codigosComoLaBase();
    void cuadricula();

private:
    void Comprobar(const std::pair<QString, QString> &caso);
    std::unique_ptr<TestDatabase> bd;
    MapGrid grid;
};

void tst_MapaModelo::cuadrados() {
    // species|from|to|observer|class limits -> square:records:species:class by code, then
    // records/species/no square/unknown.
    const std::pair<QString, QString> casos[] = {
        {u"||||2000 2015"_s, u"CS42:1:1:0 DF38:2:1:0 NH34:1:1:0 UK59:1:1:0 VK47:4:2:1 13/3/2/2"_s},
        {u"BUFSPI||||2000 2015"_s, u"CS42:1:1:1 NH34:1:1:0 UK59:1:1:2 VK47:2:1:1 8/1/2/1"_s},
        // Other class limits.
        {u"BUFSPI||||2011 2016"_s, u"CS42:1:1:1 NH34:1:1:0 UK59:1:1:2 VK47:2:1:0 8/1/2/1"_s},
        // A synonym counts with its species.
        {u"PODLIO||||2000 2015"_s, u"DF38:2:1:2 2/1/0/0"_s},
        {u"|2000-01-01|2015-12-31||2000 2015"_s, u"CS42:1:1:0 DF38:1:1:0 VK47:1:1:0 7/3/2/2"_s},
        // The observer in any of the four places.
        {u"|||Juliana|2000 2015"_s, u"DF38:1:1:0 NH34:1:1:0 VK47:2:2:1 4/3/0/0"_s},
        {u"SALSAL||||2000 2015"_s, u"0/0/0/0"_s},
    };
    for (const auto &caso : casos) {
        Comprobar(caso);
        if (QTest::currentTestFailed()) return;
    }
}

void tst_MapaModelo::codigosComoLaBase() {
    // Codes are matched as the database compares them: a locality's code in another case,
    // beyond ASCII too and however long, finds it; one with a space more does not and is
    // listed without a square; a species code in another case, or an older one, counts as
    // its species; a blank one counts no species. Enough localities, and species, that the
    // program's tables grow as it counts.
    QStringList localidades{u"('Ñu1', 'Ñandú', '30', 'UK59')"_s}, observaciones;
    for (int i = 1; i <= 80; ++i) {
        localidades << u"('Fuente larga del paraje %1', 'Paraje', '30', 'UK59')"_s.arg(i);
        observaciones << u"('BUFSPI', '2013-01-01', 'FUENTE LARGA DEL PARAJE %1', 'ANA')"_s.arg(i);
    }
    for (int i = 1; i <= 140; ++i)
        observaciones << u"('X%1', '1980-01-01', 'L4', 'ANA')"_s.arg(i, 3, 10, QChar(u'0'));
    QVERIFY(bd->Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad, utmhuso, utm10k) "
                         "VALUES "_s +
                         localidades.join(u", "_s)));
    QVERIFY(bd->Ejecutar(u"INSERT INTO observacion (especie, fecha, localidad, observador1) VALUES "
                         "('vipLat', '2021-02-02', 'ñU1', 'ANA'), ('PODLIO', '1999-01-01', 'l9', "
                         "'ANA'), ('BUFSPI', '2000-01-01', 'L 1', 'ANA'), ('', '2022-01-01', "
                         "'l1', 'ANA'), ('bufspi', '2017-01-01', 'L4', 'ANA'), "_s +
                         observaciones.join(u", "_s)));
    Comprobar({u"||||2000 2015"_s,
               u"CS42:2:2:1 DF38:2:1:0 NH34:142:141:4 UK59:82:2:1 VK47:5:2:1 238/143/3/2"_s});
    if (QTest::currentTestFailed()) return;
    Comprobar(
        {u"BUFSPI||||2000 2015"_s, u"CS42:1:1:1 NH34:2:1:2 UK59:81:1:2 VK47:2:1:1 90/1/3/1"_s});
}

void tst_MapaModelo::Comprobar(const std::pair<QString, QString> &caso) {
    const auto &[filtro, esperado] = caso;
    const QStringList v = filtro.split(u'|');
    MapFilter f{v[0], QDate::fromString(v[1], Qt::ISODate), QDate::fromString(v[2], Qt::ISODate),
                v[3]};
    const ClasesMapa clases{v[4].section(u' ', 0, 0).toInt(), v[4].section(u' ', 1, 1).toInt()};
    AtlasStore store;
    const auto r = store.Calcular(grid, f, clases);
    QVERIFY2(r, qPrintable(store.error()));
    QStringList vistas;
    for (const auto &c : r->celdas)
        vistas << grid.Cuadrados()[size_t(c.cuadrado)].codigo +
                      QString::asprintf(":%d:%d:%d", c.registros, c.especies, c.clase);
    vistas.sort();
    vistas << QString::asprintf("%d/%d/%d/%d", r->registros, r->especies, r->sinCuadricula,
                                r->desconocidos);
    QCOMPARE(vistas.join(u' '), esperado);
    // Nothing dropped: every record is drawn or listed.
    int dibujados = 0;
    for (const auto &c : r->celdas)
        dibujados += c.registros;
    QCOMPARE(dibujados + int(r->sinCuadrado.size()), r->registros);
}

void tst_MapaModelo::cuadricula() {
    // The centre of a square of each zone, the Canaries' in their inset, from its code
    // through GeographicLib.
    for (const auto &[codigo, huso] :
         {std::pair{u"VK47"_s, 30}, {u"NH34"_s, 29}, {u"DF38"_s, 31}, {u"CS42"_s, 28}}) {
        const int i = grid.Indice(codigo, huso);
        QVERIFY2(i >= 0, qPrintable(codigo));
        const auto &c = grid.Cuadrados()[size_t(i)];
        double lat, lon;
        GeographicLib::UTMUPS::Reverse(huso, true, c.este0 + 5000, c.norte0 + 5000, lat, lon);
        const auto p = grid.AMapa({lat, lon});
        QVERIFY(p);
        QCOMPARE(grid.Cuadrados()[size_t(grid.CuadradoEn(*p))].codigo, codigo);
    }
    // Far out at sea there is no square.
    QCOMPARE(grid.CuadradoEn(*grid.AMapa({37.0, -10.5})), -1);

    // The corners of squares inside zones and beside the zone boundaries (3 W and 0, 9 W) and in
    // the Canaries.
    double peor = 0;
    const GeographicLib::Geodesic &wgs = GeographicLib::Geodesic::WGS84();
    for (const auto &c : grid.Cuadrados()) {
        const auto e = grid.Esquinas(c.codigo, c.huso);
        QVERIFY(e);
        const double de[4] = {0, 10000, 10000, 0}, dn[4] = {0, 0, 10000, 10000};
        for (int k = 0; k < 4; ++k) {
            double lat, lon, s12;
            GeographicLib::UTMUPS::Reverse(c.huso, true, c.este0 + de[k], c.norte0 + dn[k], lat,
                                           lon);
            wgs.Inverse(lat, lon, (*e)[size_t(k)].lat, (*e)[size_t(k)].lon, s12);
            peor = std::max(peor, s12);
        }
    }
    qInfo("corners of %d squares: largest difference from GeographicLib %.6f m",
          int(grid.Cuadrados().size()), peor);
    QVERIFY(peor < 0.001);

    // Every known code placed once, in the zone the reference tables give it.
    const int codigos =
        bd->Valor(u"SELECT count(DISTINCT upper(utm10)) FROM tutm10kprovincia"_s).toInt();
    QCOMPARE(int(grid.Cuadrados().size()), codigos);
    QCOMPARE(grid.Cuadrados()[size_t(grid.Indice(u"vk47"_s))].huso, 30);
    QVERIFY(grid.Indice(u"VK47"_s, 29) == -1 && grid.Indice(u"ZZ99"_s) == -1);
    // Squares of zone 30 cut by the boundaries at 6 W and 0 are narrower than whole ones.
    int cortados = 0;
    for (const auto &c : grid.Cuadrados())
        cortados += c.huso == 30 && c.caja.x1 - c.caja.x0 < 9000;
    QVERIFY(cortados > 20 && grid.Contornos().size() > 50);
    QVERIFY(grid.Extension().Contiene(grid.Cuadrados()[size_t(grid.Indice(u"CS42"_s))].centro));
}

QTEST_GUILESS_MAIN(tst_MapaModelo)
#include "tst_MapaModelo.moc"
