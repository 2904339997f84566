#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class frloc;
}
class QSqlQueryModel;

// The locality list: search by code and name, the new and change forms, and the list
// written to a spreadsheet.
class frloc : public QWidget {
    Q_OBJECT
public:
    explicit frloc(QWidget *parent = nullptr);
    ~frloc() override;

    // The identifier of the locality in the current row, or empty.
    QString idLocalidad() const { return idLocalidad_; }

public slots:
    // The search with the filters as they stand; run again after a locality is stored.
    void CdBuscar_Click();

private slots:
    void DBloc_RowColChange();
    void DBloc_DblClick();
    void CdNou_Click();
    void cdAct_Click();
    void Excel_Click();
    void Tornar_Click();

private:
    void Form_Load();
    void CargarLocalidades(const QString &codigo, const QString &nombre);
    void MostrarModificar(bool mostrar);

    std::unique_ptr<Ui::frloc> ui;
    QSqlQueryModel *Dtloc = nullptr;
    QString idLocalidad_;
    QString ultimoCodigo_, ultimoNombre_; // the filters of the last search
    bool ocupado_ = false;
};
