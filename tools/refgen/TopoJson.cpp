#include "TopoJson.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>
#include <limits>

bool Territorio::Contiene(double lon, double lat) const {
    if (lon < minLon || lon > maxLon || lat < minLat || lat > maxLat) return false;
    bool dentro = false;
    for (const Anillo &a : anillos) {
        const size_t n = a.size();
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            const Punto &p = a[i], &q = a[j];
            if ((p.lat > lat) != (q.lat > lat) &&
                lon < (q.lon - p.lon) * (lat - p.lat) / (q.lat - p.lat) + p.lon)
                dentro = !dentro;
        }
    }
    return dentro;
}

bool TopoJson::Leer(const QString &ruta, QString *error) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = ruta + QStringLiteral(": ") + f.errorString();
        return false;
    }
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &pe);
    if (doc.isNull()) {
        *error = ruta + QStringLiteral(": ") + pe.errorString();
        return false;
    }
    raiz_ = doc.object();
    if (raiz_.value(QStringLiteral("type")).toString() != QStringLiteral("Topology")) {
        *error = ruta + QStringLiteral(": not a TopoJSON topology");
        return false;
    }

    // Quantized topology: integer positions, each arc's points delta-encoded from the first.
    double sx = 1, sy = 1, tx = 0, ty = 0;
    const QJsonObject t = raiz_.value(QStringLiteral("transform")).toObject();
    const bool cuantizado = !t.isEmpty();
    if (cuantizado) {
        const QJsonArray s = t.value(QStringLiteral("scale")).toArray();
        const QJsonArray tr = t.value(QStringLiteral("translate")).toArray();
        sx = s.at(0).toDouble();
        sy = s.at(1).toDouble();
        tx = tr.at(0).toDouble();
        ty = tr.at(1).toDouble();
        sx_ = sx, sy_ = sy, tx_ = tx, ty_ = ty;
    }
    const QJsonArray arcos = raiz_.value(QStringLiteral("arcs")).toArray();
    arcos_.clear();
    arcos_.reserve(arcos.size());
    for (const QJsonValue &arco : arcos) {
        Anillo puntos;
        double x = 0, y = 0;
        for (const QJsonValue &pv : arco.toArray()) {
            const QJsonArray p = pv.toArray();
            if (cuantizado) {
                x += p.at(0).toDouble();
                y += p.at(1).toDouble();
                puntos.push_back({x * sx + tx, y * sy + ty});
            } else {
                puntos.push_back({p.at(0).toDouble(), p.at(1).toDouble()});
            }
        }
        arcos_.push_back(std::move(puntos));
    }
    return true;
}

Anillo TopoJson::AnilloDeArcos(const QJsonArray &indices) const {
    Anillo anillo;
    for (const QJsonValue &v : indices) {
        const int i = v.toInt();
        // A negative index ~i is arc i walked backwards.
        Anillo arco = arcos_.at(i >= 0 ? size_t(i) : size_t(~i));
        if (i < 0) std::reverse(arco.begin(), arco.end());
        // Consecutive arcs share their joining point.
        anillo.insert(anillo.end(), anillo.empty() ? arco.begin() : arco.begin() + 1, arco.end());
    }
    return anillo;
}

bool TopoJson::Territorios(const QString &objeto, std::vector<Territorio> *salida,
                           QString *error) const {
    const QJsonObject obj =
        raiz_.value(QStringLiteral("objects")).toObject().value(objeto).toObject();
    if (obj.isEmpty()) {
        *error = QStringLiteral("object %1 not found").arg(objeto);
        return false;
    }
    for (const QJsonValue &gv : obj.value(QStringLiteral("geometries")).toArray()) {
        const QJsonObject g = gv.toObject();
        Territorio t;
        t.id = g.value(QStringLiteral("id")).toString();
        t.nombre = g.value(QStringLiteral("properties"))
                       .toObject()
                       .value(QStringLiteral("name"))
                       .toString();
        const QString tipo = g.value(QStringLiteral("type")).toString();
        const QJsonArray arcos = g.value(QStringLiteral("arcs")).toArray();
        if (tipo == QStringLiteral("Polygon")) {
            for (const QJsonValue &r : arcos)
                t.anillos.push_back(AnilloDeArcos(r.toArray()));
        } else if (tipo == QStringLiteral("MultiPolygon")) {
            for (const QJsonValue &p : arcos)
                for (const QJsonValue &r : p.toArray())
                    t.anillos.push_back(AnilloDeArcos(r.toArray()));
        }
        t.minLon = t.minLat = std::numeric_limits<double>::max();
        t.maxLon = t.maxLat = std::numeric_limits<double>::lowest();
        for (const Anillo &a : t.anillos)
            for (const Punto &p : a) {
                t.minLon = std::min(t.minLon, p.lon);
                t.maxLon = std::max(t.maxLon, p.lon);
                t.minLat = std::min(t.minLat, p.lat);
                t.maxLat = std::max(t.maxLat, p.lat);
            }
        salida->push_back(std::move(t));
    }
    return true;
}

namespace {

void DouglasPeucker(const Anillo &a, size_t i, size_t j, double tol2, std::vector<bool> *guardar) {
    if (j <= i + 1) return;
    const double k = std::cos(40.0 * M_PI / 180.0);
    const double ax = a[i].lon * k, ay = a[i].lat, bx = a[j].lon * k, by = a[j].lat;
    const double dx = bx - ax, dy = by - ay, l2 = dx * dx + dy * dy;
    double peor = -1;
    size_t m = i;
    for (size_t n = i + 1; n < j; ++n) {
        const double px = a[n].lon * k - ax, py = a[n].lat - ay;
        double s = l2 > 0 ? (px * dx + py * dy) / l2 : 0;
        s = std::clamp(s, 0.0, 1.0);
        const double ex = px - s * dx, ey = py - s * dy, d2 = ex * ex + ey * ey;
        if (d2 > peor) {
            peor = d2;
            m = n;
        }
    }
    if (peor <= tol2) return;
    (*guardar)[m] = true;
    DouglasPeucker(a, i, m, tol2, guardar);
    DouglasPeucker(a, m, j, tol2, guardar);
}

} // namespace

void TopoJson::Simplificar(double tolerancia) {
    for (Anillo &arco : arcos_) {
        if (arco.size() < 3) continue;
        std::vector<bool> guardar(arco.size(), false);
        guardar.front() = guardar.back() = true;
        // A closed arc (an island alone) is split at its farthest point so it keeps a body.
        size_t lejos = 0;
        double max = -1;
        for (size_t n = 1; n < arco.size(); ++n) {
            const double d = std::hypot(arco[n].lon - arco[0].lon, arco[n].lat - arco[0].lat);
            if (d > max) {
                max = d;
                lejos = n;
            }
        }
        guardar[lejos] = true;
        DouglasPeucker(arco, 0, lejos, tolerancia * tolerancia, &guardar);
        DouglasPeucker(arco, lejos, arco.size() - 1, tolerancia * tolerancia, &guardar);
        Anillo corto;
        for (size_t n = 0; n < arco.size(); ++n)
            if (guardar[n]) corto.push_back(arco[n]);
        arco = std::move(corto);
    }
}

bool TopoJson::Transformacion(double *sx, double *sy, double *tx, double *ty) const {
    if (sx_ == 0 || sy_ == 0) return false;
    *sx = sx_, *sy = sy_, *tx = tx_, *ty = ty_;
    return true;
}
