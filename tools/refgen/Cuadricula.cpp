#include "Cuadricula.h"

#include <GeographicLib/MGRS.hpp>
#include <GeographicLib/UTMUPS.hpp>

#include <cmath>
#include <stdexcept>

using GeographicLib::MGRS;
using GeographicLib::UTMUPS;

Cuadricula Cuadricula::DesdeMgrs() {
    Cuadricula c;
    for (int huso = kHusoMin; huso <= kHusoMax; ++huso) {
        // Column letters depend on the easting only and row letters on the northing only,
        // so one reference in the middle of each band gives its letter.
        for (int e = kEsteMin; e <= kEsteMax; e += 100000) {
            std::string s;
            MGRS::Forward(huso, true, e + 50000, 4450000, 0, s);
            c.este_[huso][e] = QString::fromStdString(s.substr(3, 1));
        }
        for (int n = kNorteMin; n <= kNorteMax; n += 100000) {
            std::string s;
            MGRS::Forward(huso, true, 500000, n + 50000, 0, s);
            c.norte_[huso][n] = QString::fromStdString(s.substr(4, 1));
        }
    }
    return c;
}

QString Cuadricula::Letras(int huso, long long este, long long norte) const {
    // The band with the greatest minimum not above the value, as the program looks it up.
    const auto &be = este_.at(huso);
    const auto &bn = norte_.at(huso);
    auto ie = be.upper_bound(int(este));
    auto in = bn.upper_bound(int(norte));
    if (ie == be.begin() || in == bn.begin())
        throw std::runtime_error("coordinate below every band");
    return std::prev(ie)->second + std::prev(in)->second;
}

QString Cuadricula::Codigo10(int huso, long long este, long long norte) const {
    return Letras(huso, este, norte) + QString::number(este).mid(1, 1) +
           QString::number(norte).mid(2, 1);
}

QString Cuadricula::Codigo1(int huso, long long este, long long norte) const {
    return Letras(huso, este, norte) + QString::number(este).mid(1, 2) +
           QString::number(norte).mid(2, 2);
}

int Cuadricula::HusoDe(double lon) {
    return int(std::floor((lon + 180.0) / 6.0)) + 1;
}

void Cuadricula::UtmExacta(double lon, double lat, int huso, double *este, double *norte) {
    int zona;
    bool norteHemisferio;
    UTMUPS::Forward(lat, lon, zona, norteHemisferio, *este, *norte, huso);
}

void Cuadricula::Utm(double lon, double lat, int huso, long long *este, long long *norte) {
    double x, y;
    UtmExacta(lon, lat, huso, &x, &y);
    *este = (long long)std::floor(x);
    *norte = (long long)std::floor(y);
}

QString Cuadricula::Mgrs(int huso, double este, double norte, int precision) {
    std::string s;
    MGRS::Forward(huso, true, este, norte, precision, s);
    return QString::fromStdString(s.substr(3));
}
