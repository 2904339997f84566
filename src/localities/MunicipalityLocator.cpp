#include "MunicipalityLocator.h"

#include "contornos_municipios.h"
#include "geo/Geodesy.h"
#include "geo/UtmSquares.h"

#include <QPointF>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kMetrosGradoLat = 110574.0;
constexpr double kMetrosGradoLon = 111320.0;

struct Municipio {
    int id = 0;
    std::vector<std::vector<QPointF>> anillos; // x longitude, y latitude
    double minLon = 1e9, maxLon = -1e9, minLat = 1e9, maxLat = -1e9;

    // Even-odd rule over every ring: holes and separate parts need no special case.
    bool Contiene(double lon, double lat) const {
        if (lon < minLon || lon > maxLon || lat < minLat || lat > maxLat) return false;
        bool dentro = false;
        for (const auto &a : anillos) {
            const size_t n = a.size();
            for (size_t i = 0, j = n - 1; i < n; j = i++) {
                const QPointF &p = a[i], &q = a[j];
                if ((p.y() > lat) != (q.y() > lat) &&
                    lon < (q.x() - p.x()) * (lat - p.y()) / (q.y() - p.y()) + p.x())
                    dentro = !dentro;
            }
        }
        return dentro;
    }

    // Metres from the point to the nearest boundary, on a plane tangent at the point.
    double Distancia(double lon, double lat) const {
        const double kx = kMetrosGradoLon * std::cos(lat * M_PI / 180.0), ky = kMetrosGradoLat;
        double mejor = 1e300;
        for (const auto &a : anillos) {
            const size_t n = a.size();
            for (size_t i = 0, j = n - 1; i < n; j = i++) {
                const double ax = (a[j].x() - lon) * kx, ay = (a[j].y() - lat) * ky;
                const double bx = (a[i].x() - lon) * kx, by = (a[i].y() - lat) * ky;
                const double dx = bx - ax, dy = by - ay, l2 = dx * dx + dy * dy;
                const double s = l2 > 0 ? std::clamp(-(ax * dx + ay * dy) / l2, 0.0, 1.0) : 0.0;
                const double px = ax + s * dx, py = ay + s * dy;
                mejor = std::min(mejor, px * px + py * py);
            }
        }
        return std::sqrt(mejor);
    }

    bool Cerca(double lon, double lat, double margen) const {
        const double mlat = margen / kMetrosGradoLat;
        const double mlon = margen / (kMetrosGradoLon * std::cos(lat * M_PI / 180.0));
        return lon >= minLon - mlon && lon <= maxLon + mlon && lat >= minLat - mlat &&
               lat <= maxLat + mlat;
    }
};

// Lands shared by several municipalities carry INE codes of this "province".
constexpr int kTierrasComunes = 53;

struct Contornos {
    std::vector<Municipio> municipios; // municipalities and shared lands
    QHash<int, int> indice;
    QHash<int, QString> comunes; // shared lands' names
    QList<int> indicesComunes;   // their places in municipios

    Contornos() {
        double sx = 0, sy = 0, tx = 0, ty = 0;
        const QByteArray texto(kContornosMunicipios);
        for (const QByteArray &linea : texto.split('\n')) {
            if (linea.isEmpty() || linea.startsWith('#')) continue;
            if (linea.startsWith("N ")) {
                const QByteArray resto = linea.mid(2);
                comunes.insert(resto.left(resto.indexOf(' ')).toInt(),
                               QString::fromUtf8(resto.mid(resto.indexOf(' ') + 1)));
                continue;
            }
            const QList<QByteArray> p = linea.split(' ');
            if (p.at(0) == "T") {
                if (p.size() == 5)
                    sx = p[1].toDouble(), sy = p[2].toDouble(), tx = p[3].toDouble(),
                    ty = p[4].toDouble();
                continue;
            }
            if (p.size() < 7 || p.size() % 2 == 0) continue;
            const int id = p[0].toInt();
            auto it = indice.find(id);
            if (it == indice.end()) {
                if (id / 1000 == kTierrasComunes) indicesComunes << int(municipios.size());
                it = indice.insert(id, int(municipios.size()));
                municipios.push_back({});
                municipios.back().id = id;
            }
            Municipio &m = municipios[size_t(*it)];
            std::vector<QPointF> anillo;
            anillo.reserve(size_t(p.size() / 2));
            long long i = 0, j = 0;
            for (qsizetype k = 1; k + 1 < p.size(); k += 2) {
                i += p[k].toLongLong();
                j += p[k + 1].toLongLong();
                const double lon = tx + sx * double(i), lat = ty + sy * double(j);
                anillo.emplace_back(lon, lat);
                m.minLon = std::min(m.minLon, lon);
                m.maxLon = std::max(m.maxLon, lon);
                m.minLat = std::min(m.minLat, lat);
                m.maxLat = std::max(m.maxLat, lat);
            }
            m.anillos.push_back(std::move(anillo));
        }
    }

    static const Contornos &Todos() {
        static const Contornos c;
        return c;
    }
};

} // namespace

MunicipalityLocator::MunicipalityLocator(QSqlDatabase db)
    : Store(db), geo_(std::make_unique<Geodesy>()) {}

MunicipalityLocator::~MunicipalityLocator() = default;

MunicipalityLocator::Lugar MunicipalityLocator::Localizar(double lat, double lon) {
    Lugar r;
    const Contornos &c = Contornos::Todos();
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::abs(lat) > 90 || std::abs(lon) > 180)
        return r;

    // The point's squares, through the band tables.
    if (const auto utm = geo_->AUtm({lat, lon})) {
        r.huso = utm->huso;
        r.este = qint64(std::floor(utm->este));
        r.norte = qint64(std::floor(utm->norte));
        // The band letters hold over a 100-km cell: looked up once per cell, the digits are
        // those of the coordinates, as the squares' rule has them.
        const QString clave =
            QStringLiteral("%1/%2/%3").arg(r.huso).arg(r.este / 100000).arg(r.norte / 100000);
        auto it = letras_.find(clave);
        if (it == letras_.end()) {
            const Utm::Squares q = Utm::CalcularCuadrados(db(), r.huso, r.este, r.norte);
            if (q.resultado == Utm::Outcome::ErrorBaseDatos) {
                Anotar(q.mensaje);
                r.resultado = Resultado::Error;
                return r;
            }
            it = letras_.insert(clave, q.utm10k.isEmpty() ? QString() : q.utm10k.chopped(2));
        }
        const QString este = QString::number(r.este), norte = QString::number(r.norte);
        if (!it->isEmpty() && este.size() == 6 && norte.size() == 7) {
            r.utm10k = *it + este.mid(1, 1) + norte.mid(2, 1);
            r.utm1k = *it + este.mid(1, 2) + norte.mid(2, 2);
        }
    }

    // Candidates from the square; where the table has no such square (open sea, or a square
    // the table lacks), every municipality whose box reaches the point.
    QList<int> ids;
    if (!r.utm10k.isEmpty()) {
        auto it = porCuadrado_.find(r.utm10k);
        if (it == porCuadrado_.end()) {
            QSqlQuery q;
            if (!Ejecutar(q, QStringLiteral("SELECT id_muni FROM tutm10kmunis WHERE utm10 = ?"),
                          {r.utm10k})) {
                r.resultado = Resultado::Error;
                return r;
            }
            QList<int> lista;
            while (q.next())
                lista << q.value(0).toInt();
            it = porCuadrado_.insert(r.utm10k, lista);
        }
        ids = *it;
    }
    std::vector<const Municipio *> candidatos;
    for (int id : ids)
        if (const auto i = c.indice.constFind(id); i != c.indice.cend())
            candidatos.push_back(&c.municipios[size_t(*i)]);
    if (candidatos.empty()) {
        for (const Municipio &m : c.municipios)
            if (m.Cerca(lon, lat, kMargen)) candidatos.push_back(&m);
    } else {
        // The shared lands are in no square's list: a few dozen boxes to try.
        for (const int i : c.indicesComunes)
            if (c.municipios[size_t(i)].Cerca(lon, lat, kMargen))
                candidatos.push_back(&c.municipios[size_t(i)]);
    }

    struct Hallado {
        int id;
        bool dentro;
        double distancia;
    };
    std::vector<Hallado> hallados;
    bool cercaDeComun = false;
    for (const Municipio *m : candidatos) {
        if (!m->Cerca(lon, lat, kMargen)) continue;
        const bool dentro = m->Contiene(lon, lat);
        const double d = m->Distancia(lon, lat);
        if (!dentro && d > kMargen) continue;
        if (m->id / 1000 == kTierrasComunes) {
            cercaDeComun = true;
            if (dentro) r.tierraComun = c.comunes.value(m->id);
        } else {
            hallados.push_back({m->id, dentro, d});
        }
    }
    std::sort(hallados.begin(), hallados.end(), [](const Hallado &a, const Hallado &b) {
        if (a.dentro != b.dentro) return a.dentro;
        return a.distancia < b.distancia;
    });
    for (const Hallado &h : hallados)
        r.municipios << h.id;
    if (hallados.empty())
        r.resultado = Resultado::Ninguno;
    else if (hallados.size() == 1 && hallados[0].dentro && !cercaDeComun)
        r.resultado = Resultado::Uno;
    else
        r.resultado = Resultado::Varios; // near another's boundary, or just off a coast
    return r;
}

QString MunicipalityLocator::Describir(const Lugar &lugar) {
    if (lugar.resultado == Resultado::Error) return error();
    if (lugar.resultado == Resultado::Ninguno && !lugar.tierraComun.isEmpty())
        return QStringLiteral("ninguno: el punto está en tierras compartidas por varios "
                              "municipios (%1)")
            .arg(lugar.tierraComun);
    if (lugar.resultado == Resultado::Ninguno)
        return QStringLiteral("ninguno: el punto está en el mar o fuera de España");
    QStringList nombres;
    for (int id : lugar.municipios) {
        const auto n = Primero(QStringLiteral("SELECT m.muni || ' (' || coalesce(p.prov_cast, '') "
                                              "|| ')' FROM tmunicipio m LEFT JOIN tprovincia p ON "
                                              "p.id_prov = m.prov WHERE m.id_muni = ?"),
                               {id});
        if (fallo()) return error();
        nombres << (n ? n->toString() : QString::number(id));
    }
    if (lugar.resultado == Resultado::Uno) return nombres.first();
    return QStringLiteral("uno de estos (a menos de %1 m de un límite): %2")
        .arg(int(kMargen))
        .arg(nombres.join(QStringLiteral(", ")));
}

std::optional<double> MunicipalityLocator::Fuera(int idMuni, double lat, double lon) {
    const Contornos &c = Contornos::Todos();
    const auto i = c.indice.constFind(idMuni);
    if (i == c.indice.cend() || !std::isfinite(lat) || !std::isfinite(lon)) return std::nullopt;
    const Municipio &m = c.municipios[size_t(*i)];
    return m.Contiene(lon, lat) ? 0.0 : m.Distancia(lon, lat);
}

QList<QList<QPointF>> MunicipalityLocator::Anillos(int idMuni) {
    QList<QList<QPointF>> r;
    const Contornos &c = Contornos::Todos();
    const auto i = c.indice.constFind(idMuni);
    if (i == c.indice.cend()) return r;
    for (const auto &a : c.municipios[size_t(*i)].anillos)
        r << QList<QPointF>(a.begin(), a.end());
    return r;
}

QList<int> MunicipalityLocator::Municipios() {
    QList<int> r;
    for (const Municipio &m : Contornos::Todos().municipios)
        if (m.id / 1000 != kTierrasComunes) r << m.id;
    return r;
}
