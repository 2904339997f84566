#pragma once

#include "import/ImportStore.h"

#include <QWidget>
#include <memory>

namespace Ui {
class frimportar;
}
class ImportPreviewModel;

// Brings in the records of a GPS, a phone or the observation platforms: the file read, a
// preview to mend (species, municipality, rows left out), then the ticked rows stored at
// once for the chosen observer.
class frimportar : public QWidget {
    Q_OBJECT
public:
    explicit frimportar(QWidget *parent = nullptr);
    ~frimportar() override;

    // Columns of the preview grid.
    enum Columna {
        ColMarca,
        ColFecha,
        ColEspecie,
        ColNumero,
        ColHuso,
        ColEste,
        ColNorte,
        ColIncertidumbre, // the file's own, in metres
        ColUtm10,
        ColUtm1,
        ColMunicipio,
        ColLocalidad,
        ColDescripcion,
        ColEstado,
        NumColumnas
    };

private slots:
    void CdAbrir_Click();
    void CdFotos_Click();
    void CdCarpetaFotos_Click();
    void CdImportar_Click();
    void CdVolver_Click();
    void Cbobs_Click();
    // A cell the user changed: the tick, the species or the municipality of a row.
    void DBimport_Change(int fila, int columna);

private:
    void Form_Load();
    void CargarGrid();
    void AbrirFotos(const QStringList &rutas);
    void Reevaluar();
    QString Observador() const;

    std::unique_ptr<Ui::frimportar> ui;
    class UnsavedChanges *cambios_ = nullptr;
    std::unique_ptr<ImportStore> store_;
    ImportPreviewModel *modelo_ = nullptr;
    QList<ImportStore::Fila> filas_;
    QStringList especies_;
    QString archivo_;
    bool cargando_ = false;
};
