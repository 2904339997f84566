#pragma once

#include "atlas/AtlasStore.h"
#include "atlas/MapGrid.h"
#include "data/Avance.h"

#include <QPointer>
#include <QWidget>
#include <memory>

namespace Ui {
class frmapa;
}
class QLineEdit;
class QTableWidget;
class SpeciesFinder;
class frmodif;

// The distribution map: observations by 10-km square for one species (coloured by the year
// of each square's latest record) or for all (shaded by the number of species), with the
// observations of a chosen square and those the map cannot place listed beside it.
class frmapa : public QWidget {
    Q_OBJECT
public:
    explicit frmapa(QWidget *parent = nullptr);
    ~frmapa() override;

    const MapGrid &grid() const { return grid_; }
    const MapResult &resultado() const { return resultado_; }
    // Draws the map as shown into a PNG, SVG or PDF file by its suffix; false when it
    // could not be written (error in *error; Avances::kCancelado when the user stopped it).
    bool Exportar(const QString &ruta, QString *error, const Avance &avance) const;

public slots:
    void CdMostrar_Click();

private slots:
    void CdExportar_Click();
    void Cdfini_Click();
    void Cdffin_Click();
    void Cbespecie_LostFocus();
    void Txdini_LostFocus();
    void Txdfin_LostFocus();
    void Mapa_Click(int cuadrado);
    void Grcuadrado_DblClick();
    void Grsincuadricula_DblClick();

private:
    void Form_Load();
    bool ComprobarFecha(QLineEdit *campo);
    void Dibujar(const MapFilter &f, const ClasesMapa &clases);
    void CargarLista(QTableWidget *tabla, const std::vector<FilaMapa> &filas, bool conCuadrado);
    void AbrirObservacion(QTableWidget *tabla);
    QString Titulo() const;

    std::unique_ptr<Ui::frmapa> ui;
    MapGrid grid_;
    MapResult resultado_;
    MapFilter ultimo_; // the filters of the map shown
    ClasesMapa clases_;
    int elegido_ = -1; // the square listed
    SpeciesFinder *buscador_ = nullptr;
    QPointer<frmodif> modif_;
};
