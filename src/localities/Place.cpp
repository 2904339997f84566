#include "Place.h"

#include "data/ReferenceData.h"
#include "geo/UtmSquares.h"
#include "localities/LocalityStore.h"

namespace {

Place::Coordinate Read(const QString &text, int digits) {
    using Estado = Utm::Coordinate::State;
    const Utm::Coordinate c = Utm::LeerCoordenada(text);
    Place::Coordinate r;
    if (c.estado == Estado::Vacia) return r;
    if (c.estado == Estado::NoEntera)
        r.fault = Place::Fault::NotWhole;
    else if (c.estado == Estado::NoCabe || c.cifras().size() > digits)
        r.fault = Place::Fault::TooLong;
    else
        r.value = QVariant(c.valor);
    return r;
}

} // namespace

QStringList Place::Zones() {
    return {QStringLiteral(" "),  QStringLiteral("27"), QStringLiteral("28"),
            QStringLiteral("29"), QStringLiteral("30"), QStringLiteral("31")};
}

Place::Coordinate Place::ReadEasting(const QString &text) {
    return Read(text, 7);
}

Place::Coordinate Place::ReadNorthing(const QString &text) {
    return Read(text, 8);
}

std::optional<QVariant> Place::ReadUncertainty(const QString &text, bool hasPoint,
                                               QString *reason) {
    const auto metres = LocalityStore::LeerIncertidumbre(text, reason);
    if (!metres) return std::nullopt;
    // An uncertainty belongs to a point: without coordinates it would describe nothing.
    if (!metres->isNull() && !hasPoint) {
        *reason = QStringLiteral("La incertidumbre es la de un punto: escriba sus coordenadas o "
                                 "deje vacía la incertidumbre.");
        return std::nullopt;
    }
    return metres;
}

std::optional<Geodesy::Geograficas> Place::Position(const QString &zone, const QString &easting,
                                                    const QString &northing) const {
    const QString huso = zone.trimmed();
    const Utm::Coordinate x = Utm::LeerCoordenada(easting), y = Utm::LeerCoordenada(northing);
    const auto enMapa = [](const Utm::Coordinate &c) {
        return c.estado == Utm::Coordinate::State::Entera && c.valor < 100000000;
    };
    if (huso.isEmpty() || !Zones().contains(huso) || !enMapa(x) || !enMapa(y)) return std::nullopt;
    return geodesy_.AGeograficas({huso.toInt(), double(x.valor), double(y.valor)});
}

QList<QPair<QString, QString>> Place::Municipalities(const MunicipalityLocator::Lugar &lugar,
                                                     QString *error) {
    QList<QPair<QString, QString>> r;
    if (lugar.resultado != MunicipalityLocator::Resultado::Uno &&
        lugar.resultado != MunicipalityLocator::Resultado::Varios)
        return r;
    ReferenceData ref;
    for (const int id : lugar.municipios)
        if (const auto m = ref.BuscarMunicipio(id)) r << qMakePair(m->provincia, m->nombre);
    if (ref.fallo()) {
        *error = ref.error();
        return {};
    }
    return r;
}

std::optional<Place::Elsewhere> Place::LiesElsewhere(int idMuni, const Geodesy::Geograficas &point,
                                                     QString *error) const {
    if (idMuni == 0) return std::nullopt;
    const auto fuera = MunicipalityLocator::Fuera(idMuni, point.lat, point.lon);
    if (!fuera || *fuera <= MunicipalityLocator::kMargen) return std::nullopt;
    MunicipalityLocator localizador;
    const MunicipalityLocator::Lugar lugar = localizador.Localizar(point.lat, point.lon);
    if (lugar.municipios.isEmpty()) return std::nullopt;
    ReferenceData ref;
    const auto hallado = ref.BuscarMunicipio(lugar.municipios.first());
    const auto elegido = ref.BuscarMunicipio(idMuni);
    if (ref.fallo()) *error = ref.error();
    if (ref.fallo() || !hallado || !elegido) return std::nullopt;
    // Two municipalities of one name are told apart by their provinces.
    return Elsewhere{hallado->nombre, hallado->provincia,
                     hallado->nombre == elegido->nombre
                         ? QStringLiteral("%1 (%2)").arg(elegido->nombre, elegido->provincia)
                         : elegido->nombre};
}

void Place::SetCandidates(const QList<QPair<QString, QString>> &candidates, const QString &point) {
    candidates_ = candidates;
    point_ = point;
}

QStringList Place::OnlyCandidates(const QString &point, const QString &province,
                                  const QStringList &municipalities) {
    if (candidates_.isEmpty()) return municipalities;
    // Other coordinates: the point's candidates no longer hold.
    if (point != point_) {
        candidates_.clear();
        return municipalities;
    }
    QStringList r;
    for (const QString &m : municipalities)
        if (candidates_.contains(qMakePair(province, m))) r << m;
    return r.isEmpty() ? municipalities : r;
}

QString Place::PointKey(const QString &zone, const QString &easting, const QString &northing) {
    return zone + u'|' + easting + u'|' + northing;
}
