#pragma once

#include "geo/Geodesy.h"

#include <QHash>
#include <QString>
#include <array>
#include <optional>
#include <vector>

class QSqlDatabase;

// A point of the map's plane, in metres: ETRS89 / UTM zone 30 for the peninsula, the
// Balearics, Ceuta and Melilla; the Canary Islands in zone 28, moved into an inset box
// below the peninsula's south-west as Spanish atlases draw them.
struct MapPoint {
    double x = 0;
    double y = 0;
};
using PoligonoMapa = std::vector<MapPoint>;

struct MapRect {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Contiene(MapPoint p) const { return p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1; }
};

// The 10-km squares of Spain (those of the reference tables) with their true shapes, the
// province outlines and the map's projection. Geodesy through PROJ.
class MapGrid {
public:
    struct Cuadrado {
        int huso = 0;
        QString codigo;               // VK47
        double este0 = 0, norte0 = 0; // south-west corner in its own zone
        PoligonoMapa poligono;        // cut at its zone's edges, in the map's plane
        MapRect caja;
        MapPoint centro;
    };
    struct Contorno {
        int provincia = 0;
        PoligonoMapa anillo;
    };

    // Reads the 100-km letters and the known squares from the database and the outlines
    // built into the program; false with error() set when something cannot be read.
    bool Cargar(const QSqlDatabase &db);
    QString error() const { return error_; }

    const std::vector<Cuadrado> &Cuadrados() const { return cuadrados_; }
    const std::vector<Contorno> &Contornos() const { return contornos_; }
    // Index of a known square; with huso 0 any zone. -1 when the grid does not know it.
    int Indice(const QString &codigo, int huso = 0) const;
    // The square drawn under a point of the plane, or -1.
    int CuadradoEn(MapPoint p) const;
    // The corners of a square in its own zone (south-west, south-east, north-east,
    // north-west) as latitude/longitude; nothing when the letters are not of that zone.
    std::optional<std::array<Geodesy::Geograficas, 4>> Esquinas(const QString &codigo,
                                                                int huso) const;
    // Latitude/longitude to the plane; the Canaries (west of 12.5 W, south of 30 N) go to
    // the inset.
    std::optional<MapPoint> AMapa(const Geodesy::Geograficas &g) const;
    // Everything drawn, and the inset's frame.
    MapRect Extension() const { return extension_; }
    MapRect Recuadro() const { return recuadro_; }

private:
    // South-west corner of a code's square in a zone; false when the letters are not there.
    bool Origen(const QString &codigo, int huso, double *este, double *norte) const;

    Geodesy geo_;
    std::vector<Cuadrado> cuadrados_;
    std::vector<Contorno> contornos_;
    QHash<QString, std::vector<int>> indice_;           // code -> squares (one per zone)
    QHash<int, QHash<QChar, double>> columnas_, filas_; // zone -> letter -> minimum
    MapRect extension_, recuadro_;
    QString error_;
};
