#pragma once

#include "support/TestDatabase.h"

#include "atlas/MapGrid.h"

#include <QDate>
#include <QSqlQuery>
#include <QStringList>

// Localities spread over the grid's squares and observations of every species over 38 years,
// the common species far more often than the rare ones.
inline void PoblarMapa(const TestDatabase &bd, const MapGrid &grid, int observaciones,
                       int localidades) {
    QSqlDatabase db = bd.db();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO localidad (cod_localidad, localidad, utmhuso, utm10k) "
                             "VALUES (?, ?, ?, ?)"));
    const auto &cuadrados = grid.Cuadrados();
    for (int i = 0; i < localidades; ++i) {
        // Most localities on known squares; one in a hundred without one, one in a thousand
        // with a code the grid does not know.
        const auto &c = cuadrados[size_t((i * 7919) % int(cuadrados.size()))];
        q.addBindValue(QStringLiteral("L%1").arg(i));
        q.addBindValue(QStringLiteral("Localidad %1").arg(i));
        q.addBindValue(QString::number(c.huso));
        q.addBindValue(i % 100 == 1    ? QVariant()
                       : i % 1000 == 2 ? QVariant(QStringLiteral("ZZ99"))
                                       : QVariant(c.codigo));
        q.exec();
    }
    q.prepare(QStringLiteral("INSERT INTO observador (cod_observador, nombre, apellido) "
                             "VALUES (?, ?, 'Apellido')"));
    for (int i = 0; i < 200; ++i) {
        q.addBindValue(QStringLiteral("OB%1").arg(i));
        q.addBindValue(QStringLiteral("Nombre%1").arg(i));
        q.exec();
    }
    QStringList especies;
    QSqlQuery e(QStringLiteral("SELECT cod_especie FROM especie"), db);
    while (e.next())
        especies << e.value(0).toString();
    q.prepare(QStringLiteral("INSERT INTO observacion (observador1, fecha, especie, localidad) "
                             "VALUES (?, ?, ?, ?)"));
    for (int i = 0; i < observaciones; ++i) {
        q.addBindValue(QStringLiteral("OB%1").arg(i % 200));
        q.addBindValue(QDate(1985, 1, 1).addDays((i * 37) % 14000).toString(Qt::ISODate));
        // Common species far more often than rare ones, as in real records.
        q.addBindValue(especies[(i % 7 == 0 ? i / 7 : i % 20) % especies.size()]);
        q.addBindValue(QStringLiteral("L%1").arg((i * 31) % localidades));
        q.exec();
    }
    db.commit();
}
