#pragma once

// The known observations of the map tests, on the real reference data: squares in zones
// 28 to 31, a square stored in lower case without its zone, one of another zone, an
// unknown code, a locality without a square and one that is gone.

#include "support/TestDatabase.h"

#include <QTest>

using namespace Qt::StringLiterals;

inline void SembrarMapa(const TestDatabase &bd) {
    for (const auto &[cod, nombre, apellido] :
         {std::tuple{u"ANA"_s, u"Ana"_s, u"Pérez"_s}, std::tuple{u"JUL"_s, u"Juliana"_s, u"Ruiz"_s},
          std::tuple{u"ALV"_s, u"Álvaro"_s, u"Gil"_s}})
        QVERIFY(bd.Ejecutar(
            u"INSERT INTO observador (cod_observador, nombre, apellido) VALUES (?, ?, ?)"_s,
            {cod, nombre, apellido}));
    const QVariant nulo;
    for (const auto &[cod, nombre, huso, cuadrado] :
         {std::tuple{u"L1"_s, u"Sol"_s, QVariant(u"30"_s), QVariant(u"VK47"_s)},
          std::tuple{u"L2"_s, u"Ávila"_s, QVariant(u"30"_s), QVariant(u"UK59"_s)},
          std::tuple{u"L3"_s, u"Plaça"_s, QVariant(u"31"_s), QVariant(u"DF38"_s)},
          std::tuple{u"L4"_s, u"Obradoiro"_s, QVariant(u"29"_s), QVariant(u"NH34"_s)},
          std::tuple{u"L5"_s, u"Sin cuadrado"_s, QVariant(u"30"_s), nulo},
          std::tuple{u"L6"_s, u"Inventado"_s, QVariant(u"30"_s), QVariant(u"ZZ99"_s)},
          std::tuple{u"L7"_s, u"Otro huso"_s, QVariant(u"29"_s), QVariant(u"VK47"_s)},
          std::tuple{u"L8"_s, u"Antigua"_s, QVariant(u""_s), QVariant(u"vk47"_s)},
          std::tuple{u"L9"_s, u"La Orotava"_s, QVariant(u"28"_s), QVariant(u"CS42"_s)}})
        QVERIFY(bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad, utmhuso, utm10k) "
                            "VALUES (?, ?, ?, ?)"_s,
                            {cod, nombre, huso, cuadrado}));
    for (const auto &[especie, fecha, loc, obs1, obs2] :
         {std::tuple{u"BUFSPI"_s, u"1995-04-01"_s, u"L1"_s, u"ANA"_s, u""_s},
          std::tuple{u"BUFSPI"_s, u"2010-05-02"_s, u"L1"_s, u"JUL"_s, u""_s},
          std::tuple{u"VIPLAT"_s, u"2020-06-03"_s, u"L1"_s, u"ANA"_s, u"JUL"_s},
          std::tuple{u"BUFSPI"_s, u"2016-01-01"_s, u"L2"_s, u"ALV"_s, u""_s},
          std::tuple{u"PODLIO"_s, u"2005-03-03"_s, u"L3"_s, u"ANA"_s, u""_s},
          std::tuple{u"PODATR"_s, u"2018-03-03"_s, u"L3"_s, u"JUL"_s, u""_s},
          std::tuple{u"BUFSPI"_s, u"1990-01-01"_s, u"L4"_s, u"JUL"_s, u""_s},
          std::tuple{u"BUFSPI"_s, u"2012-01-01"_s, u"L5"_s, u"ANA"_s, u""_s},
          std::tuple{u"VIPLAT"_s, u"2001-01-01"_s, u"L6"_s, u"ANA"_s, u""_s},
          std::tuple{u"BUFSPI"_s, u"2003-01-01"_s, u"L7"_s, u"ALV"_s, u""_s},
          std::tuple{u"VIPLAT"_s, u"2019-01-01"_s, u"L8"_s, u"ALV"_s, u""_s},
          std::tuple{u"BUFSPI"_s, u"2014-05-05"_s, u"L9"_s, u"ALV"_s, u""_s},
          std::tuple{u"BUFSPI"_s, u"2011-01-01"_s, u"GONE"_s, u"ANA"_s, u""_s}})
        QVERIFY(bd.Ejecutar(u"INSERT INTO observacion (especie, fecha, localidad, observador1, "
                            "observador2) VALUES (?, ?, ?, ?, ?)"_s,
                            {especie, fecha, loc, obs1, obs2}));
}
