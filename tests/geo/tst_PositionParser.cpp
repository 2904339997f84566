#include "geo/PositionParser.h"

#include <QTest>

using namespace Qt::StringLiterals;
using E = PositionParser::Estado;

class tst_PositionParser : public QObject {
    Q_OBJECT
private slots:
    void leer_data();
    void leer();
};

void tst_PositionParser::leer_data() {
    QTest::addColumn<QString>("texto");
    QTest::addColumn<E>("estado");
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lon");
    QTest::addColumn<bool>("intercambiada");

    const double dmsLat = 40 + 25 / 60.0 + 0.5 / 3600, dmsLon = -(3 + 42 / 60.0 + 13.7 / 3600);
    const double dmLat = 40 + 25.008 / 60, dmLon = -(3 + 42.228 / 60);
    const auto fila = [](const char *nombre, const QString &t, E e, double lat = 0, double lon = 0,
                         bool intercambiada = false) {
        QTest::newRow(nombre) << t << e << lat << lon << intercambiada;
    };
    // Decimal degrees.
    fila("punto y coma", u"40.4168, -3.7038"_s, E::Valida, 40.4168, -3.7038);
    fila("comas decimales", u"40,4168 -3,7038"_s, E::Valida, 40.4168, -3.7038);
    fila("sin blancos", u"40.4168,-3.7038"_s, E::Valida, 40.4168, -3.7038);
    fila("letras detrás", u"40.4168N 3.7038W"_s, E::Valida, 40.4168, -3.7038);
    fila("oeste en castellano", u"40.4168 n; 3.7038 O"_s, E::Valida, 40.4168, -3.7038);
    fila("letras, longitud primero", u"3.7038W 40.4168N"_s, E::Valida, 40.4168, -3.7038);
    fila("blancos sueltos", u"   40.4168  ;   -3.7038   "_s, E::Valida, 40.4168, -3.7038);
    fila("signo y letra de acuerdo", u"-40.5S -3.5W"_s, E::Valida, -40.5, -3.5);
    // Degrees, minutes and seconds.
    fila("gms con símbolos", u"40°25'0.5\"N 3°42'13.7\"W"_s, E::Valida, dmsLat, dmsLon);
    fila("gms tipográficos", u"40º 25′ 0,5″ N, 3º 42′ 13,7″ O"_s, E::Valida, dmsLat, dmsLon);
    fila("gms dos apóstrofos", u"40°25'0.5''N 3°42'13.7''W"_s, E::Valida, dmsLat, dmsLon);
    fila("gms sin símbolos", u"40 25 0.5 N 3 42 13.7 W"_s, E::Valida, dmsLat, dmsLon);
    fila("gms con signo", u"40 25 0,5 -3 42 13,7"_s, E::Valida, dmsLat, dmsLon);
    fila("gms signo y grados", u"40°25'0.5\" -3°42'13.7\""_s, E::Valida, dmsLat, dmsLon);
    // Degrees and decimal minutes.
    fila("gm letras delante", u"N 40° 25.008' W 3° 42.228'"_s, E::Valida, dmLat, dmLon);
    fila("gm comas", u"N40 25,008 W3 42,228"_s, E::Valida, dmLat, dmLon);
    fila("gm separados", u"40 25.008, -3 42.228"_s, E::Valida, dmLat, dmLon);
    // Swapped: valid, but the form will ask.
    fila("intercambiadas", u"-3.70, 40.41"_s, E::Valida, -3.70, 40.41, true);
    fila("fuera pero no intercambiadas", u"48.85, 2.35"_s, E::Valida, 48.85, 2.35);
    // Not positions.
    fila("vacío", u"  "_s, E::Vacia);
    fila("palabras", u"Fuente del Berro"_s, E::NoEntendida);
    fila("un número", u"40.4168"_s, E::NoEntendida);
    fila("tres números", u"40.1 -3.2 5"_s, E::NoEntendida);
    fila("minutos de más", u"40°75' N 3°10' W"_s, E::NoEntendida);
    fila("grados decimales con minutos", u"40.5° 25' N 3° W"_s, E::NoEntendida);
    fila("dos latitudes", u"40.4N 3.7S"_s, E::NoEntendida);
    fila("una sola letra", u"40.4N 3.7"_s, E::NoEntendida);
    fila("símbolos desordenados", u"40'25° N 3° W"_s, E::NoEntendida);
    fila("exponente", u"4e1, -3"_s, E::NoEntendida);
    // Out of range and contradictions.
    fila("latitud de más", u"91, -3"_s, E::FueraDeRango);
    fila("longitud de más", u"40, -181.5"_s, E::FueraDeRango);
    fila("minutos llevan a más de 90", u"90 30 N 3 W"_s, E::FueraDeRango);
    fila("signo contra norte", u"-40.4168N 3.7038W"_s, E::HemisferioContradictorio);
    fila("signo contra este", u"40.4168N -3.7038E"_s, E::HemisferioContradictorio);
    fila("más contra oeste", u"N 40 25 W +3 42"_s, E::HemisferioContradictorio);
}

void tst_PositionParser::leer() {
    QFETCH(QString, texto);
    QFETCH(E, estado);
    QFETCH(double, lat);
    QFETCH(double, lon);
    QFETCH(bool, intercambiada);
    const PositionParser::Lectura l = PositionParser::Leer(texto);
    QCOMPARE(l.estado, estado);
    QCOMPARE(PositionParser::PareceIntercambiada(l), intercambiada);
    if (estado == E::Valida) {
        QVERIFY2(qAbs(l.lat - lat) < 1e-9, qPrintable(QString::number(l.lat, 'f', 10)));
        QVERIFY2(qAbs(l.lon - lon) < 1e-9, qPrintable(QString::number(l.lon, 'f', 10)));
        QVERIFY(l.mensaje.isEmpty());
    } else if (estado == E::NoEntendida) {
        // The message lists the accepted forms.
        QVERIFY(l.mensaje.contains(PositionParser::FormasAceptadas()));
    } else if (estado != E::Vacia) {
        QVERIFY(!l.mensaje.isEmpty());
    }
}

QTEST_GUILESS_MAIN(tst_PositionParser)
#include "tst_PositionParser.moc"
