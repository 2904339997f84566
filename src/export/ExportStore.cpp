#include "ExportStore.h"

#include "data/ModConex.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

QString ExportStore::Sentencia(Tabla tabla) const {
    switch (tabla) {
    case Tabla::Observadores:
        return QStringLiteral("SELECT * FROM observador ORDER BY cod_observador");
    case Tabla::Motivos:
        return QStringLiteral("SELECT * FROM motivo ORDER BY id_motivo");
    case Tabla::Observaciones:
        break;
    }
    // Every column of the observation but its UUID, in the table's own order; the two columns named
    // localidad are told apart in the header by their table's alias.
    const QSqlDatabase base = db();
    const QSqlRecord columnas = base.record(QStringLiteral("observacion"));
    const auto nombre = [&](const QString &n) {
        return base.driver()->escapeIdentifier(n, QSqlDriver::FieldName);
    };
    QStringList lista;
    for (int i = 0; i < columnas.count(); ++i) {
        const QString c = columnas.fieldName(i);
        // The published identifier is no part of the association's file.
        if (c.compare(QLatin1String("uuid"), Qt::CaseInsensitive) == 0) continue;
        lista << (c.compare(QLatin1String("localidad"), Qt::CaseInsensitive) == 0
                      ? QStringLiteral("o.") + nombre(c) + QStringLiteral(" AS \"o.localidad\"")
                      : QStringLiteral("o.") + nombre(c));
    }
    if (lista.isEmpty()) lista << QStringLiteral("o.*");
    return QStringLiteral("SELECT ") + lista.join(QStringLiteral(", ")) +
           QStringLiteral(", loc.localidad AS \"loc.localidad\", loc.utmhuso, loc.utmx, loc.utmy, "
                          "loc.utm10k, loc.utm1k FROM observacion o JOIN localidad loc "
                          "ON o.localidad = loc.cod_localidad ORDER BY o.id_observacion");
}

QSqlQuery ExportStore::Consultar(Tabla tabla) {
    QSqlQuery q;
    Ejecutar(q, Sentencia(tabla));
    return q;
}

std::optional<bool> ExportStore::TieneFilas(Tabla tabla) {
    const auto hay = Primero(QStringLiteral("SELECT CASE WHEN EXISTS (") + Sentencia(tabla) +
                             QStringLiteral(") THEN 1 ELSE 0 END"));
    if (!hay) return std::nullopt;
    return hay->toInt() == 1;
}
