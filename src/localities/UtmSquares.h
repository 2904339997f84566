#pragma once

#include <QString>
#include <optional>

class QSqlDatabase;

// The 10-km and 1-km squares of a UTM position: the letters come from the 100-km band tables
// of the database, the digits are those of the coordinates read as whole numbers.
namespace Utm {

enum class Resultado {
    Calculado,         // both codes composed
    Nada,              // zone empty and a coordinate missing: nothing to say
    FaltaHuso,         // zone empty, both coordinates given
    FaltanCoordenadas, // zone given, a coordinate missing
    NoEnteras,         // a coordinate is not a whole non-negative number
    EsteNoExiste,      // easting below every band of the zone, or zone unknown
    NorteNoExiste,     // northing below every band of the zone
    ErrorBaseDatos,    // a lookup failed
};

struct Cuadrados {
    Resultado resultado = Resultado::Nada;
    QString utm10k;
    QString utm1k;
    // The coordinates as whole numbers, without leading zeros; empty when they are not.
    QString este;
    QString norte;
    QString mensaje; // for the form's message label; empty when there is nothing to say
};

// Zone, easting and northing texts as they stand in the form's controls.
Cuadrados CalcularCuadrados(const QSqlDatabase &db, const QString &huso, const QString &x,
                            const QString &y);

// A square as a place: its zone, south-west corner and side in metres.
struct Cuadro {
    int huso = 0;
    qint64 este = 0;
    qint64 norte = 0;
    int lado = 0;
};

// The square of a 10-km or 1-km code ("VK47", "VK4074"; a zone and latitude band in front,
// "30TVK47", are allowed and must agree with the zone) through the same band tables the
// codes are made from. Nothing, with the reason in *error, when the code is not one.
std::optional<Cuadro> CuadroDe(const QSqlDatabase &db, const QString &huso, const QString &codigo,
                               QString *error);

} // namespace Utm
