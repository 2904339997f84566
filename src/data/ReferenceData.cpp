#include "ReferenceData.h"

#include <QHash>

namespace {
std::optional<int> ComoEntero(const std::optional<QVariant> &v) {
    if (!v || v->isNull()) return std::nullopt;
    return v->toInt();
}
} // namespace

QStringList ReferenceData::Vientos() {
    QStringList r;
    QSqlQuery q;
    if (!Ejecutar(q,
                  QStringLiteral("SELECT viento, velocidad FROM tbeaufort ORDER BY id_beaufort")))
        return r;
    while (q.next())
        r << (q.value(0).isNull()
                  ? QString()
                  : q.value(0).toString() + QStringLiteral(" (") + q.value(1).toString() + u')');
    return r;
}

QStringList ReferenceData::Meteos() {
    return Columna(QStringLiteral("SELECT meteo_cast FROM tmeteo ORDER BY id_meteo"));
}

QStringList ReferenceData::Periodos() {
    return Columna(QStringLiteral("SELECT period_cast FROM tperiodo ORDER BY id_periodo"));
}

QStringList ReferenceData::Especies() {
    return Columna(
        QStringLiteral("SELECT cod_especie || ' - ' || coalesce(n_especie, '') FROM especie WHERE "
                       "coalesce(sinonimo_de, '') = '' ORDER BY cod_especie"));
}

std::optional<QString> ReferenceData::ItemEspecie(const QString &codigo) {
    const auto item = Primero(
        QStringLiteral("SELECT cod_especie || ' - ' || coalesce(n_especie, '') FROM especie "
                       "WHERE cod_especie = ?"),
        {codigo});
    if (!item) return std::nullopt;
    return item->toString();
}

QStringList ReferenceData::Estadios(const QString &clase) {
    if (clase.isNull())
        return Columna(QStringLiteral("SELECT estad_cast FROM testadio ORDER BY id_estadio"));
    return Columna(
        QStringLiteral("SELECT estad_cast FROM testadio WHERE clase = ? ORDER BY id_estadio"),
        {clase});
}

QStringList ReferenceData::Conductas(const QString &clase) {
    if (clase.isNull())
        return Columna(QStringLiteral("SELECT conduct_cast FROM tconducta ORDER BY id_conducta"));
    return Columna(
        QStringLiteral("SELECT conduct_cast FROM tconducta WHERE clase = ? ORDER BY id_conducta"),
        {clase});
}

QStringList ReferenceData::Motivos() {
    return Columna(QStringLiteral("SELECT motivo_cast FROM motivo ORDER BY id_motivo"));
}

QStringList ReferenceData::Habitats() {
    return Columna(QStringLiteral("SELECT habitat FROM thabitat ORDER BY id_habitat"));
}

std::optional<int> ReferenceData::IdPeriodo(const QString &t) {
    return ComoEntero(
        Primero(QStringLiteral("SELECT id_periodo FROM tperiodo WHERE period_cast = ?"), {t}));
}

std::optional<int> ReferenceData::IdMeteo(const QString &t) {
    return ComoEntero(
        Primero(QStringLiteral("SELECT id_meteo FROM tmeteo WHERE meteo_cast = ?"), {t}));
}

std::optional<int> ReferenceData::IdViento(const QString &t) {
    return ComoEntero(
        Primero(QStringLiteral("SELECT id_beaufort FROM tbeaufort WHERE viento = ?"), {t}));
}

std::optional<int> ReferenceData::IdHabitat(const QString &t) {
    return ComoEntero(
        Primero(QStringLiteral("SELECT id_habitat FROM thabitat WHERE habitat = ?"), {t}));
}

std::optional<int> ReferenceData::IdEstadio(const QString &t, const QString &clase) {
    if (clase.isEmpty())
        return ComoEntero(
            Primero(QStringLiteral(
                        "SELECT id_estadio FROM testadio WHERE estad_cast = ? ORDER BY id_estadio"),
                    {t}));
    return ComoEntero(Primero(
        QStringLiteral("SELECT id_estadio FROM testadio WHERE estad_cast = ? AND clase = ?"),
        {t, clase}));
}

std::optional<int> ReferenceData::IdConducta(const QString &t, const QString &clase) {
    if (clase.isEmpty())
        return ComoEntero(Primero(QStringLiteral("SELECT id_conducta FROM tconducta WHERE "
                                                 "conduct_cast = ? ORDER BY id_conducta"),
                                  {t}));
    return ComoEntero(Primero(
        QStringLiteral("SELECT id_conducta FROM tconducta WHERE conduct_cast = ? AND clase = ?"),
        {t, clase}));
}

std::optional<ReferenceData::Especie> ReferenceData::BuscarEspecie(const QString &codigo) {
    QSqlQuery q;
    if (!Ejecutar(q, QStringLiteral("SELECT n_cast, clase FROM especie WHERE cod_especie = ?"),
                  {codigo}) ||
        !q.next())
        return std::nullopt;
    return Especie{q.value(0).toString(), q.value(1).toString()};
}

QStringList ReferenceData::Provincias() {
    return Columna(QStringLiteral("SELECT prov_cast FROM tprovincia"));
}

QStringList ReferenceData::ProvinciasDeCuadrado(const QString &utm10) {
    return Columna(QStringLiteral("SELECT tp.prov_cast FROM tprovincia tp, tutm10kprovincia utmp "
                                  "WHERE utmp.utm10 = ? AND utmp.id_prov = tp.id_prov"),
                   {utm10});
}

QStringList ReferenceData::MunicipiosDeCuadrado(const QString &utm10) {
    return Columna(QStringLiteral("SELECT m.muni || ' (' || coalesce(p.prov_cast, '') || ')' "
                                  "FROM tutm10kmunis u JOIN tmunicipio m ON m.id_muni = u.id_muni "
                                  "LEFT JOIN tprovincia p ON p.id_prov = m.prov "
                                  "WHERE u.utm10 = ? ORDER BY m.muni, p.prov_cast"),
                   {utm10});
}

std::optional<int> ReferenceData::IdProvincia(const QString &provincia) {
    return ComoEntero(
        Primero(QStringLiteral("SELECT id_prov FROM tprovincia WHERE prov_cast = ?"), {provincia}));
}

QStringList ReferenceData::MunicipiosDeProvincia(const QString &provincia, const QString &utm10) {
    if (utm10.trimmed().isEmpty())
        return Columna(QStringLiteral("SELECT m.muni FROM tprovincia p, tmunicipio m WHERE "
                                      "m.prov = p.id_prov AND p.prov_cast = ? ORDER BY m.muni"),
                       {provincia});
    return Columna(QStringLiteral("SELECT m.muni FROM tprovincia p, tmunicipio m, tutm10kmunis k "
                                  "WHERE m.prov = p.id_prov AND p.prov_cast = ? AND k.utm10 = ? "
                                  "AND k.id_muni = m.id_muni ORDER BY m.muni"),
                   {provincia, utm10});
}

std::optional<int> ReferenceData::IdMunicipio(const QString &municipio, const QString &provincia) {
    return ComoEntero(Primero(QStringLiteral("SELECT m.id_muni FROM tmunicipio m, tprovincia p "
                                             "WHERE m.muni = ? AND m.prov = p.id_prov AND "
                                             "p.prov_cast = ? ORDER BY m.id_muni"),
                              {municipio, provincia}));
}

std::optional<ReferenceData::Municipio> ReferenceData::BuscarMunicipio(int idMuni) {
    QSqlQuery q;
    if (!Ejecutar(q,
                  QStringLiteral("SELECT m.muni, p.prov_cast FROM tmunicipio m, tprovincia p "
                                 "WHERE m.id_muni = ? AND p.id_prov = m.prov"),
                  {idMuni}) ||
        !q.next())
        return std::nullopt;
    return Municipio{q.value(0).toString(), q.value(1).toString()};
}

QStringList ReferenceData::Cuadrados10k() {
    return Columna(QStringLiteral("SELECT DISTINCT utm10 FROM tutm10kprovincia ORDER BY utm10"));
}

QStringList ReferenceData::Cuadrados10kDeMunicipio(const QString &municipio,
                                                   const QString &provincia) {
    return Columna(QStringLiteral("SELECT DISTINCT utm10 FROM tutm10kmunis k, tmunicipio m, "
                                  "tprovincia p WHERE m.id_muni = k.id_muni AND m.muni = ? "
                                  "AND p.id_prov = m.prov AND p.prov_cast = ? ORDER BY utm10"),
                   {municipio, provincia});
}

std::optional<QString> ReferenceData::Texto(Lista lista, int id) {
    static const QHash<Lista, QString> sql = {
        {Lista::Periodo, QStringLiteral("SELECT period_cast FROM tperiodo WHERE id_periodo = ?")},
        {Lista::Meteo, QStringLiteral("SELECT meteo_cast FROM tmeteo WHERE id_meteo = ?")},
        // As the wind list shows it: the force, then its speed.
        {Lista::Viento, QStringLiteral("SELECT viento || ' (' || coalesce(velocidad, '') || ')' "
                                       "FROM tbeaufort WHERE id_beaufort = ?")},
        {Lista::Estadio, QStringLiteral("SELECT estad_cast FROM testadio WHERE id_estadio = ?")},
        {Lista::Conducta,
         QStringLiteral("SELECT conduct_cast FROM tconducta WHERE id_conducta = ?")},
        {Lista::Habitat, QStringLiteral("SELECT habitat FROM thabitat WHERE id_habitat = ?")},
    };
    if (id == 0) return std::nullopt;
    const auto v = Primero(sql.value(lista), {id});
    if (!v || v->isNull()) return std::nullopt;
    return v->toString();
}
