#pragma once

#include <QString>

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

} // namespace Utm
