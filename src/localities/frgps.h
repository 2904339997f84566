#pragma once

#include "geo/Geodesy.h"
#include "geo/PositionParser.h"
#include "localities/MunicipalityLocator.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class frgps;
}

// A position from a GPS, a phone or an old notebook (latitude and longitude on WGS84/ETRS89
// or ED50, or UTM on ED50) shown as the UTM ETRS89 coordinates, squares and municipalities
// the forms keep; "Aceptar" hands zone, easting, northing and the municipalities found to the
// form that asked, and, to a form that keeps one, the uncertainty in metres the user gave.
class frgps : public QDialog {
    Q_OBJECT
public:
    using AlAceptar = std::function<void(int huso, qint64 este, qint64 norte,
                                         const MunicipalityLocator::Lugar &lugar)>;
    // The uncertainty in metres; null when the user gave none. Without this callback the
    // form does not offer the field: what it shows is what the requesting form keeps.
    using AlAceptarIncertidumbre = std::function<void(const QVariant &metros)>;
    explicit frgps(AlAceptar alAceptar, QWidget *parent = nullptr,
                   AlAceptarIncertidumbre alIncertidumbre = {});
    ~frgps() override;

    // Shows the form modal over the requesting form.
    static void Abrir(QWidget *solicitante, AlAceptar alAceptar,
                      AlAceptarIncertidumbre alIncertidumbre = {});

private slots:
    void CdAceptar_Click();
    void CdCancelar_Click();

private:
    // What the form makes of its fields: the position on ETRS89, its whole-metre UTM
    // coordinates, or why there is none.
    struct Calculo {
        bool vacio = true;
        QString error;
        PositionParser::Lectura lectura;
        Geodesy::Geograficas etrs89;
        std::optional<Geodesy::Transformacion> transformacion;
        int huso = 0;
        qint64 este = 0, norte = 0;
    };

    void Form_Load();
    Calculo Calcular() const;
    void Previsualizar();
    bool EnUtm() const;

    std::unique_ptr<Ui::frgps> ui;
    AlAceptar alAceptar_;
    AlAceptarIncertidumbre alIncertidumbre_;
    Geodesy geodesia_;
    MunicipalityLocator localizador_;
};
