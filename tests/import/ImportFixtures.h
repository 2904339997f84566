#pragma once

// What the import tests share: records around the Puerta del Sol and a point on a boundary.

#include "import/ImportReader.h"
#include "localities/MunicipalityLocator.h"

#include <QHash>
#include <QPointF>

#include <cmath>

// A point moved some metres east and north.
inline QPointF Desplazar(double lat, double lon, double este, double norte) {
    return {lon + este / (111320.0 * std::cos(lat * M_PI / 180.0)), lat + norte / 110574.0};
}

// A vertex that a municipality shares with exactly one other, moved 20 m: "one of these".
inline QPointF EnLimite(int muni) {
    QHash<QPair<double, double>, int> veces;
    for (int id : MunicipalityLocator::Municipios())
        for (const auto &anillo : MunicipalityLocator::Anillos(id))
            for (const QPointF &p : anillo)
                ++veces[{p.x(), p.y()}];
    for (const auto &anillo : MunicipalityLocator::Anillos(muni))
        for (const QPointF &p : anillo)
            if (veces.value({p.x(), p.y()}) == 2) return Desplazar(p.y(), p.x(), 20, 0);
    return {};
}

inline Import::Record Punto(int linea, QPointF p, const QString &nombre,
                            const QString &fecha = QStringLiteral("2024-05-03"),
                            const QString &desc = QString()) {
    Import::Record r;
    r.linea = linea;
    r.geograficas = true;
    r.lon = p.x();
    r.lat = p.y();
    r.fecha = QDate::fromString(fecha, Qt::ISODate);
    r.hora = QStringLiteral("10:00");
    r.especies << nombre;
    if (!desc.isEmpty()) r.especies << desc;
    r.lugar = nombre;
    r.descripcion = desc;
    return r;
}
