#include "../import/ImportFixtures.h"
#include "localities/MunicipalityLocator.h"
#include "support/TestDatabase.h"

#include "data/DatabaseCreation.h"

#include <QHash>
#include <QPointF>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using R = MunicipalityLocator::Resultado;

// Every check runs against the boundaries shipped in the program and the real tables.
class tst_MunicipalityLocator : public QObject {
    Q_OBJECT
private slots:
    void dentro();
    void cercaDeUnLimite();
    void marYExtranjero();
    void cuadradoQueFaltaEnLaTabla();

private:
    // One copy of the real tables for every test (the last one changes it).
    TestDatabase bd{TestDatabase::Datos::Reales};
    MunicipalityLocator loc;
};

void tst_MunicipalityLocator::dentro() {
    // refdata/utm_vectors.csv: a point deep inside the largest municipality of every
    // province, one in zone 27 and a dozen well-known places, with the municipality and the
    // squares GeographicLib gives them from the source's unsimplified boundaries.
    DatabaseCreation::Csv csv;
    QString error;
    QVERIFY2(DatabaseCreation::LeerCsv(TRITODEX_REFDATA_DIR "/utm_vectors.csv"_L1, &csv, &error),
             qPrintable(error));
    QSet<int> municipios;
    for (const QStringList &c : csv.filas) {
        const QStringList v = c.mid(1); // lon, lat, zone, easting, northing, squares, municipality
        const auto l = loc.Localizar(v[1].toDouble(), v[0].toDouble());
        // One result, the zone, then the one municipality.
        QCOMPARE_EQ(QList<int>({int(l.resultado), l.huso}) + l.municipios,
                    QList<int>({int(R::Uno), v[2].toInt(), v[7].toInt()}));
        QVERIFY2(std::abs(l.este - v[3].toLongLong()) <= 1 &&
                     std::abs(l.norte - v[4].toLongLong()) <= 1,
                 qPrintable(c.first()));
        if (v[2] != "27"_L1) QCOMPARE_EQ(l.utm10k + u' ' + l.utm1k, v[5] + u' ' + v[6]);
        municipios << v[7].toInt();
    }
    QVERIFY(municipios.size() >= 20);
}

void tst_MunicipalityLocator::cercaDeUnLimite() {
    // Vertices shared by two municipalities lie on their common boundary.
    QHash<QPair<double, double>, QList<int>> vertices;
    for (int id : MunicipalityLocator::Municipios())
        for (const auto &anillo : MunicipalityLocator::Anillos(id))
            for (const QPointF &p : anillo) {
                QList<int> &l = vertices[{p.x(), p.y()}];
                if (!l.contains(id)) l << id;
            }
    // Madrid, Sevilla, Zaragoza, Lugo, Palma, Santa Cruz de Tenerife, Tortosa and
    // Ponferrada: zones 28 to 31.
    const QList<int> municipios = {28079, 41091, 50297, 27028, 7040, 38038, 43155, 24115};
    for (int muni : municipios) {
        QPointF vertice;
        QList<int> vecinos;
        for (const auto &anillo : MunicipalityLocator::Anillos(muni))
            for (const QPointF &p : anillo) {
                const QList<int> &l = vertices.value({p.x(), p.y()});
                if (l.size() == 2 && vecinos.isEmpty()) {
                    vertice = p;
                    vecinos = l;
                }
            }
        QVERIFY2(!vecinos.isEmpty(), qPrintable(QString::number(muni)));
        // Metres east and north of the shared vertex.
        for (const auto &[este, norte] :
             {std::pair{0.0, 0.0}, {60.0, 0.0}, {0.0, -120.0}, {-100.0, 100.0}}) {
            const QPointF p = Desplazar(vertice.y(), vertice.x(), este, norte);
            const auto l = loc.Localizar(p.y(), p.x());
            QCOMPARE_EQ(int(l.resultado), int(R::Varios));
            for (int v : vecinos)
                QVERIFY2(l.municipios.contains(v), qPrintable(QString::number(v)));
        }
    }
}

void tst_MunicipalityLocator::marYExtranjero() {
    const std::tuple<const char *, double, double> casos[] = {
        {"Atlántico, frente a Finisterre", 42.9, -9.9},
        {"Golfo de Cádiz", 36.6, -6.8},
        {"Mediterráneo, entre Ibiza y Valencia", 39.2, 0.6},
        {"Mar de Alborán", 36.2, -4.0},
        {"Entre Tenerife y Gran Canaria", 28.3, -15.9},
        {"Lisboa", 38.7223, -9.1393},
        {"Oporto", 41.1579, -8.6291},
        {"Perpiñán", 42.6887, 2.8948},
        {"Andorra la Vella", 42.5063, 1.5218},
        {"Gibraltar", 36.1408, -5.3536},
        {"Tánger", 35.7595, -5.8340},
        {"París", 48.8566, 2.3522},
        {"Fuera de rango", 95.0, 0.0},
    };
    for (const auto &[lugar, lat, lon] : casos) {
        const auto l = loc.Localizar(lat, lon);
        QVERIFY2(l.resultado == R::Ninguno && l.municipios.isEmpty() && l.tierraComun.isEmpty(),
                 lugar);
    }
    // Land of the Sierra de Guadarrama shared by Segovia's municipalities: in Spain, in none.
    const auto l = loc.Localizar(40.764596, -4.014009);
    QVERIFY(l.resultado == R::Ninguno && !l.tierraComun.isEmpty());
    QVERIFY(loc.Describir(l).startsWith(u"ninguno: el punto está en tierras compartidas"_s));
}

void tst_MunicipalityLocator::cuadradoQueFaltaEnLaTabla() {
    // The table lacks the square of the Puerta del Sol: every municipality is tried.
    QVERIFY(bd.Ejecutar(u"DELETE FROM tutm10kmunis WHERE utm10 = 'VK47'"_s));
    auto l = MunicipalityLocator().Localizar(40.416775, -3.703790);
    QVERIFY(l.resultado == R::Uno && l.municipios == QList<int>{28079} && l.utm10k == u"VK47"_s);
    // A table that cannot be read is an error, never "at sea".
    QVERIFY(bd.Ejecutar(u"DROP TABLE tutm10kmunis"_s));
    l = MunicipalityLocator().Localizar(40.416775, -3.703790);
    QCOMPARE_EQ(int(l.resultado), int(R::Error));
}

QTEST_GUILESS_MAIN(tst_MunicipalityLocator)
#include "tst_MunicipalityLocator.moc"
