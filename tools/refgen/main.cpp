// Builds the geographic reference tables (provinces, municipalities, 100-km bands, 10-km
// squares per municipality and province) and the UTM test vectors from the es-atlas
// municipality boundaries.
//
//   refgen <es-atlas>/es/municipalities.json <output folder>
//   refgen --contornos <es-atlas>/es/municipalities.json <output folder>: province outlines
//   refgen --municipios <es-atlas>/es/municipalities.json <output folder>: municipal boundaries

#include "Cuadricula.h"
#include "TopoJson.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

namespace {

constexpr double kMetrosGradoLat = 110574.0;
constexpr double kMetrosGradoLon = 111320.0;
// Boundary edges are walked in steps of this length, so no square they cross is missed.
constexpr double kPasoBorde = 50.0;
// The boundaries are simplified and quantized (vertices on a ~200 m lattice): a square is
// also given to a territory whose boundary passes this close to it, so that a true locality
// near a boundary is never refused.
constexpr double kHolgura = 250.0;
// Interior test grid, about 400 m: it only has to find squares lying wholly inside.
constexpr double kPasoLon = 0.0045;
constexpr double kPasoLat = 0.0036;
constexpr double kOrigenLon = -19.0;
constexpr double kOrigenLat = 27.0;
// Douglas-Peucker tolerance of the municipal boundaries, in degrees of latitude (about 90 m;
// at most about 105 m on the ground in the Canaries, where longitudes shrink least).
constexpr double kToleranciaMunicipios = 0.0008;

[[noreturn]] void Fallar(const QString &texto) {
    std::fprintf(stderr, "refgen: %s\n", qPrintable(texto));
    std::exit(1);
}

QString CampoCsv(const QString &v) {
    if (!v.contains(u',') && !v.contains(u'"') && !v.contains(u'\n') && !v.contains(u'\r'))
        return v;
    return u'"' + QString(v).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

void EscribirCsv(const QString &carpeta, const QString &tabla, const QStringList &columnas,
                 const QList<QStringList> &filas) {
    QFile f(QDir(carpeta).filePath(tabla + QStringLiteral(".csv")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) Fallar(f.fileName() + f.errorString());
    QByteArray texto;
    auto linea = [&texto](const QStringList &campos) {
        QStringList q;
        for (const QString &c : campos)
            q << CampoCsv(c);
        texto += q.join(u',').toUtf8() + '\n';
    };
    linea(columnas);
    for (const QStringList &fila : filas)
        linea(fila);
    if (f.write(texto) != texto.size()) Fallar(f.fileName() + f.errorString());
    std::printf("%-22s %6lld rows\n", qPrintable(tabla + QStringLiteral(".csv")),
                (long long)filas.size());
}

// Distance in metres from a point to the nearest boundary of a territory.
double DistanciaBorde(const Territorio &t, double lon, double lat) {
    const double kx = kMetrosGradoLon * std::cos(lat * M_PI / 180.0), ky = kMetrosGradoLat;
    double mejor = 1e300;
    for (const Anillo &a : t.anillos) {
        for (size_t i = 0; i + 1 < a.size(); ++i) {
            const double ax = (a[i].lon - lon) * kx, ay = (a[i].lat - lat) * ky;
            const double bx = (a[i + 1].lon - lon) * kx, by = (a[i + 1].lat - lat) * ky;
            const double dx = bx - ax, dy = by - ay, l2 = dx * dx + dy * dy;
            double s = l2 > 0 ? -(ax * dx + ay * dy) / l2 : 0;
            s = std::clamp(s, 0.0, 1.0);
            const double px = ax + s * dx, py = ay + s * dy;
            mejor = std::min(mejor, px * px + py * py);
        }
    }
    return std::sqrt(mejor);
}

// Every point of the interior grid that lies in the territory.
template <typename F> void RecorrerInterior(const Territorio &t, F &&f) {
    const long i0 = long(std::ceil((t.minLon - kOrigenLon) / kPasoLon));
    const long i1 = long(std::floor((t.maxLon - kOrigenLon) / kPasoLon));
    const long j0 = long(std::ceil((t.minLat - kOrigenLat) / kPasoLat));
    const long j1 = long(std::floor((t.maxLat - kOrigenLat) / kPasoLat));
    for (long j = j0; j <= j1; ++j) {
        const double lat = kOrigenLat + j * kPasoLat;
        for (long i = i0; i <= i1; ++i) {
            const double lon = kOrigenLon + i * kPasoLon;
            if (t.Contiene(lon, lat)) f(lon, lat);
        }
    }
}

struct Comprobacion {
    const Cuadricula *cuadricula;
    long long puntos = 0;
    long long discrepancias = 0;
};

// Square of a point, each point in the zone of its own longitude.
Celda CeldaDe(double lon, double lat, Comprobacion *c) {
    const int huso = Cuadricula::HusoDe(lon);
    double x, y;
    Cuadricula::UtmExacta(lon, lat, huso, &x, &y);
    const long long e = (long long)std::floor(x), n = (long long)std::floor(y);
    const Celda celda{huso, int(e / 10000), int(n / 10000)};
    // Every so often, the code as the program composes it against GeographicLib's MGRS.
    if (c && (c->puntos++ % 16) == 0) {
        if (c->cuadricula->Codigo10(huso, e, n) != Cuadricula::Mgrs(huso, x, y, 1))
            ++c->discrepancias;
    }
    return celda;
}

void CeldasDe(const Territorio &t, std::set<Celda> *celdas, Comprobacion *c, double *area) {
    for (const Anillo &a : t.anillos) {
        for (size_t i = 0; i < a.size(); ++i) {
            const Punto &p = a[i];
            const Punto &q = a[(i + 1) % a.size()];
            const double dx = (q.lon - p.lon) * kMetrosGradoLon * std::cos(p.lat * M_PI / 180.0);
            const double dy = (q.lat - p.lat) * kMetrosGradoLat;
            const int pasos = std::max(1, int(std::ceil(std::hypot(dx, dy) / kPasoBorde)));
            for (int k = 0; k < pasos; ++k) {
                const double s = double(k) / pasos;
                const double lon = p.lon + s * (q.lon - p.lon), lat = p.lat + s * (q.lat - p.lat);
                celdas->insert(CeldaDe(lon, lat, c));
                const double rlon = kHolgura / (kMetrosGradoLon * std::cos(lat * M_PI / 180.0));
                const double rlat = kHolgura / kMetrosGradoLat;
                for (int r = 0; r < 8 && kHolgura > 0; ++r) {
                    const double a = r * M_PI / 4;
                    celdas->insert(
                        CeldaDe(lon + rlon * std::cos(a), lat + rlat * std::sin(a), nullptr));
                }
            }
        }
    }
    *area = 0;
    RecorrerInterior(t, [&](double lon, double lat) {
        celdas->insert(CeldaDe(lon, lat, c));
        *area += kPasoLon * kMetrosGradoLon * std::cos(lat * M_PI / 180.0) * kPasoLat *
                 kMetrosGradoLat / 1e6;
    });
}

struct Vector {
    QString nombre;
    double lon, lat;
    int idMuni;
};

// The interior grid point farthest from the boundary (and, when a zone is given, from that
// zone's edges), refined on a finer grid around it.
bool PuntoProfundo(const Territorio &t, int husoExigido, double *lon, double *lat, double *dist) {
    auto valor = [&](double lo, double la) {
        double d = DistanciaBorde(t, lo, la);
        if (husoExigido) {
            if (Cuadricula::HusoDe(lo) != husoExigido) return -1.0;
            const double oeste = -180.0 + (husoExigido - 1) * 6.0;
            const double k = kMetrosGradoLon * std::cos(la * M_PI / 180.0);
            d = std::min({d, (lo - oeste) * k, (oeste + 6.0 - lo) * k});
        }
        return d;
    };
    *dist = -1;
    RecorrerInterior(t, [&](double lo, double la) {
        const double d = valor(lo, la);
        if (d > *dist) *dist = d, *lon = lo, *lat = la;
    });
    if (*dist < 0) return false;
    const double clon = *lon, clat = *lat;
    for (int j = -8; j <= 8; ++j)
        for (int i = -8; i <= 8; ++i) {
            const double lo = clon + i * kPasoLon / 8, la = clat + j * kPasoLat / 8;
            if (!t.Contiene(lo, la)) continue;
            const double d = valor(lo, la);
            if (d > *dist) *dist = d, *lon = lo, *lat = la;
        }
    return true;
}

// Well-known places and the municipality each lies in: a check that codes and boundaries
// were read right, and extra test vectors.
struct Conocido {
    const char *nombre;
    double lon, lat;
    int idMuni;
};
const Conocido kConocidos[] = {
    {"Madrid, Puerta del Sol", -3.703790, 40.416775, 28079},
    {"Barcelona, Plaça de Catalunya", 2.170047, 41.387015, 8019},
    {"Sevilla, Giralda", -5.992591, 37.386207, 41091},
    {"Valencia, Plaza del Ayuntamiento", -0.376288, 39.469907, 46250},
    {"Zaragoza, Plaza del Pilar", -0.877600, 41.656900, 50297},
    {"Bilbao, Plaza Moyúa", -2.934990, 43.262980, 48020},
    {"Santiago de Compostela, Obradoiro", -8.545060, 42.880470, 15078},
    {"Palma, catedral", 2.648300, 39.567500, 7040},
    {"Santa Cruz de Tenerife, Plaza de España", -16.247800, 28.467600, 38038},
    {"Las Palmas de Gran Canaria, Vegueta", -15.414600, 28.101400, 35016},
    {"Ceuta, Plaza de África", -5.316700, 35.888600, 51001},
    {"Melilla, Plaza de España", -2.937700, 35.292900, 52001},
};

// Islets that the source's simplification dropped (rings under about 1 km2), with the
// municipality each belongs to and a radius that covers it. Several hold lizard populations
// of their own, so their squares must be on offer.
struct Islote {
    const char *nombre;
    double lon, lat, radio;
    int idMuni;
};
const Islote kIslotes[] = {
    {"Illes Columbretes, Illa Grossa", 0.6860, 39.8960, 800, 12040},
    {"Illes Columbretes, sur", 0.6720, 39.8750, 1500, 12040},
    {"Isla de Alborán", -3.0350, 35.9395, 500, 4013},
    {"Nova Tabarca", -0.4735, 38.1660, 1000, 3014},
    {"Illes Medes", 3.2210, 42.0470, 500, 17199},
    {"Illa de Benidorm", -0.1300, 38.5010, 300, 3031},
    {"Isla Grosa", -0.7080, 37.7260, 400, 30035},
    {"Es Vedrà", 1.2025, 38.8680, 400, 7048},
    {"Es Vedranell", 1.2140, 38.8760, 300, 7048},
    {"Sa Conillera", 1.2150, 38.9900, 700, 7048},
    {"Tagomago", 1.6400, 39.0340, 500, 7054},
    {"S'Espalmador", 1.4300, 38.7850, 800, 7024},
    {"S'Espardell", 1.4750, 38.8000, 400, 7024},
    {"Illa de l'Aire", 4.2935, 39.8005, 500, 7052},
    {"Illa d'en Colom", 4.2790, 39.9590, 400, 7032},
    {"Illa del Toro", 2.4775, 39.4640, 200, 7011},
    {"Illes Malgrats", 2.5170, 39.4950, 300, 7011},
    {"Montaña Clara", -13.5380, 29.2970, 600, 35024},
    {"Roque del Este", -13.3330, 29.2750, 200, 35024},
};

// Area of a ring in square kilometres, near enough to drop islets from a drawing.
double AreaKm2(const Anillo &a) {
    double s = 0;
    for (size_t i = 0, j = a.size() - 1; i < a.size(); j = i++)
        s += (a[j].lon - a[i].lon) * (a[j].lat + a[i].lat);
    const double lat = a.empty() ? 40 : a[0].lat;
    return std::abs(s) / 2 * kMetrosGradoLat * kMetrosGradoLon * std::cos(lat * M_PI / 180) / 1e6;
}

// The base map of the distribution map: each province's rings, simplified to about 1.3 km,
// in lon/lat with four decimals. Islands under 2 km² are dropped, except in Ceuta and
// Melilla, which are small themselves.
int Contornos(const QString &topojson, const QString &salida) {
    TopoJson topo;
    QString error;
    if (!topo.Leer(topojson, &error)) Fallar(error);
    topo.Simplificar(0.012);
    std::vector<Territorio> provincias;
    if (!topo.Territorios(QStringLiteral("provinces"), &provincias, &error)) Fallar(error);
    std::sort(provincias.begin(), provincias.end(),
              [](const Territorio &a, const Territorio &b) { return a.id.toInt() < b.id.toInt(); });
    QByteArray texto = "# Province outlines for the distribution map, made by tools/refgen from "
                       "es-atlas 0.6.0\n"
                       "# (c) Instituto Geografico Nacional, CC BY 4.0. One ring a line: "
                       "id_prov, then lon lat pairs\n"
                       "# (ETRS89, REGCAN95 in the Canaries), simplified to about 1.3 km.\n";
    int anillos = 0, puntos = 0;
    for (const Territorio &p : provincias) {
        const int id = p.id.toInt();
        if (id < 1 || id > 52) continue;
        for (Anillo a : p.anillos) {
            if (a.size() > 1 && a.front().lon == a.back().lon && a.front().lat == a.back().lat)
                a.pop_back();
            if (a.size() < 3 || (id < 51 && AreaKm2(a) < 2.0)) continue;
            texto += QByteArray::number(id);
            for (const Punto &pt : a)
                texto += ' ' + QByteArray::number(pt.lon, 'f', 4) + ' ' +
                         QByteArray::number(pt.lat, 'f', 4);
            texto += '\n';
            ++anillos;
            puntos += int(a.size());
        }
    }
    QFile f(QDir(salida).filePath(QStringLiteral("contornos_provincias.txt")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(texto) != texto.size())
        Fallar(f.fileName() + f.errorString());
    std::printf("contornos_provincias.txt %d rings, %d points\n", anillos, puntos);
    return 0;
}

// The municipalities' boundaries for finding the municipality of a point: every ring of every
// municipality, each shared arc simplified once (so neighbours stay joined), written on the
// source's own integer lattice: the first point of a ring as lattice numbers, the rest as
// steps from the point before. Islets are kept: a point on one must find its municipality.
int Municipios(const QString &topojson, const QString &salida, double tolerancia) {
    TopoJson topo;
    QString error;
    if (!topo.Leer(topojson, &error)) Fallar(error);
    double sx, sy, tx, ty;
    if (!topo.Transformacion(&sx, &sy, &tx, &ty)) Fallar(QStringLiteral("not quantized"));
    topo.Simplificar(tolerancia);
    std::vector<Territorio> todos;
    if (!topo.Territorios(QStringLiteral("municipalities"), &todos, &error)) Fallar(error);
    // Municipalities, and the lands shared by several of them (53xxx), which belong to none:
    // a point there must not pass for one at sea or abroad.
    std::vector<const Territorio *> municipios;
    for (const Territorio &t : todos)
        if (t.id.size() == 5 && t.id.toInt() / 1000 >= 1 && t.id.toInt() / 1000 <= 53)
            municipios.push_back(&t);
    std::sort(municipios.begin(), municipios.end(),
              [](auto *a, auto *b) { return a->id.toInt() < b->id.toInt(); });
    QByteArray texto =
        "# Municipal boundaries for locating points, made by tools/refgen --municipios from\n"
        "# es-atlas 0.6.0, (c) Instituto Geografico Nacional, CC BY 4.0 (ETRS89, REGCAN95 in the\n"
        "# Canaries). Arcs simplified by Douglas-Peucker to " +
        QByteArray::number(tolerancia * kMetrosGradoLat, 'f', 0) +
        " m. Line 'T sx sy tx ty': lon = tx + sx * i,\n"
        "# lat = ty + sy * j. Then one ring a line: id_muni, i j of the first point, then the\n"
        "# steps di dj to each next point. Even-odd rule over a municipality's rings. Lands\n"
        "# shared by several municipalities (53xxx) are named on lines 'N id name'.\n";
    texto += "T " + QByteArray::number(sx, 'g', 17) + ' ' + QByteArray::number(sy, 'g', 17) + ' ' +
             QByteArray::number(tx, 'g', 17) + ' ' + QByteArray::number(ty, 'g', 17) + '\n';
    long long anillos = 0, puntos = 0;
    for (const Territorio *t : municipios) {
        if (t->id.toInt() / 1000 == 53)
            texto += "N " + t->id.toUtf8() + ' ' + t->nombre.simplified().toUtf8() + '\n';
        for (Anillo a : t->anillos) {
            if (a.size() > 1 && a.front().lon == a.back().lon && a.front().lat == a.back().lat)
                a.pop_back();
            if (a.size() < 3) continue;
            texto += QByteArray::number(t->id.toInt());
            long long pi = 0, pj = 0;
            for (size_t k = 0; k < a.size(); ++k) {
                const long long i = std::llround((a[k].lon - tx) / sx);
                const long long j = std::llround((a[k].lat - ty) / sy);
                texto += ' ' + QByteArray::number(i - pi) + ' ' + QByteArray::number(j - pj);
                pi = i;
                pj = j;
            }
            texto += '\n';
            ++anillos;
            puntos += (long long)a.size();
        }
    }
    QFile f(QDir(salida).filePath(QStringLiteral("contornos_municipios.txt")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(texto) != texto.size())
        Fallar(f.fileName() + f.errorString());
    std::printf("contornos_municipios.txt %zu territories, %lld rings, %lld points, %lld bytes\n",
                municipios.size(), anillos, puntos, (long long)texto.size());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QStringLiteral("--contornos"))
        return Contornos(args.at(2), args.at(3));
    if (args.size() == 4 && args.at(1) == QStringLiteral("--municipios"))
        return Municipios(args.at(2), args.at(3), kToleranciaMunicipios);
    if (args.size() != 3)
        Fallar(QStringLiteral(
            "usage: refgen [--contornos|--municipios] municipalities.json output-folder"));
    const QString salida = args.at(2);
    if (!QDir().mkpath(salida)) Fallar(QStringLiteral("cannot create ") + salida);

    TopoJson topo;
    QString error;
    std::vector<Territorio> todos, provinciasTopo;
    if (!topo.Leer(args.at(1), &error) ||
        !topo.Territorios(QStringLiteral("municipalities"), &todos, &error) ||
        !topo.Territorios(QStringLiteral("provinces"), &provinciasTopo, &error))
        Fallar(error);

    // Provinces 01-50 plus Ceuta (51) and Melilla (52); Gibraltar and the shared lands
    // that belong to no single municipality (53xxx) are left out.
    std::map<int, QString> provincias;
    for (const Territorio &p : provinciasTopo) {
        const int id = p.id.toInt();
        if (id >= 1 && id <= 52) provincias[id] = p.nombre;
    }
    if (provincias.size() != 52) Fallar(QStringLiteral("expected 52 provinces"));

    std::vector<const Territorio *> municipios, excluidos;
    for (const Territorio &t : todos) {
        const int id = t.id.toInt();
        if (t.id.size() == 5 && provincias.count(id / 1000))
            municipios.push_back(&t);
        else
            excluidos.push_back(&t);
    }
    std::sort(municipios.begin(), municipios.end(),
              [](auto *a, auto *b) { return a->id.toInt() < b->id.toInt(); });

    const Cuadricula cuadricula = Cuadricula::DesdeMgrs();
    Comprobacion comprobacion{&cuadricula};

    std::map<int, std::set<Celda>> celdasMuni;
    std::map<int, double> area;
    std::set<Celda> todasCeldas;
    for (const Territorio *t : municipios) {
        double a;
        std::set<Celda> &c = celdasMuni[t->id.toInt()];
        CeldasDe(*t, &c, &comprobacion, &a);
        area[t->id.toInt()] = a;
        if (c.empty()) Fallar(t->id + QStringLiteral(" has no square"));
        todasCeldas.insert(c.begin(), c.end());
    }
    for (const Islote &k : kIslotes) {
        auto it = celdasMuni.find(k.idMuni);
        if (it == celdasMuni.end()) Fallar(QStringLiteral("no municipality %1").arg(k.idMuni));
        const size_t antes = it->second.size();
        const double rlon = k.radio / (kMetrosGradoLon * std::cos(k.lat * M_PI / 180.0));
        const double rlat = k.radio / kMetrosGradoLat;
        for (int j = -10; j <= 10; ++j)
            for (int i = -10; i <= 10; ++i)
                if (i * i + j * j <= 100)
                    it->second.insert(
                        CeldaDe(k.lon + rlon * i / 10, k.lat + rlat * j / 10, nullptr));
        todasCeldas.insert(it->second.begin(), it->second.end());
        std::printf("  islet %-34s %zu new square(s)\n", k.nombre, it->second.size() - antes);
    }
    std::set<Celda> soloExcluidos;
    for (const Territorio *t : excluidos) {
        std::set<Celda> c;
        double a;
        CeldasDe(*t, &c, nullptr, &a);
        for (const Celda &x : c)
            if (!todasCeldas.count(x)) soloExcluidos.insert(x);
    }
    if (comprobacion.discrepancias)
        Fallar(QStringLiteral("%1 codes differ from MGRS").arg(comprobacion.discrepancias));

    // Outputs.
    QList<QStringList> filas;
    for (const auto &[id, nombre] : provincias)
        filas << QStringList{QString::number(id), nombre};
    EscribirCsv(salida, QStringLiteral("tprovincia"), {"id_prov", "prov_cast"}, filas);

    filas.clear();
    for (const Territorio *t : municipios) {
        const int id = t->id.toInt();
        filas << QStringList{QString::number(id), t->nombre, QString::number(id / 1000)};
    }
    EscribirCsv(salida, QStringLiteral("tmunicipio"), {"id_muni", "muni", "prov"}, filas);

    filas.clear();
    for (const auto &[huso, bandas] : cuadricula.Este())
        for (const auto &[min, letra] : bandas)
            filas << QStringList{QString::number(huso), QString::number(min), letra};
    EscribirCsv(salida, QStringLiteral("tutm100keste"), {"huso", "utmxmin", "utm100e"}, filas);

    filas.clear();
    for (const auto &[huso, bandas] : cuadricula.Norte())
        for (const auto &[min, letra] : bandas)
            filas << QStringList{QString::number(huso), QString::number(min), letra};
    EscribirCsv(salida, QStringLiteral("tutm100knorte"), {"huso", "utmymin", "utm100n"}, filas);

    auto codigo = [&](const Celda &c) {
        return cuadricula.Codigo10(c.huso, (long long)c.e10 * 10000, (long long)c.n10 * 10000);
    };

    filas.clear();
    std::map<int, std::set<QString>> codigosProv;
    for (const auto &[id, celdas] : celdasMuni) {
        std::set<QString> codigos;
        for (const Celda &c : celdas)
            codigos.insert(codigo(c));
        for (const QString &k : codigos) {
            filas << QStringList{k, QString::number(id)};
            codigosProv[id / 1000].insert(k);
        }
    }
    EscribirCsv(salida, QStringLiteral("tutm10kmunis"), {"utm10", "id_muni"}, filas);

    filas.clear();
    for (const auto &[id, codigos] : codigosProv)
        for (const QString &k : codigos)
            filas << QStringList{k, QString::number(id)};
    EscribirCsv(salida, QStringLiteral("tutm10kprovincia"), {"utm10", "id_prov"}, filas);

    // Test vectors: a deep point of each province's largest municipality, one per zone
    // where no province point falls, and the well-known places.
    std::map<int, const Territorio *> porId;
    for (const Territorio *t : municipios)
        porId[t->id.toInt()] = t;
    std::vector<Vector> vectores;
    std::set<int> husosCubiertos;
    for (const auto &[prov, nombreProv] : provincias) {
        int mayor = 0;
        for (const auto &[id, a] : area)
            if (id / 1000 == prov && (mayor == 0 || a > area[mayor])) mayor = id;
        double lon, lat, d;
        if (!PuntoProfundo(*porId[mayor], 0, &lon, &lat, &d))
            Fallar(QStringLiteral("no inner point in %1").arg(mayor));
        vectores.push_back(
            {porId[mayor]->nombre + QStringLiteral(" (") + nombreProv + QStringLiteral(")"), lon,
             lat, mayor});
        husosCubiertos.insert(Cuadricula::HusoDe(lon));
    }
    for (int huso = Cuadricula::kHusoMin; huso <= Cuadricula::kHusoMax; ++huso) {
        if (husosCubiertos.count(huso)) continue;
        const Territorio *mejor = nullptr;
        double mejorD = -1, mejorLon = 0, mejorLat = 0;
        for (const Territorio *t : municipios) {
            if (Cuadricula::HusoDe(t->minLon) > huso || Cuadricula::HusoDe(t->maxLon) < huso)
                continue;
            double lon, lat, d;
            if (PuntoProfundo(*t, huso, &lon, &lat, &d) && d > mejorD)
                mejor = t, mejorD = d, mejorLon = lon, mejorLat = lat;
        }
        if (!mejor) Fallar(QStringLiteral("no land in zone %1").arg(huso));
        vectores.push_back({QStringLiteral("Huso %1: %2").arg(huso).arg(mejor->nombre), mejorLon,
                            mejorLat, mejor->id.toInt()});
    }
    for (const Conocido &k : kConocidos) {
        const Territorio *t = porId.count(k.idMuni) ? porId[k.idMuni] : nullptr;
        if (!t || !t->Contiene(k.lon, k.lat))
            Fallar(QStringLiteral("%1 is not inside %2").arg(k.nombre).arg(k.idMuni));
        vectores.push_back({QString::fromUtf8(k.nombre), k.lon, k.lat, k.idMuni});
    }

    filas.clear();
    for (Vector &v : vectores) {
        // Everything is derived from the coordinates as written to the file.
        v.lon = std::round(v.lon * 1e6) / 1e6;
        v.lat = std::round(v.lat * 1e6) / 1e6;
        const int huso = Cuadricula::HusoDe(v.lon);
        double x, y;
        Cuadricula::UtmExacta(v.lon, v.lat, huso, &x, &y);
        const long long e = (long long)std::floor(x), n = (long long)std::floor(y);
        const QString utm10 = Cuadricula::Mgrs(huso, x, y, 1);
        const QString utm1 = Cuadricula::Mgrs(huso, x, y, 2);
        if (utm10 != cuadricula.Codigo10(huso, e, n) || utm1 != cuadricula.Codigo1(huso, e, n))
            Fallar(v.nombre + QStringLiteral(": band letters disagree with MGRS"));
        bool enLista = false;
        for (const Celda &c : celdasMuni[v.idMuni])
            enLista = enLista || codigo(c) == utm10;
        if (!enLista) Fallar(v.nombre + QStringLiteral(": square missing from its municipality"));
        const double d = DistanciaBorde(*porId[v.idMuni], v.lon, v.lat);
        std::printf("  %-58s %s %-6s %5.0f m from the boundary\n", qPrintable(v.nombre),
                    qPrintable(QString::number(huso)), qPrintable(utm1), d);
        filas << QStringList{v.nombre,
                             QString::number(v.lon, 'f', 6),
                             QString::number(v.lat, 'f', 6),
                             QString::number(huso),
                             QString::number(e),
                             QString::number(n),
                             utm10,
                             utm1,
                             QString::number(v.idMuni)};
    }
    EscribirCsv(salida, QStringLiteral("utm_vectors"),
                {"name", "lon", "lat", "huso", "easting", "northing", "utm10", "utm1k", "id_muni"},
                filas);

    std::set<QString> textos;
    std::map<QString, std::set<int>> husosDeCodigo;
    for (const Celda &c : todasCeldas) {
        textos.insert(codigo(c));
        husosDeCodigo[codigo(c)].insert(c.huso);
    }
    int repetidos = 0;
    for (const auto &[k, h] : husosDeCodigo)
        repetidos += h.size() > 1;
    int dosHusos = 0;
    for (const auto &[id, celdas] : celdasMuni)
        dosHusos += celdas.begin()->huso != celdas.rbegin()->huso;
    std::printf("municipalities in two zones: %d\n", dosHusos);
    std::printf("municipalities %zu, left out %zu\n", municipios.size(), excluidos.size());
    std::printf("squares: %zu in zones, %zu distinct codes, %d codes in two zones\n",
                todasCeldas.size(), textos.size(), repetidos);
    std::printf("squares touched only by left-out lands: %zu", soloExcluidos.size());
    for (const Celda &c : soloExcluidos)
        std::printf(" %d%s", c.huso, qPrintable(codigo(c)));
    std::printf("\nMGRS cross-checks: %lld points sampled\n", comprobacion.puntos / 16);
    return 0;
}
