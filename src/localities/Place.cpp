#include "Place.h"

#include "geo/UtmSquares.h"
#include "localities/LocalityStore.h"

namespace {

Place::Coordinate Read(const QString &text, int digits) {
    using Estado = Utm::Coordenada::Estado;
    const Utm::Coordenada c = Utm::LeerCoordenada(text);
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
