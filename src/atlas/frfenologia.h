#pragma once

#include "atlas/PhenologyStore.h"
#include "data/Avance.h"

#include <QFont>
#include <QWidget>
#include <memory>

namespace Ui {
class frfenologia;
} // namespace Ui
class QChart;
class SpeciesFinder;
class QLineEdit;
class QPainter;
class QStackedBarSeries;
class QStandardItemModel;
class QValueAxis;

// The phenology chart: observations in the 36 ten-day periods of the year, stacked by life
// stage, for one species or all, with the list of a period's observations and the export.
class frfenologia : public QWidget {
    Q_OBJECT
public:
    explicit frfenologia(QWidget *parent = nullptr);
    ~frfenologia() override;

    // The chart's title: species, years and the other filters of the counts shown.
    QString Titulo() const { return titulo_; }

private slots:
    void CdMostrar_Click();
    void CdExportar_Click();
    void CdVolver_Click();
    void Ckejemplares_Click();
    void Cbespecie_Click();
    void Cbespecie_LostFocus();
    void Grafico_Hover(bool encima, int indice);
    void Grafico_Click(int indice);

private:
    void Form_Load();
    // The filters as typed; nothing, after telling the user, when one cannot be read.
    std::optional<FiltroFenologia> LeerFiltros();
    bool LeerAno(QLineEdit *campo, const QString &cual, int &ano);
    void PrepararGrafico();
    // The month names at the largest size, up to the chart's own, that fits their room.
    void AjustarMeses(qreal anchoGrafico);
    void Dibujar();
    void ListarPeriodo(int periodo);
    QString TextoPeriodo(int periodo) const;
    bool Pintar(const QString &ruta, const QString &formato, QString &error, const Avance &avance);
    void PintarEn(QPainter &pintor, const QRectF &destino);

    std::unique_ptr<Ui::frfenologia> ui;
    SpeciesFinder *buscador_ = nullptr;
    QChart *grafico_ = nullptr;
    QStackedBarSeries *serie_ = nullptr;
    QValueAxis *cuenta_ = nullptr;
    QFont letraMeses_; // the month names as the chart would draw them
    QStandardItemModel *DtObs = nullptr;
    FiltroFenologia filtro_; // the filters of the counts shown
    Fenologia fenologia_;
    QString titulo_;
};
