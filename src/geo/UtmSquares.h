#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

class QSqlDatabase;

// The 10-km and 1-km squares of a UTM position: the letters come from the 100-km band tables
// of the database, the digits are those of the coordinates as whole numbers.
namespace Utm {

// One coordinate as the user typed it. Every form reads eastings and northings through this,
// so that what the squares come from, what is shown and what is stored agree.
struct Coordinate {
    enum class State {
        Vacia,    // nothing but blanks
        Entera,   // a whole non-negative number; blanks around and leading zeros allowed
        NoEntera, // anything else
        NoCabe,   // whole, but too long for any number the program keeps
    };
    State estado = State::Vacia;
    qint64 valor = 0;
    // The number's digits, without leading zeros, when it is whole.
    QString cifras() const { return estado == State::Entera ? QString::number(valor) : QString(); }
};
Coordinate LeerCoordenada(const QString &texto);

// A zone as the band tables name it: one or two digits, nothing else, blanks included.
std::optional<int> LeerHuso(const QString &texto);

enum class Outcome {
    Calculado,         // both codes composed
    Nada,              // zone empty and a coordinate missing: nothing to say
    FaltaHuso,         // zone empty, both coordinates given
    FaltanCoordenadas, // zone given, a coordinate missing
    NoEnteras,         // a coordinate is not a whole non-negative number
    EsteNoExiste,      // easting below every band of the zone, or zone unknown
    NorteNoExiste,     // northing below every band of the zone
    ErrorBaseDatos,    // a lookup failed
};

struct Squares {
    Outcome resultado = Outcome::Nada;
    QString utm10k;
    QString utm1k;
    QString mensaje; // for the form's message label; empty when there is nothing to say
};

// The squares of a position given as numbers.
Squares CalcularCuadrados(const QSqlDatabase &db, int huso, qint64 este, qint64 norte);

// A position as typed in a form: the zone, easting and northing read as the derivation reads
// them, with the outcome when they do not make a position.
struct Position {
    Outcome resultado = Outcome::Nada; // Calculado when the three were read
    int huso = 0;
    qint64 este = 0;
    qint64 norte = 0;
    QString mensaje;
};
Position LeerPosicion(const QString &huso, const QString &x, const QString &y);

// The squares of a position read by LeerPosicion; its outcome when it was not read.
Squares CuadradosDe(const QSqlDatabase &db, const Position &p);

// A square as a place: its zone, south-west corner and side in metres.
struct Square {
    int huso = 0;
    qint64 este = 0;
    qint64 norte = 0;
    int lado = 0;
};

// The square of a 10-km or 1-km code ("VK47", "VK4074"; a zone and latitude band in front,
// "30TVK47", are allowed and must agree with the zone) through the same band tables the
// codes are made from. Nothing, with the reason in *error, when the code is not one.
std::optional<Square> CuadroDe(const QSqlDatabase &db, const QString &huso, const QString &codigo,
                               QString *error);

} // namespace Utm
