#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <vector>

struct Punto {
    double lon = 0;
    double lat = 0;
};

using Anillo = std::vector<Punto>;

// One feature of a TopoJSON object: every ring of its polygons, outer rings and holes alike.
struct Territorio {
    QString id;
    QString nombre;
    std::vector<Anillo> anillos;
    double minLon = 0, maxLon = 0, minLat = 0, maxLat = 0;

    // Even-odd rule over all rings, so holes and separate parts need no special case.
    bool Contiene(double lon, double lat) const;
};

class TopoJson {
public:
    bool Leer(const QString &ruta, QString *error);
    // Features of the named object; false when the object is missing.
    bool Territorios(const QString &objeto, std::vector<Territorio> *salida, QString *error) const;
    // Douglas-Peucker on every arc, ends kept: neighbours sharing an arc stay joined.
    // Tolerance in degrees of latitude; longitudes are shrunk by the cosine of 40 degrees.
    void Simplificar(double tolerancia);
    // The quantization of the source: lon = tx + sx * i, lat = ty + sy * j; false if none.
    bool Transformacion(double *sx, double *sy, double *tx, double *ty) const;

private:
    Anillo AnilloDeArcos(const QJsonArray &indices) const;

    QJsonObject raiz_;
    std::vector<Anillo> arcos_;
    double sx_ = 0, sy_ = 0, tx_ = 0, ty_ = 0;
};
