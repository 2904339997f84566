#include "TopoJson.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
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
