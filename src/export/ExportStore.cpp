#include "ExportStore.h"

#include "data/ModConex.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QUuid>

namespace {
const QString kNoRechazada = QStringLiteral("WHERE coalesce(o.verificacion, '') <> 'rechazada'");
} // namespace

QString ExportStore::Sentencia(Tabla tabla) const {
    switch (tabla) {
    case Tabla::Observadores:
        return QStringLiteral("SELECT cod_observador, nombre, apellido, entidad, email, "
                              "provincia, generacion FROM observador ORDER BY cod_observador");
    case Tabla::Motivos:
        return QStringLiteral("SELECT id_motivo, motivo_cast, descripcion FROM motivo ORDER BY "
                              "id_motivo");
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
        // The published identifier and the verification are no part of the association's
        // file, whose format stays as the association reads it.
        if (c.compare(QLatin1String("uuid"), Qt::CaseInsensitive) == 0 ||
            c.contains(QLatin1String("verifica"), Qt::CaseInsensitive))
            continue;
        // Nor the row number a server keeps where SQLite keeps it hidden.
        if (c.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0) continue;
        lista << (c.compare(QLatin1String("localidad"), Qt::CaseInsensitive) == 0
                      ? QStringLiteral("o.") + nombre(c) + QStringLiteral(" AS \"o.localidad\"")
                      : QStringLiteral("o.") + nombre(c));
    }
    if (lista.isEmpty()) lista << QStringLiteral("o.*");
    return QStringLiteral("SELECT ") + lista.join(QStringLiteral(", ")) +
           QStringLiteral(", loc.localidad AS \"loc.localidad\", loc.utmhuso, loc.utmx, loc.utmy, "
                          "loc.utm10k, loc.utm1k FROM observacion o JOIN localidad loc "
                          "ON o.localidad = loc.cod_localidad ") +
           (sinRechazadas_ ? kNoRechazada : QString()) +
           QStringLiteral(" ORDER BY o.id_observacion");
}

std::optional<int> ExportStore::ContarRechazadas(bool conLocalidad) {
    const auto n = Primero(
        QStringLiteral("SELECT count(*) FROM observacion o ") +
        (conLocalidad ? QStringLiteral("JOIN localidad loc ON o.localidad = loc.cod_localidad ")
                      : QString()) +
        QStringLiteral("WHERE o.verificacion = 'rechazada'"));
    if (!n) return std::nullopt;
    return n->toInt();
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

QSqlQuery ExportStore::ConsultarOcurrencias() {
    // A synonym's record is as sensitive as its accepted species.
    QString observadores, uniones;
    for (int i = 1; i <= 4; ++i) {
        const QString a = QStringLiteral("ob%1").arg(i);
        observadores += QStringLiteral(", o.observador%1 AS cod%1, trim(coalesce(%2.nombre, '') "
                                       "|| ' ' || coalesce(%2.apellido, '')) AS nombre%1")
                            .arg(i)
                            .arg(a);
        uniones += QStringLiteral(" LEFT JOIN observador %2 ON %2.cod_observador = o.observador%1")
                       .arg(i)
                       .arg(a);
    }
    QSqlQuery q;
    Ejecutar(
        q,
        QStringLiteral(
            "SELECT o.id_observacion, o.uuid, o.fecha, o.horaini, o.horafin, o.numejemp, "
            "o.numaprox, o.descripcion, e.n_especie, e.n_cast, e.clase, "
            "CASE WHEN coalesce(e.sensible, 0) <> 0 OR coalesce(a.sensible, 0) <> 0 THEN 1 "
            "ELSE 0 END AS sensible, CASE WHEN ss.localidad IS NULL THEN 0 ELSE 1 END AS "
            "sitio_sensible, est.estad_cast, c.conduct_cast, h.habitat, "
            "loc.localidad AS lugar, loc.utmhuso, loc.utmx, loc.utmy, loc.utm10k, loc.utm1k, "
            "loc.incertidumbre, loc.prov AS id_prov, p.prov_cast AS provincia, m.muni, "
            "o.verificacion, o.comentario_verificacion") +
            observadores +
            QStringLiteral(" FROM observacion o LEFT JOIN especie e ON e.cod_especie = o.especie "
                           "LEFT JOIN especie a ON a.cod_especie = e.sinonimo_de "
                           "LEFT JOIN testadio est ON est.id_estadio = o.estadio "
                           "LEFT JOIN tconducta c ON c.id_conducta = o.conducta "
                           "LEFT JOIN thabitat h ON h.id_habitat = o.habitat "
                           "LEFT JOIN localidad loc ON loc.cod_localidad = o.localidad "
                           "LEFT JOIN tprovincia p ON p.id_prov = loc.prov "
                           "LEFT JOIN tmunicipio m ON m.id_muni = loc.muni "
                           // The localities that hold a sensitive species' record.
                           "LEFT JOIN (SELECT DISTINCT s.localidad FROM observacion s "
                           "JOIN especie se ON se.cod_especie = s.especie "
                           "LEFT JOIN especie sa ON sa.cod_especie = se.sinonimo_de "
                           "WHERE coalesce(se.sensible, 0) <> 0 OR coalesce(sa.sensible, 0) <> 0) "
                           "ss ON ss.localidad = o.localidad") +
            uniones + u' ' + kNoRechazada + QStringLiteral(" ORDER BY o.id_observacion"));
    return q;
}

QList<ExportStore::FotoExportada> ExportStore::Fotos() {
    QList<FotoExportada> fotos;
    QSqlQuery q;
    if (!Ejecutar(q, QStringLiteral(
                         "SELECT f.observacion, f.sha256, CASE WHEN coalesce(e.sensible, 0) <> 0 "
                         "OR coalesce(a.sensible, 0) <> 0 OR ss.localidad IS NOT NULL THEN 1 "
                         "ELSE 0 END FROM foto f "
                         "JOIN observacion o ON o.id_observacion = f.observacion "
                         "JOIN localidad loc ON o.localidad = loc.cod_localidad "
                         "LEFT JOIN especie e ON e.cod_especie = o.especie "
                         "LEFT JOIN especie a ON a.cod_especie = e.sinonimo_de "
                         "LEFT JOIN (SELECT DISTINCT s.localidad FROM observacion s "
                         "JOIN especie se ON se.cod_especie = s.especie "
                         "LEFT JOIN especie sa ON sa.cod_especie = se.sinonimo_de "
                         "WHERE coalesce(se.sensible, 0) <> 0 OR coalesce(sa.sensible, 0) <> 0) "
                         "ss ON ss.localidad = o.localidad ") +
                         (sinRechazadas_ ? kNoRechazada : QString()) +
                         QStringLiteral(" ORDER BY f.observacion, f.orden, f.id_foto")))
        return fotos;
    while (q.next()) {
        const int obs = q.value(0).toInt();
        const int numero =
            !fotos.isEmpty() && fotos.last().observacion == obs ? fotos.last().numero + 1 : 1;
        fotos.append({obs, numero, q.value(1).toString(), q.value(2).toInt() != 0});
    }
    return fotos;
}

std::optional<ExportStore::Persona> ExportStore::ObservadorPorDefecto() {
    QSqlQuery q;
    if (!Ejecutar(q, QStringLiteral("SELECT ob.nombre, ob.apellido, ob.email, ob.cod_observador "
                                    "FROM DefaultObs d "
                                    "JOIN observador ob ON ob.cod_observador = d.cd_obs "
                                    "WHERE d.cd_obs <> '' LIMIT 1")) ||
        !q.next())
        return std::nullopt;
    return Persona{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                   q.value(3).toString()};
}

std::optional<QString> ExportStore::ConjuntoDatos() {
    const auto uuid = Primero(QStringLiteral("SELECT uuid FROM conjunto_datos LIMIT 1"));
    if (!uuid) {
        if (fallo()) return std::nullopt;
        const QString nuevo = QUuid::createUuid().toString(QUuid::WithoutBraces);
        QSqlQuery q;
        if (!Ejecutar(q, QStringLiteral("INSERT INTO conjunto_datos (uuid) VALUES (?)"), {nuevo}))
            return std::nullopt;
        return nuevo;
    }
    return uuid->toString();
}

QList<ExportStore::Especie> ExportStore::Especies() {
    QList<Especie> especies;
    QSqlQuery q;
    if (!Ejecutar(q, QStringLiteral("SELECT cod_especie, n_especie, n_cast, sensible FROM especie "
                                    "WHERE sinonimo_de IS NULL OR sinonimo_de = '' "
                                    "ORDER BY n_especie, cod_especie")))
        return especies;
    while (q.next())
        especies.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                         q.value(3).toInt() != 0});
    return especies;
}

bool ExportStore::GuardarSensibles(const QHash<QString, bool> &sensibles) {
    return EnTransaccion([&] {
        for (auto i = sensibles.cbegin(); i != sensibles.cend(); ++i) {
            QSqlQuery q;
            if (!Ejecutar(q,
                          QStringLiteral("UPDATE especie SET sensible = ? WHERE cod_especie = ?"),
                          {i.value() ? 1 : 0, i.key()}))
                return false;
        }
        return true;
    });
}
