#pragma once

#include <QString>

#include <map>
#include <tuple>

// The 100-km letters of the zones that cover Spain, and the square codes built from them the
// way the program builds them: letters of the bands, digits cut out of the integer text.
class Cuadricula {
public:
    static constexpr int kHusoMin = 27, kHusoMax = 31;
    static constexpr int kEsteMin = 100000, kEsteMax = 800000;
    static constexpr int kNorteMin = 3000000, kNorteMax = 4900000;

    // Letters as GeographicLib's MGRS gives them for WGS84.
    static Cuadricula DesdeMgrs();

    const std::map<int, std::map<int, QString>> &Este() const { return este_; }
    const std::map<int, std::map<int, QString>> &Norte() const { return norte_; }

    QString Codigo10(int huso, long long este, long long norte) const;
    QString Codigo1(int huso, long long este, long long norte) const;

    static int HusoDe(double lon);
    // Truncated UTM coordinates in the given zone (which may be outside the standard one).
    static void Utm(double lon, double lat, int huso, long long *este, long long *norte);
    static void UtmExacta(double lon, double lat, int huso, double *este, double *norte);
    // The MGRS reference at the precision given (1 = 10 km, 2 = 1 km), without zone and band.
    static QString Mgrs(int huso, double este, double norte, int precision);

private:
    QString Letras(int huso, long long este, long long norte) const;

    std::map<int, std::map<int, QString>> este_, norte_;
};

// A 10-km square of one zone, by its integer position: cheap to collect in bulk.
struct Celda {
    int huso;
    int e10;
    int n10;
    auto operator<=>(const Celda &) const = default;
};
