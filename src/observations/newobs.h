#pragma once

#include "localities/UtmSquareControls.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class newobs;
}
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;

// The form on which one observation is recorded, at an existing locality or at a new one
// described on the spot.
class newobs : public QWidget {
    Q_OBJECT
public:
    explicit newobs(QWidget *parent = nullptr);
    ~newobs() override;

    // The chosen locality's code, "new" while the typed name is a new locality.
    QString CodigoLocalidad;

    // Asks the user for a new locality's code, given the proposed one; nothing when the
    // user closed the prompt. The program shows the code prompt; tests answer it.
    using PreguntaCodigo = std::function<std::optional<QString>(QWidget *, const QString &)>;
    static void setPreguntaCodigo(PreguntaCodigo pregunta);
    // Opens the observer list to choose the observer of a slot; tests replace it.
    using ElegirObservador = std::function<void(QWidget *, const QString &origen)>;
    static void setElegirObservador(ElegirObservador elegir);

private slots:
    void Cbnueva_Click();
    void Cbguardar_Click();
    void CdVolver_Click();
    void Cbloc_Click();
    void Cbprov_Click();
    void Cbmuni_Click();
    void Cbmuni_LostFocus();
    void Cbhuso_Click();
    void Cbhuso_LostFocus();
    void cb10k_Click();
    void Txlong_LostFocus();
    void Txlat_LostFocus();
    void Cbespecie_Click();
    void Cbespecie_LostFocus();
    void Txhini_LostFocus();
    void Txhfi_LostFocus();

private:
    void Form_Load();
    void Txobs_LostFocus(int slot);
    void CdSelobs_Click(int slot);
    void Lista_Click(QComboBox *lista);
    void ComprobarHoras(QTimeEdit *dejado);
    void CalcularCuadradosUTM();
    void CargarProvinciasUTM10(const QString &utm10);
    void GuardarObservacion();
    void LimpiarFormulario();
    void CargarLocalidades();
    void PonerObservadorPorDefecto();
    void RellenarSegunClase(const QString &clase);
    QString CodigoEspecie() const;

    QLineEdit *Txobs(int slot) const;
    QLabel *Lbobs(int slot) const;
    QPushButton *CdSelobs(int slot) const;

    std::unique_ptr<Ui::newobs> ui;
    std::unique_ptr<UtmSquareControls> utm;

    QString ModoGuardar;
    QString ModoLocalidad;
    QString claseEspecie; // class of the chosen species: stages and behaviours are its own
    int idPeriodo = 0, idViento = 0, idMeteo = 0, idEstadio = 0, idConducta = 0, idHabitat = 0;
    int idProv = 0, idMuni = 0;
};
