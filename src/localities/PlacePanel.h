#pragma once

#include "localities/LocalityStore.h"

#include <QWidget>
#include <memory>
#include <optional>

namespace Ui {
class PlacePanel;
}
class GpsControls;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class UtmSquareControls;

// Where a locality lies: province, municipality, zone, coordinates, uncertainty and squares,
// with their handlers and the moving of values between them and a Localidad. Its controls are
// its own children, named as the host form's code and tests know them.
class PlacePanel : public QWidget {
    Q_OBJECT
public:
    struct Opciones {
        // The squares come from the zone and coordinates, a square chosen by hand narrows
        // the provinces and their municipalities, and a province chosen first switches the
        // coordinates off (frinsLoc). Otherwise every value is taken as the user leaves it,
        // and there is no message line (frmodifloc).
        bool derivarCuadrados = true;
        // The name of the coordinates' frame on the host form.
        QString marcoCoordenadas = QStringLiteral("Frame1");
    };

    explicit PlacePanel(QWidget *parent = nullptr);
    ~PlacePanel() override;

    // Sets the panel up for its host; once, before Cargar.
    void Iniciar(const Opciones &o);

    // The controls of a host that handles the place itself (the observation forms), named as
    // that host knows them. Only a host that creates localities keeps the uncertainty and
    // the message line.
    struct Partes {
        QComboBox *Cbprov = nullptr, *Cbmuni = nullptr, *cb10k = nullptr, *Cbhuso = nullptr;
        QLineEdit *Txlong = nullptr, *Txlat = nullptr, *tx1k = nullptr, *Txgeo = nullptr;
        QLineEdit *Txincert = nullptr;
        QPushButton *CdGps = nullptr, *CdMapa = nullptr;
        QLabel *missatge = nullptr;
        QWidget *Frame1 = nullptr, *Frame2 = nullptr, *Frame3 = nullptr;
    };
    Partes ComoObservacion(bool creaLocalidades);
    // Fills the zone, square and province lists; false (after one message) on failure.
    bool Cargar();
    // Shows a stored locality's place; its province, municipality and squares are kept as
    // stored even where the lists lack them.
    void Mostrar(const Localidad &l);

    int idProv() const { return idProv_; }
    int idMuni() const { return idMuni_; }
    // The 10-km square shown; the blank entry " " when none is chosen.
    QString Cuadrado10k() const;

    // The place as the controls show it (the name is the host's); nothing (after a message
    // titled `titulo`) when a coordinate is not a whole number, or the uncertainty not a
    // number of metres of a point given by its coordinates.
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

    std::unique_ptr<Ui::PlacePanel> ui;
    Opciones o_;
    std::unique_ptr<UtmSquareControls> utm_;
    GpsControls *gps_ = nullptr;
    int idProv_ = 0, idMuni_ = 0;
    bool mostrando_ = false;
    bool derivando_ = false;
};
