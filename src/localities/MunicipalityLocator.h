#pragma once

#include "data/Store.h"

#include <QHash>
#include <QList>
#include <memory>
#include <optional>

class Geodesy;

// The municipality of a point, from the municipal boundaries shipped with the program
// (refdata/contornos_municipios.txt). The candidates come from the point's 10-km square in
// the square-municipality table, then each is tested point in polygon. A point closer to a
// boundary than the boundaries can be trusted gets every municipality it may lie in.
class MunicipalityLocator : public Store {
public:
    // How far the shipped boundaries may lie from the true ones: the source's lattice
    // (about 190 by 180 m) and the simplification (under 105 m) together.
    static constexpr double kMargen = 250.0;

    enum class Resultado {
        Uno,     // inside one municipality, farther than kMargen from any other
        Varios,  // near a boundary: one of the candidates (perhaps just off a coast)
        Ninguno, // at sea or abroad, or on land shared by several municipalities
        Error,   // the table could not be read; error() says why
    };
    struct Lugar {
        Resultado resultado = Resultado::Ninguno;
        QList<int> municipios; // those containing the point first, then by distance
        // The land shared by several municipalities (53xxx) holding the point, which belongs
        // to none of them; empty elsewhere.
        QString tierraComun;
        // The point in UTM ETRS89 in the zone of its longitude, whole metres, and its squares
        // (empty where the band tables have none).
        int huso = 0;
        qint64 este = 0, norte = 0;
        QString utm10k, utm1k;
    };

    explicit MunicipalityLocator(QSqlDatabase db = QSqlDatabase());
    ~MunicipalityLocator();

    // Latitude and longitude on ETRS89 (WGS84 alike at the metre level).
    Lugar Localizar(double lat, double lon);

    // How far the point lies outside a municipality's shipped boundary, in metres: 0 inside
    // it; nothing when the municipality has no boundary.
    static std::optional<double> Fuera(int idMuni, double lat, double lon);

    // What the user reads: "Madrid (Madrid)", or "one of these" with the candidates.
    QString Describir(const Lugar &lugar);

    // The shipped boundaries, for tests and tools: the rings of a municipality as
    // longitude/latitude pairs; empty when it has none.
    static QList<QList<QPointF>> Anillos(int idMuni);
    static QList<int> Municipios();

private:
    std::unique_ptr<Geodesy> geo_;
    QHash<QString, QList<int>> porCuadrado_; // the table's rows, read once per square
    QHash<QString, QString> letras_;         // band letters by zone and 100-km cell
};
