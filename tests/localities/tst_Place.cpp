#include "localities/Place.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The place rules the locality and observation forms share, without their widgets.
class tst_Place : public QObject {
    Q_OBJECT
private slots:
    void valores();
    void candidatos();
};

void tst_Place::valores() {
    // Coordinates as stored: blanks and leading zeros are not digits; an easting has at most
    // 7 digits and a northing 8; anything else is refused, never cut (what is no whole
    // number: the square derivation's table, through the same reading).
    const auto Leida = [](const Place::Coordinate &c) {
        if (c.fault == Place::Fault::NotWhole) return u"no entera"_s;
        if (c.fault == Place::Fault::TooLong) return u"larga"_s;
        return c.value.isNull() ? u"nula"_s : c.value.toString();
    };
    const QList<std::array<QString, 3>> coordenadas = {
        // text, as an easting, as a northing
        {"", "nula", "nula"},
        {"   ", "nula", "nula"},
        {" 0440316 ", "440316", "440316"},
        {"0000000001234567", "1234567", "1234567"},
        {"12345678", "larga", "12345678"},
        {"123456789", "larga", "larga"},
        {"99999999999999999999", "larga", "larga"},
        {"44O291", "no entera", "no entera"},
    };
    for (const auto &[texto, este, norte] : coordenadas)
        QCOMPARE(texto + u'|' + Leida(Place::ReadEasting(texto)) + u'|' +
                     Leida(Place::ReadNorthing(texto)),
                 texto + u'|' + este + u'|' + norte);

    // The uncertainty: whole metres from 1 to 20,000 km, and only for a point.
    const QString noEsNumero = u"La incertidumbre «%1» no es un número entero de metros entre 1 "
                               "y 20.000.000. Déjela vacía si no se conoce."_s;
    const QString sinPunto = u"La incertidumbre es la de un punto: escriba sus coordenadas o "
                             "deje vacía la incertidumbre."_s;
    // Text, whether a point is given, what is read.
    const QList<std::tuple<QString, bool, QString>> casos = {
        {"", false, "nula"},
        {"  ", true, "nula"},
        {" 25 ", true, "25"},
        {"20000000", true, "20000000"},
        {"25", false, sinPunto},
        {"0", true, noEsNumero.arg("0")},
        {"-5", true, noEsNumero.arg("-5")},
        {"12,5", true, noEsNumero.arg("12,5")},
        {"20000001", true, noEsNumero.arg("20000001")},
        {"0", false, noEsNumero.arg("0")},
    };
    for (const auto &[texto, punto, resultado] : casos) {
        QString motivo;
        const auto m = Place::ReadUncertainty(texto, punto, &motivo);
        QCOMPARE(texto + u'|' + (m ? (m->isNull() ? u"nula"_s : m->toString()) : motivo),
                 texto + u'|' + resultado);
    }

    // The point of zone, easting and northing as typed: Madrid's Puerta del Sol, and nothing
    // without a zone offered or a whole coordinate of at most eight digits.
    const Place lugar;
    const QList<std::array<QString, 4>> puntos = {
        {"30", "440291", "4474254", "40.4168, -3.7038"},
        {" 30 ", " 0440291 ", "4474254", "40.4168, -3.7038"},
        {"", "440291", "4474254", ""},
        {"32", "440291", "4474254", ""},
        {"30", "440291", "", ""},
        {"30", "123456789", "4474254", ""},
        {"30", "44O291", "4474254", ""},
    };
    for (const auto &[huso, este, norte, esperado] : puntos) {
        const auto p = lugar.Position(huso, este, norte);
        const QString visto =
            p ? u"%1, %2"_s.arg(p->lat, 0, 'f', 4).arg(p->lon, 0, 'f', 4) : QString();
        QCOMPARE(huso + u'|' + este + u'|' + visto, huso + u'|' + este + u'|' + esperado);
    }
}

void tst_Place::candidatos() {
    // Near a boundary the lists offer only the municipalities the point may lie in, while the
    // fields hold that point; a province with none of them offers all of its own.
    Place p;
    const QString punto = Place::PointKey(u"30"_s, u"436500"_s, u"4473500"_s);
    const QStringList madrid = {u"Alcalá de Henares"_s, u"Madrid"_s, u"Pozuelo de Alarcón"_s};
    QCOMPARE(p.OnlyCandidates(punto, u"Madrid"_s, madrid), madrid);
    p.SetCandidates({{u"Madrid"_s, u"Madrid"_s},
                     {u"Madrid"_s, u"Pozuelo de Alarcón"_s},
                     {u"Toledo"_s, u"Madrid"_s}},
                    punto);
    const QList<std::array<QString, 3>> pasos = {
        {"Madrid", "Alcalá de Henares,Madrid,Pozuelo de Alarcón", "Madrid,Pozuelo de Alarcón"},
        {"Ávila", "Ávila,Madrid", "Ávila,Madrid"},
        {"Toledo", "Madrid,Talavera", "Madrid"},
    };
    for (const auto &[provincia, todos, ofrecidos] : pasos)
        QCOMPARE(p.OnlyCandidates(punto, provincia, todos.split(u',')).join(u','), ofrecidos);
    // Other coordinates: the candidates are forgotten, also when the point comes back.
    const QString otro = Place::PointKey(u"30"_s, u"436501"_s, u"4473500"_s);
    QCOMPARE(p.OnlyCandidates(otro, u"Madrid"_s, madrid), madrid);
    QCOMPARE(p.OnlyCandidates(punto, u"Madrid"_s, madrid), madrid);
}

QTEST_MAIN(tst_Place)
#include "tst_Place.moc"
