#include "MapGrid.h"

#include "contornos.h"
#include "data/ModConex.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kLado = 10000.0;
// Each side of a square is drawn in this many pieces, so the cut at a zone's edge follows it.
constexpr int kTramos = 4;
// Where the Canaries (zone 28 coordinates) are moved, and the inset's frame around them.
constexpr double kDesplazaX = -270000.0;
constexpr double kDesplazaY = 680000.0;
const MapRect kRecuadro{-100000.0, 3720000.0, 400000.0, 3955000.0};

bool EnCanarias(const Geodesy::Geograficas &g) {
    return g.lon < -12.5 && g.lat < 30.0;
}

// Sutherland-Hodgman against one meridian: keeps the side where lado * (lon - limite) >= 0.
std::vector<Geodesy::Geograficas> Recortar(const std::vector<Geodesy::Geograficas> &p,
                                           double limite, double lado) {
    std::vector<Geodesy::Geograficas> r;
    const size_t n = p.size();
    for (size_t i = 0; i < n; ++i) {
        const auto &a = p[i], &b = p[(i + 1) % n];
        const bool da = lado * (a.lon - limite) >= 0, db = lado * (b.lon - limite) >= 0;
        if (da) r.push_back(a);
        if (da != db) {
            const double t = (limite - a.lon) / (b.lon - a.lon);
            r.push_back({a.lat + t * (b.lat - a.lat), limite});
        }
    }
    return r;
}

MapRect Caja(const PoligonoMapa &p) {
    MapRect c{1e300, 1e300, -1e300, -1e300};
    for (const MapPoint &q : p) {
        c.x0 = std::min(c.x0, q.x);
        c.y0 = std::min(c.y0, q.y);
        c.x1 = std::max(c.x1, q.x);
        c.y1 = std::max(c.y1, q.y);
    }
    return c;
}

bool Dentro(const PoligonoMapa &a, MapPoint p) {
    bool dentro = false;
    for (size_t i = 0, j = a.size() - 1; i < a.size(); j = i++)
        if ((a[i].y > p.y) != (a[j].y > p.y) &&
            p.x < (a[j].x - a[i].x) * (p.y - a[i].y) / (a[j].y - a[i].y) + a[i].x)
            dentro = !dentro;
    return dentro;
}

} // namespace

bool MapGrid::Origen(const QString &codigo, int huso, double *este, double *norte) const {
    if (codigo.size() != 4 || !codigo[2].isDigit() || !codigo[3].isDigit()) return false;
    const auto c = columnas_.value(huso), f = filas_.value(huso);
    const QChar le = codigo[0].toUpper(), ln = codigo[1].toUpper();
    if (!c.contains(le) || !f.contains(ln)) return false;
    *este = c.value(le) + codigo[2].digitValue() * kLado;
    *norte = f.value(ln) + codigo[3].digitValue() * kLado;
    return true;
}

std::optional<std::array<Geodesy::Geograficas, 4>> MapGrid::Esquinas(const QString &codigo,
                                                                     int huso) const {
    double e, n;
    if (!Origen(codigo, huso, &e, &n)) return std::nullopt;
    std::array<Geodesy::Geograficas, 4> r;
    const double de[4] = {0, kLado, kLado, 0}, dn[4] = {0, 0, kLado, kLado};
    for (int i = 0; i < 4; ++i) {
        const auto g = geo_.AGeograficas({huso, e + de[i], n + dn[i]});
        if (!g) return std::nullopt;
        r[i] = *g;
    }
    return r;
}

std::optional<MapPoint> MapGrid::AMapa(const Geodesy::Geograficas &g) const {
    const bool canarias = EnCanarias(g);
    const auto u = geo_.AUtm(g, canarias ? 28 : 30);
    if (!u) return std::nullopt;
    if (canarias) return MapPoint{u->este + kDesplazaX, u->norte + kDesplazaY};
    return MapPoint{u->este, u->norte};
}

bool MapGrid::Cargar(const QSqlDatabase &db) {
    cuadrados_.clear();
    contornos_.clear();
    indice_.clear();
    columnas_.clear();
    filas_.clear();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const auto fallo = [&] {
        error_ = DescribirError(q.lastError());
        return false;
    };
    if (!q.exec(QStringLiteral("SELECT huso, utmxmin, utm100e FROM tutm100keste"))) return fallo();
    while (q.next())
        if (const QString l = q.value(2).toString().toUpper(); !l.isEmpty())
            columnas_[q.value(0).toInt()][l[0]] = q.value(1).toDouble();
    if (!q.exec(QStringLiteral("SELECT huso, utmymin, utm100n FROM tutm100knorte"))) return fallo();
    while (q.next())
        if (const QString l = q.value(2).toString().toUpper(); !l.isEmpty())
            filas_[q.value(0).toInt()][l[0]] = q.value(1).toDouble();
    // The outlines: one ring a line, the province's code then lon lat pairs. Each province's
    // box in lon/lat tells which zone a square's letters belong to.
    QHash<int, MapRect> cajaProvincia;
    const QStringList lineas = QString::fromUtf8(kContornosProvincias).split(u'\n');
    for (const QString &linea : lineas) {
        if (linea.isEmpty() || linea.startsWith(u'#')) continue;
        const QStringList v = linea.split(u' ', Qt::SkipEmptyParts);
        Contorno c;
        c.provincia = v.value(0).toInt();
        MapRect &caja = cajaProvincia[c.provincia];
        if (caja.x0 == 0 && caja.x1 == 0) caja = {1e300, 1e300, -1e300, -1e300};
        for (int i = 1; i + 1 < v.size(); i += 2) {
            const double lon = v[i].toDouble(), lat = v[i + 1].toDouble();
            caja = {std::min(caja.x0, lon), std::min(caja.y0, lat), std::max(caja.x1, lon),
                    std::max(caja.y1, lat)};
            const auto p = AMapa({lat, lon});
            if (p) c.anillo.push_back(*p);
        }
        if (c.anillo.size() >= 3) contornos_.push_back(std::move(c));
    }

    if (!q.exec(QStringLiteral("SELECT upper(utm10), id_prov FROM tutm10kprovincia "
                               "WHERE utm10 IS NOT NULL ORDER BY 1")))
        return fallo();
    QStringList codigos;
    QHash<QString, QList<int>> provincias;
    while (q.next()) {
        const QString codigo = q.value(0).toString();
        if (!provincias.contains(codigo)) codigos << codigo;
        provincias[codigo] << q.value(1).toInt();
    }

    for (const QString &codigo : std::as_const(codigos)) {
        // The letters may exist in several zones; the square is the one that lies in its own
        // zone (a little beyond its edges, for the squares cut there) and near its provinces.
        for (auto z = columnas_.cbegin(); z != columnas_.cend(); ++z) {
            const int huso = z.key();
            const auto esquinas = Esquinas(codigo, huso);
            if (!esquinas) continue;
            const double oeste = -180.0 + 6.0 * (huso - 1), este = oeste + 6.0;
            double lon = 0, lat = 0;
            for (const auto &g : *esquinas) {
                lon += g.lon / 4;
                lat += g.lat / 4;
            }
            if (lon < oeste - 0.2 || lon > este + 0.2) continue;
            bool cerca = false;
            for (int prov : provincias.value(codigo)) {
                const MapRect k = cajaProvincia.value(prov);
                // A degree of room: islets such as Alborán lie off their province's land.
                cerca =
                    cerca || (lon > k.x0 - 1 && lon < k.x1 + 1 && lat > k.y0 - 1 && lat < k.y1 + 1);
            }
            if (!cerca) continue;
            std::vector<Geodesy::Geograficas> contorno;
            Cuadrado c;
            c.huso = huso;
            c.codigo = codigo;
            Origen(codigo, huso, &c.este0, &c.norte0);
            // The sides walked south-west, south-east, north-east, north-west.
            const double de[4] = {0, kLado, kLado, 0}, dn[4] = {0, 0, kLado, kLado};
            bool ok = true;
            for (int lado = 0; lado < 4 && ok; ++lado)
                for (int t = 0; t < kTramos; ++t) {
                    const int s = (lado + 1) % 4;
                    const double f = double(t) / kTramos;
                    const auto g =
                        geo_.AGeograficas({huso, c.este0 + de[lado] + f * (de[s] - de[lado]),
                                           c.norte0 + dn[lado] + f * (dn[s] - dn[lado])});
                    if (!g) {
                        ok = false;
                        break;
                    }
                    contorno.push_back(*g);
                }
            if (!ok) continue;
            contorno = Recortar(Recortar(contorno, oeste, 1), este, -1);
            if (contorno.size() < 3) continue;
            for (const auto &g : contorno) {
                // A square belongs to one side of the inset: the one of its centre.
                const bool canarias = EnCanarias({lat, lon});
                const auto u = geo_.AUtm(g, canarias ? 28 : 30);
                if (!u) {
                    ok = false;
                    break;
                }
                c.poligono.push_back(canarias
                                         ? MapPoint{u->este + kDesplazaX, u->norte + kDesplazaY}
                                         : MapPoint{u->este, u->norte});
            }
            if (!ok) continue;
            c.caja = Caja(c.poligono);
            c.centro = {(c.caja.x0 + c.caja.x1) / 2, (c.caja.y0 + c.caja.y1) / 2};
            indice_[codigo].push_back(int(cuadrados_.size()));
            cuadrados_.push_back(std::move(c));
        }
    }

    MapRect e = kRecuadro;
    for (const Contorno &c : contornos_) {
        const MapRect k = Caja(c.anillo);
        e = {std::min(e.x0, k.x0), std::min(e.y0, k.y0), std::max(e.x1, k.x1),
             std::max(e.y1, k.y1)};
    }
    extension_ = e;
    recuadro_ = kRecuadro;
    if (cuadrados_.empty() || contornos_.empty()) {
        error_ = QStringLiteral("No se pueden leer las cuadrículas ni los contornos del mapa.");
        return false;
    }
    return true;
}

int MapGrid::Indice(const QString &codigo, int huso) const {
    const auto it = indice_.constFind(codigo.trimmed().toUpper());
    if (it == indice_.cend()) return -1;
    for (int i : *it)
        if (huso == 0 || cuadrados_[size_t(i)].huso == huso) return i;
    return -1;
}

int MapGrid::CuadradoEn(MapPoint p) const {
    for (size_t i = 0; i < cuadrados_.size(); ++i) {
        const Cuadrado &c = cuadrados_[i];
        if (c.caja.Contiene(p) && Dentro(c.poligono, p)) return int(i);
    }
    return -1;
}
