#pragma once

#include "localities/LocalityStore.h"
#include "localities/PlacePanel.h"
#include "observations/ObservationStore.h"

#include <QObject>
#include <QPointer>
#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;
class QWidget;
class SpeciesFinder;

// What the new-observation and the observation-change forms share: the observer slots, the
// lookup lists, the species and its class, the times, the locality chosen (its place shown
// by the place panel, or a new one read from it), and the moving of values between the
// controls and an Observacion. The forms differ only in the options. Without the species
// controls (Cbespecie and those beside it) it is the header of a visit whose species are
// entered elsewhere: Leer then reads the visit's values only.
class ObservationForm : public QObject {
    Q_OBJECT
public:
    struct Controles {
        QWidget *formulario = nullptr;
        std::array<QLineEdit *, 4> Txobs{};
        std::array<QLabel *, 4> Lbobs{};
        std::array<QPushButton *, 4> CdSelobs{};
        QDateEdit *Txdata = nullptr;
        QTimeEdit *Txhini = nullptr, *Txhfi = nullptr;
        QComboBox *Cbperiodo = nullptr, *Cbmeteo = nullptr, *Cbvents = nullptr,
                  *Cbhabitat = nullptr;
        QComboBox *Cbespecie = nullptr;
        QLabel *Lbespecie = nullptr;
        QLabel *Lbsinonimo = nullptr;
        QLineEdit *Txexemplars = nullptr;
        QCheckBox *Check1 = nullptr;
        QComboBox *Cbestadio = nullptr, *Cbconducta = nullptr, *Cbmotivo = nullptr;
        QLineEdit *Txdesc = nullptr;
        QComboBox *Cbloc = nullptr;
        PlacePanel *lugar = nullptr;
    };
    struct Opciones {
        // A name that no locality has is a new locality, described on the form (newobs);
        // otherwise the locality is only chosen (frmodif).
        bool localidadNueva = true;
        // The blank first entry of the reasons list.
        QString motivoEnBlanco;
        // Locality items carry their identifiers: a name shared by two localities, or
        // holding a quote, still stands for the one locality chosen.
        bool codigosLocalidad = false;
    };

    // The visit's controls (observers, date, times, conditions, reason, locality) of a form
    // whose Designer class names them as the forms do.
    template <typename U> static Controles ControlesCabecera(QWidget *formulario, U *ui) {
        Controles c;
        c.formulario = formulario;
        c.lugar = ui->lugar;
        c.Txobs = {ui->Txobs1, ui->Txobs2, ui->Txobs3, ui->Txobs4};
        c.Lbobs = {ui->Lbobs1, ui->Lbobs2, ui->Lbobs3, ui->Lbobs4};
        c.CdSelobs = {ui->CdSelobs1, ui->CdSelobs2, ui->Cdselobs3, ui->Cdselobs4};
        c.Txdata = ui->Txdata;
        c.Txhini = ui->Txhini;
        c.Txhfi = ui->Txhfi;
        c.Cbperiodo = ui->Cbperiodo;
        c.Cbmeteo = ui->Cbmeteo;
        c.Cbvents = ui->Cbvents;
        c.Cbhabitat = ui->Cbhabitat;
        c.Cbmotivo = ui->Cbmotivo;
        c.Cbloc = ui->Cbloc;
        return c;
    }
    // And the species' controls too.
    template <typename U> static Controles ControlesDe(QWidget *formulario, U *ui) {
        Controles c = ControlesCabecera(formulario, ui);
        c.Cbespecie = ui->Cbespecie;
        c.Lbespecie = ui->Lbespecie;
        c.Lbsinonimo = ui->Lbsinonimo;
        c.Txexemplars = ui->Txexemplars;
        c.Check1 = ui->Check1;
        c.Cbestadio = ui->Cbestadio;
        c.Cbconducta = ui->Cbconducta;
        c.Txdesc = ui->Txdesc;
        return c;
    }

    ObservationForm(const Controles &c, const Opciones &o);
    ~ObservationForm() override;

    // Fills every list from the database; false (after one message) without a database.
    bool Cargar();
    void CargarLocalidades();
    void PonerObservadorPorDefecto();
    // Empties every field but the date, the lists back to their full contents.
    void Limpiar();

    // Before a save: false (after the check's message) when a code typed in an observer
    // slot and never left is refused.
    bool ObservadoresComprobados();
    // The last missing required field's name, empty when none is missing.
    QString CampoQueFalta() const;
    // The values as the controls show them; nothing (after a message) when a value does not
    // fit its column.
    std::optional<Observacion> Leer();
    // Why a count as typed cannot be stored; empty when it can.
    static QString EjemplaresIncorrectos(const QString &ejemplares);
    // Puts the date the form proposes, which FechaConfirmada asks about before a save.
    void ProponerFecha(const QDate &fecha);
    // False when the date is still the one proposed and the user, asked, says it is not
    // the observation's (the focus is then on the date).
    bool FechaConfirmada();
    // Whether the typed locality is a new one, and that new locality as Leer read it.
    bool EsLocalidadNueva() const;
    Localidad LocalidadNueva() const;
    // Before a new locality is stored: false when its point lies in another municipality
    // and the user, asked, keeps the form instead.
    bool MunicipioConfirmado() const;
    // After a save with a new locality: its code as stored, the user told when another user
    // took the proposed one meanwhile.
    static void CodigoGuardado(QWidget *padre, const ObservationStore &observaciones,
                               Localidad &localidad);
    // Before storing: true when no other observation has the same species, stage,
    // behaviour, date, locality and first observer, or the user wants it stored all the same;
    // a failed check has been reported and answers false.
    static bool RegistrarAunqueIgual(QWidget *padre, ObservationStore &observaciones,
                                     const Observacion &o, int excepto = 0);
    // Shows a stored observation in the controls, as the choice handlers would.
    void Mostrar(const Observacion &o);

    QString CodigoLocalidad() const { return codigoLocalidad_; }
    void setCodigoLocalidad(const QString &codigo) { codigoLocalidad_ = codigo; }
    // A photograph's point put into the coordinates as frgps puts one; false when refused.
    bool PonerPosicion(double lat, double lon);
    // No locality chosen and no coordinates typed: the place is still to be given.
    bool SinLugar() const { return c_.lugar->SinPunto(); }
    // Re-selects a locality by its stored name after the list is reloaded.
    void ElegirLocalidad(const QString &nombre);

private:
    void Txobs_LostFocus(int slot);
    bool ComprobarObservador(int slot);
    void CdSelobs_Click(int slot);
    void Lista_Click(QComboBox *lista);
    void Cbespecie_Click();
    void Cbespecie_LostFocus();
    void ComprobarHoras(QTimeEdit *dejado);
    void Cbloc_Click();
    void RellenarSegunClase(const QString &clase);
    void VaciarListas();
    void MostrarLocalidad(const Localidad &l);
    QString CodigoEspecie() const;

    Controles c_;
    Opciones o_;
    SpeciesFinder *buscador_ = nullptr;
    std::optional<Localidad> nueva_; // the new locality as the last Leer read it
    QString codigoLocalidad_;        // the chosen locality's code, "new" for a new name
    QString claseEspecie_;           // stages and behaviours are those of the species' class
    bool fechaElegida_ = false;      // set in the form, or confirmed, since it was proposed
    int idPeriodo = 0, idViento = 0, idMeteo = 0, idEstadio = 0, idConducta = 0, idHabitat = 0;
};
