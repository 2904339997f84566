#include "geo/PositionParser.h"

#include <QTest>

using namespace Qt::StringLiterals;
using E = PositionParser::Estado;

class tst_PositionParser : public QObject {
    Q_OBJECT
private slots:
    void leer();
};

void tst_PositionParser::leer() {
    const double dmsLat = 40 + 25 / 60.0 + 0.5 / 3600, dmsLon = -(3 + 42 / 60.0 + 13.7 / 3600);
    const double dmLat = 40 + 25.008 / 60, dmLon = -(3 + 42.228 / 60);
    const struct {
        const char *nombre;
        QString texto;
        E estado;
        double lat = 0, lon = 0;
        bool intercambiada = false;
    } casos[] = {
        // Decimal degrees.
        {"punto y coma", u"40.4168, -3.7038"_s, E::Valida, 40.4168, -3.7038},
        {"comas decimales", u"40,4168 -3,7038"_s, E::Valida, 40.4168, -3.7038},
        {"sin blancos", u"40.4168,-3.7038"_s, E::Valida, 40.4168, -3.7038},
        {"letras detrás", u"40.4168N 3.7038W"_s, E::Valida, 40.4168, -3.7038},
        {"oeste en castellano", u"40.4168 n; 3.7038 O"_s, E::Valida, 40.4168, -3.7038},
        {"letras, longitud primero", u"3.7038W 40.4168N"_s, E::Valida, 40.4168, -3.7038},
        {"blancos sueltos", u"   40.4168  ;   -3.7038   "_s, E::Valida, 40.4168, -3.7038},
        {"signo y letra de acuerdo", u"-40.5S -3.5W"_s, E::Valida, -40.5, -3.5},
        // Degrees, minutes and seconds.
        {"gms con símbolos", u"40°25'0.5\"N 3°42'13.7\"W"_s, E::Valida, dmsLat, dmsLon},
        {"gms tipográficos", u"40º 25′ 0,5″ N, 3º 42′ 13,7″ O"_s, E::Valida, dmsLat, dmsLon},
        {"gms dos apóstrofos", u"40°25'0.5''N 3°42'13.7''W"_s, E::Valida, dmsLat, dmsLon},
        {"gms sin símbolos", u"40 25 0.5 N 3 42 13.7 W"_s, E::Valida, dmsLat, dmsLon},
        {"gms con signo", u"40 25 0,5 -3 42 13,7"_s, E::Valida, dmsLat, dmsLon},
        {"gms signo y grados", u"40°25'0.5\" -3°42'13.7\""_s, E::Valida, dmsLat, dmsLon},
        // Degrees and decimal minutes.
        {"gm letras delante", u"N 40° 25.008' W 3° 42.228'"_s, E::Valida, dmLat, dmLon},
        {"gm comas", u"N40 25,008 W3 42,228"_s, E::Valida, dmLat, dmLon},
        {"gm separados", u"40 25.008, -3 42.228"_s, E::Valida, dmLat, dmLon},
        // Swapped: valid, but the form will ask.
        {"intercambiadas", u"-3.70, 40.41"_s, E::Valida, -3.70, 40.41, true},
        {"fuera pero no intercambiadas", u"48.85, 2.35"_s, E::Valida, 48.85, 2.35},
        // Not positions.
        {"vacío", u"  "_s, E::Vacia},
        {"palabras", u"Fuente del Berro"_s, E::NoEntendida},
        {"un número", u"40.4168"_s, E::NoEntendida},
        {"tres números", u"40.1 -3.2 5"_s, E::NoEntendida},
        {"minutos de más", u"40°75' N 3°10' W"_s, E::NoEntendida},
        {"grados decimales con minutos", u"40.5° 25' N 3° W"_s, E::NoEntendida},
        {"dos latitudes", u"40.4N 3.7S"_s, E::NoEntendida},
        {"una sola letra", u"40.4N 3.7"_s, E::NoEntendida},
        {"símbolos desordenados", u"40'25° N 3° W"_s, E::NoEntendida},
        {"exponente", u"4e1, -3"_s, E::NoEntendida},
        // Out of range and contradictions.
        {"latitud de más", u"91, -3"_s, E::FueraDeRango},
        {"longitud de más", u"40, -181.5"_s, E::FueraDeRango},
        {"minutos llevan a más de 90", u"90 30 N 3 W"_s, E::FueraDeRango},
        {"signo contra norte", u"-40.4168N 3.7038W"_s, E::HemisferioContradictorio},
        {"signo contra este", u"40.4168N -3.7038E"_s, E::HemisferioContradictorio},
        {"más contra oeste", u"N 40 25 W +3 42"_s, E::HemisferioContradictorio},
        // The message lists the accepted forms.
    };
    for (const auto &c : casos) {
        const PositionParser::Lectura l = PositionParser::Leer(c.texto);
        QVERIFY2(l.estado == c.estado, c.nombre);
        QVERIFY2(PositionParser::PareceIntercambiada(l) == c.intercambiada, c.nombre);
        if (c.estado == E::Valida) {
            QVERIFY2(qAbs(l.lat - c.lat) < 1e-9 && qAbs(l.lon - c.lon) < 1e-9, c.nombre);
            QVERIFY2(l.mensaje.isEmpty(), c.nombre);
        } else if (c.estado == E::NoEntendida) {
            // The message lists the accepted forms.
            QVERIFY2(l.mensaje.contains(PositionParser::FormasAceptadas()), c.nombre);
        } else if (c.estado != E::Vacia) {
            QVERIFY2(!l.mensaje.isEmpty(), c.nombre);
        }
    }
}

QTEST_GUILESS_MAIN(tst_PositionParser)
#include "tst_PositionParser.moc"
