#pragma once

// The known observations of the map tests, on the real reference data: squares in zones
// 28 to 31, a square stored in lower case without its zone, one of another zone, an
// unknown code in lower case, a locality without a square and one that is gone.

#include "support/TestDatabase.h"

#include <QTest>

using namespace Qt::StringLiterals;

inline void SembrarMapa(const TestDatabase &bd) {
    QVERIFY(bd.Ejecutar(u"INSERT INTO observador (cod_observador, nombre, apellido) VALUES "
                        "('ANA', 'Ana', 'Pérez'), ('JUL', 'Juliana', 'Ruiz'), ('ALV', 'Álvaro', "
                        "'Gil')"_s));
    QVERIFY(bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad, utmhuso, utm10k) VALUES "
                        "('L1', 'Sol', '30', 'VK47'), ('L2', 'Ávila', '30', 'UK59'), ('L3', "
                        "'Plaça', '31', 'DF38'), ('L4', 'Obradoiro', '29', 'NH34'), ('L5', 'Sin "
                        "cuadrado', '30', NULL), ('L6', 'Inventado', '30', 'zz99'), ('L7', 'Otro "
                        "huso', '29', 'VK47'), ('L8', 'Antigua', '', 'vk47'), ('L9', 'La Orotava', "
                        "'28', 'CS42')"_s));
    QVERIFY(bd.Ejecutar(
        u"INSERT INTO observacion (especie, fecha, localidad, observador1, observador2) VALUES "
        "('BUFSPI', '1995-04-01', 'L1', 'ANA', ''), ('BUFSPI', '2010-05-02', 'L1', 'JUL', ''), "
        "('VIPLAT', '2020-06-03', 'L1', 'ANA', 'JUL'), ('BUFSPI', '2016-01-01', 'L2', 'ALV', ''), "
        "('PODLIO', '2005-03-03', 'L3', 'ANA', ''), ('PODATR', '2018-03-03', 'L3', 'JUL', ''), "
        "('BUFSPI', '1990-01-01', 'L4', 'JUL', ''), ('BUFSPI', '2012-01-01', 'L5', 'ANA', ''), "
        "('VIPLAT', '2001-01-01', 'L6', 'ANA', ''), ('BUFSPI', '2003-01-01', 'L7', 'ALV', ''), "
        "('VIPLAT', '2019-01-01', 'L8', 'ALV', ''), ('BUFSPI', '2014-05-05', 'L9', 'ALV', ''), "
        "('BUFSPI', '2011-01-01', 'GONE', 'ANA', '')"_s));
}
