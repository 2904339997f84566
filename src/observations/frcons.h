#pragma once

#include "observations/ObservationStore.h"

#include <QPointer>
#include <QWidget>
#include <memory>

namespace Ui {
class frcons;
}
class QLineEdit;
class PagedQueryModel;
class frmodif;
class SpeciesFinder;

// The query of the recorded observations: seven filters, the grid, deletion, the change
// form and the spreadsheet.
class frcons : public QWidget {
    Q_OBJECT
public:
    explicit frcons(QWidget *parent = nullptr);
    ~frcons() override;

    // The identifier of the observation in the grid's current row, or 0.
    int idObservacion() const { return idObservacion_; }

public slots:
    // The query with the filters as they stand.
    void CdBuscar_Click();
    // The species codes that occur in observations.
    void carregar_especie();

private slots:
    void DBObs_RowColChange();
    void DBObs_DblClick();
    void Cdfini_Click();
    void Cdffin_Click();
    void cb10k_Click();
    void Cbesp_Click();
    void Cbesp_LostFocus();
    void Txdini_LostFocus();
    void Txdfin_LostFocus();
    void Command1_Click();
    void CdSup_Click();
    void Excel_Click();
    void CdVolver_Click();

private:
    void Form_Load();
    void CargarGrid(const ObservationFilter &filtro);
    void CargarProvinciasUTM10(const QString &cuadrado);
    bool ComprobarFecha(QLineEdit *campo);
    // After a save in the change form: the species offered and the rows.
    void Refrescar();

    std::unique_ptr<Ui::frcons> ui;
    PagedQueryModel *DtObs = nullptr;
    int idObservacion_ = 0;    // none while no row is current
    ObservationFilter ultimo_; // the filters of the rows shown
    SpeciesFinder *buscador_ = nullptr;
    QPointer<frmodif> modif_;
};
