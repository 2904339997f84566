#pragma once

#include "support/TestDatabase.h"

#include <QDate>
#include <QSqlQuery>
#include <QStringList>

// A large database as a recording group would have: observations spread over 33 years,
// 500 observers, every species, the given number of localities.
inline void Poblar(const TestDatabase &bd, int observaciones, int localidades) {
    QSqlDatabase db = bd.db();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(
        QStringLiteral("INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmhuso, "
                       "utmx, utmy, utm1k, utm10k) VALUES (?, ?, 28, 28079, '30', 440291, "
                       "4474254, 'VK4074', 'VK47')"));
    for (int i = 0; i < localidades; ++i) {
        q.addBindValue(QStringLiteral("L%1").arg(i));
        q.addBindValue(QStringLiteral("Localidad %1 del arroyo").arg((i * 7919) % localidades));
        q.exec();
    }
    q.prepare(QStringLiteral("INSERT INTO observador (cod_observador, nombre, apellido, email) "
                             "VALUES (?, ?, 'Apellido', 'x@y.es')"));
    for (int i = 0; i < 500; ++i) {
        q.addBindValue(QStringLiteral("OB%1").arg(i));
        q.addBindValue(i % 10 == 0 ? QStringLiteral("Ana %1").arg(i) : QStringLiteral("Nombre"));
        q.exec();
    }
    QStringList especies;
    QSqlQuery e(QStringLiteral("SELECT cod_especie FROM especie"), db);
    while (e.next())
        especies << e.value(0).toString();
    q.prepare(QStringLiteral(
        "INSERT INTO observacion (observador1, fecha, horaini, horafin, periodo, meteo, viento, "
        "especie, numejemp, numaprox, estadio, conducta, descripcion, motivo, habitat, "
        "localidad) VALUES (?, ?, '10:00', '11:00', ?, 1, 2, ?, ?, ?, 1, 1, 'Junto al agua', "
        "'Muestreo', ?, ?)"));
    for (int i = 0; i < observaciones; ++i) {
        q.addBindValue(QStringLiteral("OB%1").arg(i % 500));
        q.addBindValue(QDate(1990, 1, 1).addDays(i % 12000).toString(Qt::ISODate));
        q.addBindValue(i % 7);
        q.addBindValue(especies[i % especies.size()]);
        q.addBindValue(i % 40);
        q.addBindValue(i % 2);
        q.addBindValue(i % 9);
        q.addBindValue(QStringLiteral("L%1").arg(i % localidades));
        q.exec();
    }
    q.exec(QStringLiteral("UPDATE DefaultObs SET cd_obs = 'OB1'"));
    db.commit();
}
