#pragma once

#include <QString>
#include <memory>
#include <optional>

// Conversions between latitude/longitude and UTM on ETRS89, and from ED50 to ETRS89,
// through PROJ with the network off. One object holds one PROJ context: not to be shared
// between threads.
class Geodesy {
public:
    struct Geograficas {
        double lat = 0; // degrees, north positive
        double lon = 0; // degrees, east positive
    };
    struct Utm {
        int huso = 0;
        double este = 0;
        double norte = 0;
    };
    // The datum transformation PROJ used: its name, its authority code and its stated
    // accuracy in metres (negative when PROJ states none).
    struct Transformacion {
        QString nombre;
        QString codigo;
        double precision = -1;
    };
    struct Cambio {
        Geograficas etrs89;
        Transformacion transformacion;
    };

    Geodesy();
    ~Geodesy();
    Geodesy(const Geodesy &) = delete;
    Geodesy &operator=(const Geodesy &) = delete;

    // The UTM zone of a longitude (the standard 6-degree zones, without the Norwegian
    // exceptions, which lie far from Spain).
    static int HusoDe(double lon);

    // ETRS89 latitude/longitude to UTM ETRS89 in the zone of its longitude, or in a given one.
    std::optional<Utm> AUtm(const Geograficas &g) const;
    std::optional<Utm> AUtm(const Geograficas &g, int huso) const;
    // UTM ETRS89 to latitude/longitude.
    std::optional<Geograficas> AGeograficas(const Utm &u) const;

    // ED50 latitude/longitude, or ED50 UTM, to ETRS89 latitude/longitude through the most
    // accurate transformation installed for that place.
    std::optional<Cambio> DesdeEd50(const Geograficas &ed50) const;
    std::optional<Cambio> DesdeEd50(const Utm &ed50) const;

    // Why the last call gave nothing, for the user.
    QString error() const { return error_; }

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    mutable QString error_;
};
