#pragma once

#include "geo/Geodesy.h"
#include "localities/MunicipalityLocator.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

// The rules of a place that every form describing one follows, apart from its widgets: the
// zones offered, the coordinates and uncertainty as stored, the point they give, the
// municipalities a point lies in, and the narrowing of the lists to the municipalities a
// point near a boundary may lie in.
class Place {
public:
    // The zones offered, the blank first.
    static QStringList Zones();

    // A coordinate read for storing: null when empty; a whole number of at most `digits`
    // digits (7 for an easting, 8 for a northing) is stored as it is shown.
    enum class Fault { None, NotWhole, TooLong };
    struct Coordinate {
        Fault fault = Fault::None;
        QVariant value;
    };
    static Coordinate ReadEasting(const QString &text);
    static Coordinate ReadNorthing(const QString &text);

    // The uncertainty as typed, for a point with or without coordinates: nothing, with the
    // reason in *reason, when it is no number of metres or there is no point it belongs to.
    static std::optional<QVariant> ReadUncertainty(const QString &text, bool hasPoint,
                                                   QString *reason);

    // The ETRS89 latitude and longitude of a zone, easting and northing as typed, when they
    // make a position: a zone offered, and whole coordinates of at most eight digits (a
    // position on the map, not any number).
    std::optional<Geodesy::Geograficas> Position(const QString &zone, const QString &easting,
                                                 const QString &northing) const;

    // The municipalities (province, municipality) a point was found in, in the locator's
    // order; none at sea, abroad or on a failed lookup (its cause in *error).
    static QList<QPair<QString, QString>> Municipalities(const MunicipalityLocator::Lugar &lugar,
                                                         QString *error);

    // A point more than the boundaries' margin outside the chosen municipality and inside
    // another: that one's name and province, and the chosen one's name, told apart by its
    // province when both share a name. Nothing when the point lies in the chosen one, at sea,
    // abroad or on land no one municipality holds, or on a failed lookup (*error).
    struct Elsewhere {
        QString municipality, province, chosen;
    };
    std::optional<Elsewhere> LiesElsewhere(int idMuni, const Geodesy::Geograficas &point,
                                           QString *error) const;

    // The municipalities (province, municipality) the point `point` may lie in; the lists
    // offer only them while the fields hold that point.
    void SetCandidates(const QList<QPair<QString, QString>> &candidates, const QString &point);
    void ClearCandidates() { candidates_.clear(); }
    // A province's municipalities as offered while the fields hold `point`.
    QStringList OnlyCandidates(const QString &point, const QString &province,
                               const QStringList &municipalities);
    // The key under which a point's candidates are kept.
    static QString PointKey(const QString &zone, const QString &easting, const QString &northing);

private:
    Geodesy geodesy_;
    QList<QPair<QString, QString>> candidates_;
    QString point_;
};
