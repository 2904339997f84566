#pragma once

#include "geo/Geodesy.h"
#include "localities/MunicipalityLocator.h"

#include <QObject>
#include <functional>
#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

// The coordinate helpers of a form with zone, easting and northing: "GPS..." opens frgps and
// puts its result into the fields as a user would type them, then hands the place it found
// to the form; below them, the latitude and longitude of what the fields hold, and "Ver en
// el mapa" for that point.
class GpsControls : public QObject {
    Q_OBJECT
public:
    struct Controles {
        QWidget *formulario = nullptr;
        QComboBox *huso = nullptr;  // Cbhuso
        QLineEdit *este = nullptr;  // Txlong / Txutmx
        QLineEdit *norte = nullptr; // Txlat / Txutmy
        QPushButton *CdGps = nullptr;
        QLineEdit *Txgeo = nullptr;
        QPushButton *CdMapa = nullptr;
        // The municipalities frgps found for the point it put into the fields.
        std::function<void(const MunicipalityLocator::Lugar &)> alLocalizar = {};
        // Where the form keeps the point's uncertainty (Txincert); frgps offers the field
        // only when there is one, and what the user gave there (nothing included) replaces it.
        QLineEdit *incertidumbre = nullptr;
    };

    explicit GpsControls(const Controles &c);

    // Puts a point known by its latitude and longitude (a photograph's) into the fields as
    // frgps does, place included; false (after a message) when no form zone holds it.
    bool PonerPosicion(const Geodesy::Geograficas &etrs89);

    // The ETRS89 latitude and longitude of the fields, when they hold a whole position.
    std::optional<Geodesy::Geograficas> Posicion() const;

    // Before a locality is stored: true unless the point lies more than the boundaries'
    // margin outside the chosen municipality, inside another one, and the user, asked, does
    // not want it stored so.
    bool ConfirmarMunicipio(int idMuni) const;

private:
    void CdGps_Click();
    void CdMapa_Click();
    void Actualizar();
    void Poner(int huso, qint64 este, qint64 norte, const MunicipalityLocator::Lugar &lugar);

    Controles c_;
    Geodesy geodesia_;
};
