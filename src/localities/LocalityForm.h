#pragma once

#include "localities/LocalityStore.h"
#include "localities/UtmSquareControls.h"

#include <QObject>
#include <memory>
#include <optional>

class GpsControls;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// What the new-locality and the locality-change forms share: the province, municipality,
// zone, coordinate and square controls with their handlers, and the moving of values
// between the controls and a Localidad. The forms differ only in the options.
class LocalityForm : public QObject {
    Q_OBJECT
public:
    struct Controles {
        QWidget *formulario = nullptr;
        QLineEdit *Txloc = nullptr;
        QComboBox *Cbprov = nullptr, *Cbmuni = nullptr, *Cbhuso = nullptr, *cb10k = nullptr;
        QLineEdit *Txutmx = nullptr, *Txutmy = nullptr, *txutm1k = nullptr;
        QLabel *missatge = nullptr; // only where the squares are derived
        QWidget *frameCoordenadas = nullptr;
        QPushButton *CdGps = nullptr, *CdMapa = nullptr;
        QLineEdit *Txgeo = nullptr;
        QLineEdit *Txincert = nullptr; // metres around the point; empty when unknown
    };
    struct Opciones {
        // The squares come from the zone and coordinates, a square chosen by hand narrows
        // the provinces and their municipalities, and a province chosen first switches the
        // coordinates off (frinsLoc). Otherwise every value is taken as the user leaves it
        // (frmodifloc).
        bool derivarCuadrados = true;
    };

    LocalityForm(const Controles &c, const Opciones &o);
    ~LocalityForm() override;

    // Fills the zone, square and province lists; false (after one message) on failure.
    bool Cargar();
    // Shows a stored locality; its province, municipality and squares are kept as stored
    // even where the lists lack them.
    void Mostrar(const Localidad &l);

    int idProv() const { return idProv_; }
    int idMuni() const { return idMuni_; }

    // The values as the controls show them; nothing (after a message titled `titulo`) when
    // a coordinate is not a whole number, or the uncertainty not a number of metres of a
    // point given by its coordinates.
    std::optional<Localidad> Leer(const QString &titulo) const;
    // Before storing: false when the point lies in another municipality and the user,
    // asked, keeps the form instead.
    bool MunicipioConfirmado() const;

private:
    void Cbprov_Click();
    void Cbmuni_Click();
    void cb10k_Click();
    void CalcularCuadradosUTM();
    // A province the refilled list no longer shows is no longer chosen.
    void OlvidarProvinciaOculta();

    Controles c_;
    Opciones o_;
    std::unique_ptr<UtmSquareControls> utm_;
    GpsControls *gps_ = nullptr;
    int idProv_ = 0, idMuni_ = 0;
    bool mostrando_ = false;
    bool derivando_ = false;
};
