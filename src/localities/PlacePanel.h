#pragma once

#include "localities/LocalityStore.h"
#include "localities/Place.h"

#include <QWidget>
#include <memory>
#include <optional>

namespace Ui {
class PlacePanel;
}

// Where a locality lies: province, municipality, zone, coordinates, uncertainty and squares,
// with their handlers and the moving of values between them and a Localidad; "GPS..." opens
// frgps and puts its result into the fields as a user would type them, the latitude and
// longitude of what the fields hold are shown below them, and "Ver en el mapa" opens that
// point. Its controls are its own children, named as the host form's code and tests know
// them. The forms that show a place differ only in the options.
class PlacePanel : public QWidget {
    Q_OBJECT
public:
    struct Opciones {
        // The squares come from the zone and coordinates, a square chosen by hand narrows
        // the provinces and their municipalities, and a province chosen first switches the
        // coordinates off (frinsLoc, newobs). Otherwise every value is taken as the user
        // leaves it, and there is no message line (frmodifloc).
        bool derivarCuadrados = true;
        // The name of the coordinates' frame on the host form.
        QString marcoCoordenadas = QStringLiteral("Frame1");
        // The observation forms' own names (Txlong, Txlat, tx1k; the square frame Frame2,
        // the boundaries' Frame3), one message for both coordinates, and a stored locality
        // shown as though chosen in the lists: the choice handlers run, the municipalities
        // narrowed to its square (newobs, frmodif).
        bool comoObservacion = false;
        // A square chosen by hand, or a province chosen while no square is, empties the
        // coordinates, the 1-km square and the uncertainty; the derived square is looked for
        // among every square; a municipality chosen first keeps the squares it offers until
        // the next save (newobs).
        bool vaciarCoordenadas = false;
        // The place of a chosen locality is only shown: lists off, fields read-only, no GPS,
        // no uncertainty and no message line (frmodif).
        bool soloMostrar = false;
        // Only shows a point found elsewhere (frgps's preview): its zone, coordinates,
        // squares, province and municipality, under the names that form gives them.
        bool vistaPrevia = false;
    };

    explicit PlacePanel(QWidget *parent = nullptr);
    ~PlacePanel() override;

    // Sets the panel up for its host; once, before Cargar.
    void Iniciar(const Opciones &o);

    // Fills the zone, square and province lists; false (after one message) on failure.
    bool Cargar();
    // Shows a stored locality's place; its province, municipality and squares are kept as
    // stored even where the lists lack them.
    void Mostrar(const Localidad &l);
    // Nothing shown, nothing chosen (a locality that is gone); with `listas`, every province
    // offered again.
    void Limpiar(bool listas);
    // A point found elsewhere, as the preview shows it: its zone and whole coordinates, the
    // squares derived from them (or why there are none, on the message line), and the
    // municipality it was found in. True when the squares were derived.
    bool MostrarPunto(int huso, qint64 este, qint64 norte, const MunicipalityLocator::Lugar &lugar);
    // Every province offered again.
    void ListarProvincias();
    // A point known by its latitude and longitude (a photograph's) put into the fields as
    // frgps puts one, place included; false (after a message) when no zone offered holds it.
    bool PonerPosicion(const Geodesy::Geograficas &etrs89);
    // The place may still be given: the fields are open and hold no coordinates.
    bool SinPunto() const;
    // The place may be entered (a new locality) or is that of a stored one.
    void Habilitar(bool si);
    // A save begins: a municipality chosen first no longer holds the squares on offer.
    void Guardando() { municipioPrimero_ = false; }

    int idProv() const { return idProv_; }
    int idMuni() const { return idMuni_; }
    QString Provincia() const;
    // The 10-km square shown; the blank entry " " when none is chosen.
    QString Cuadrado10k() const;

    // The place as the controls show it (the name is the host's); nothing (after a message
    // titled `titulo`) when a coordinate is not a whole number, the uncertainty not a number
    // of metres of a point given by its coordinates, or the squares shown not those of that
    // point (which are then shown instead, for the user to read before saving again).
    std::optional<Localidad> Leer(const QString &titulo) const;
    // Before storing: false when the point lies in another municipality and the user,
    // asked, keeps the form instead.
    bool MunicipioConfirmado() const;

private:
    void Cbprov_Click();
    void Cbmuni_Click();
    void cb10k_Click();
    void CdGps_Click();
    void CdMapa_Click();
    // Types a point's coordinates and chooses its zone, as a user would, then its place.
    void Poner(int huso, qint64 este, qint64 norte, const MunicipalityLocator::Lugar &lugar);
    void CalcularCuadradosUTM();
    // The squares of the zone and coordinates chosen in the lists, or why there are none on
    // the message line; true when they were derived.
    bool DerivarCuadrados();
    // A province the refilled list no longer shows is no longer chosen.
    void OlvidarProvinciaOculta();
    void MostrarEligiendo(const Localidad &l);
    void VaciarCoordenadas();
    // The provinces of a square, or all of them.
    void CargarProvinciasUTM10(const QString &utm10);
    // The squares of the chosen municipality (of the chosen province), or all of them; then
    // the blank " ".
    void CargarUTM10();
    // Every square, then the blank " ".
    void CargarTodosUTM10();
    // The place found for the point the fields now hold: its one municipality chosen with
    // its province, or, near a boundary, the lists narrowed to the municipalities it may
    // lie in (the choice is the user's).
    void PonerLugar(const MunicipalityLocator::Lugar &lugar);
    // The latitude and longitude of the fields, and the map offered for them.
    void ActualizarGeo();
    QString Punto() const;

    std::unique_ptr<Ui::PlacePanel> ui;
    Opciones o_;
    QWidget *formulario_ = nullptr; // asks and tells the user, and opens frgps over itself
    Place lugar_;
    int idProv_ = 0, idMuni_ = 0;
    // Set while the derivation selects its square, so the square's handler stands aside.
    bool utm10Encontrado_ = false;
    bool mostrando_ = false;
    bool derivando_ = false;
    bool municipioPrimero_ = false;
};
