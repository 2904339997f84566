#include "geo/Geodesy.h"

#include <GeographicLib/Constants.hpp>
#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/TransverseMercator.hpp>
#include <GeographicLib/UTMUPS.hpp>

#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;
using GeographicLib::Geocentric;
using GeographicLib::Geodesic;

class tst_Geodesy : public QObject {
    Q_OBJECT
private slots:
    void utmComoGeographicLib();
    void ed50();
};

namespace {

// Twenty places over the five zones of Spain: El Hierro in 27, the other Canaries in 28,
// the peninsula in 29 to 31 with Ceuta and Melilla, the Balearics in 31.
const std::tuple<const char *, double, double> kLugares[] = {
    {"Hierro oeste", 27.72, -18.12}, {"Hierro norte", 27.80, -18.06},
    {"La Palma", 28.68, -17.85},     {"Tenerife", 28.27, -16.64},
    {"Gran Canaria", 27.96, -15.59}, {"Fuerteventura", 28.36, -14.05},
    {"Lanzarote", 29.03, -13.64},    {"Santiago", 42.88, -8.54},
    {"Cáceres", 39.47, -6.37},       {"Huelva", 37.26, -6.95},
    {"Finisterre", 42.905, -9.265},  {"Madrid", 40.4168, -3.7038},
    {"Sevilla", 37.389, -5.984},     {"Bilbao", 43.263, -2.935},
    {"Ceuta", 35.889, -5.32},        {"Melilla", 35.292, -2.938},
    {"Lleida", 41.617, 0.62},        {"Barcelona", 41.387, 2.17},
    {"Palma", 39.57, 2.65},          {"Mahón", 39.889, 4.265},
};

// Control values: ED50 to ETRS89 by the seven-parameter transformations published in the
// EPSG dataset for Spain (Position Vector, geog2D domain; stated accuracy 1.5 m), computed
// here apart from PROJ with GeographicLib's geocentric conversions: ED50 to ETRS89 (7), code 1632,
// Spain mainland except the north-west; (8), code 1634, the north-west; (6), code 1630, the
// Balearics.
struct Helmert {
    double tx, ty, tz, rx, ry, rz, ppm;
};
const Helmert kEpsg1632{-131.0, -100.3, -163.4, -1.244, -0.020, -1.144, 9.39};
const Helmert kEpsg1634{-178.4, -83.2, -221.3, 0.540, -0.532, -0.126, 21.2};
const Helmert kEpsg1630{-181.5, -90.3, -187.2, 0.144, 0.492, -0.394, 17.57};

Geodesy::Geograficas PorHelmert(const Helmert &h, double lat, double lon) {
    const Geocentric internacional(6378388, 1 / 297.0);
    const Geocentric etrs(6378137, 1 / 298.257222101); // GRS80
    double x, y, z;
    internacional.Forward(lat, lon, 0, x, y, z);
    const double s = 1 + h.ppm * 1e-6, k = M_PI / 648000;
    const double rx = h.rx * k, ry = h.ry * k, rz = h.rz * k;
    const double X = s * (x - rz * y + ry * z) + h.tx;
    const double Y = s * (rz * x + y - rx * z) + h.ty;
    const double Z = s * (-ry * x + rx * y + z) + h.tz;
    double la, lo, alt;
    etrs.Reverse(X, Y, Z, la, lo, alt);
    return {la, lo};
}

double Metros(const Geodesy::Geograficas &a, const Geodesy::Geograficas &b) {
    double s;
    Geodesic::WGS84().Inverse(a.lat, a.lon, b.lat, b.lon, s);
    return s;
}

} // namespace

void tst_Geodesy::utmComoGeographicLib() {
    // (The squares of such points against MGRS: tst_UtmSquares.)
    Geodesy g;
    double peor = 0;
    for (const auto &[nombre, lat, lon] : kLugares) {
        const QString lugar = QString::fromUtf8(nombre);
        const int zona = GeographicLib::UTMUPS::StandardZone(lat, lon);
        QCOMPARE(Geodesy::HusoDe(lon), zona);
        const auto u = g.AUtm({lat, lon});
        QVERIFY2(u, qPrintable(lugar + u": "_s + g.error()));
        QCOMPARE(u->huso, zona);
        int z;
        bool norte;
        double x, y;
        GeographicLib::UTMUPS::Forward(lat, lon, z, norte, x, y, zona);
        peor = std::max({peor, std::abs(u->este - x), std::abs(u->norte - y)});
        QVERIFY2(
            std::abs(u->este - x) < 0.001 && std::abs(u->norte - y) < 0.001,
            qPrintable(
                u"%1: %2 %3 frente a %4 %5"_s.arg(lugar).arg(u->este).arg(u->norte).arg(x).arg(y)));

        // And back to the same place.
        const auto vuelta = g.AGeograficas(*u);
        QVERIFY2(vuelta && std::abs(vuelta->lat - lat) < 1e-9 && std::abs(vuelta->lon - lon) < 1e-9,
                 nombre);
    }
    qInfo("mayor diferencia con GeographicLib: %.6f m", peor);
}

void tst_Geodesy::ed50() {
    const std::tuple<const char *, double, double, Helmert> casos[] = {
        {"Madrid", 40.4200, -3.7025, kEpsg1632},   {"Sevilla", 37.3890, -5.9840, kEpsg1632},
        {"Valencia", 39.4700, -0.3760, kEpsg1632}, {"Coruña", 43.3623, -8.4115, kEpsg1634},
        {"Vigo", 42.2314, -8.7124, kEpsg1634},     {"Palma", 39.5696, 2.6502, kEpsg1630},
        {"Mahón", 39.8885, 4.2658, kEpsg1630},
    };
    for (const auto &[lugar, lat, lon, h] : casos) {
        Geodesy g;
        const auto r = g.DesdeEd50(Geodesy::Geograficas{lat, lon});
        QVERIFY2(r, qPrintable(g.error()));
        // Whatever PROJ chose, it must agree with the control (PorHelmert) within the stated
        // accuracy of the transformation in use; where a national grid is installed (0.2 m) the
        // control's own 1.5 m bounds the difference instead.
        QVERIFY(r->transformacion.precision > 0 && !r->transformacion.nombre.isEmpty());
        const double residuo = Metros(r->etrs89, PorHelmert(h, lat, lon));
        qInfo("%s: %s (%s, %.2f m): %.5f m", lugar, qPrintable(r->transformacion.nombre),
              qPrintable(r->transformacion.codigo), r->transformacion.precision, residuo);
        QVERIFY2(residuo <= std::max(r->transformacion.precision, 1.5),
                 qPrintable(QString::number(residuo)));
        // The datum shift is real: on the order of 100 to 250 m, never nothing.
        const double desplazamiento = Metros(r->etrs89, {lat, lon});
        QVERIFY2(desplazamiento > 80 && desplazamiento < 300,
                 qPrintable(QString::number(desplazamiento)));

        // The same place typed as ED50 UTM (International 1924 ellipsoid) lands on the same point.
        const int huso = Geodesy::HusoDe(lon);
        const GeographicLib::TransverseMercator tm(6378388, 1 / 297.0,
                                                   GeographicLib::Constants::UTM_k0());
        double x, y;
        tm.Forward(6.0 * huso - 183, lat, lon, x, y);
        const auto porUtm = g.DesdeEd50(Geodesy::Utm{huso, x + 500000, y});
        QVERIFY2(porUtm, qPrintable(g.error()));
        QVERIFY(Metros(porUtm->etrs89, r->etrs89) < 0.001);
    }

    Geodesy g;
    // Refused: the Canaries never used ED50, by zone (by position: tst_frgps, through the form).
    QVERIFY(!g.DesdeEd50(Geodesy::Utm{28, 350000, 3130000}) && g.error().contains(u"Canarias"_s));
    // Far from any transformation of ED50.
    QVERIFY(!g.DesdeEd50(Geodesy::Geograficas{-33.9, 151.2}) && !g.error().isEmpty());
}

QTEST_GUILESS_MAIN(tst_Geodesy)
#include "tst_Geodesy.moc"
