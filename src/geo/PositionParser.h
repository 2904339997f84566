#pragma once

#include <QString>

// A latitude and longitude typed as a naturalist's phone, GPS or notebook gives them:
// decimal degrees (decimal point or comma), degrees and decimal minutes, or degrees, minutes
// and seconds, with or without symbols, with hemisphere letters (N, S, E, W, O) or signs.
namespace PositionParser {

enum class Estado {
    Vacia,                    // nothing typed
    Valida,                   // lat and lon hold the position
    NoEntendida,              // no position in any accepted form
    FueraDeRango,             // latitude beyond 90 or longitude beyond 180
    HemisferioContradictorio, // a letter says the opposite of the sign
};

struct Lectura {
    Estado estado = Estado::Vacia;
    double lat = 0;
    double lon = 0;
    // Letters said which number is the latitude: the order cannot be a slip.
    bool conLetras = false;
    // Each coordinate as typed, latitude first.
    QString textoLat, textoLon;
    QString mensaje; // for the user when not valid
};

Lectura Leer(const QString &texto);

// Spain with the Canaries, Ceuta, Melilla and their waters, as a rough box.
bool EnEspana(double lat, double lon);
// A valid reading without letters that falls outside Spain but inside it with its two
// numbers exchanged.
bool PareceIntercambiada(const Lectura &l);
// The accepted forms, for messages.
QString FormasAceptadas();

} // namespace PositionParser
