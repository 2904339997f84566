#pragma once

#include <QList>
#include <QWidget>
#include <memory>

namespace Ui {
class frpapelera;
}
class QSqlQueryModel;

// The bin: the deleted observations, when each was deleted and by whom; the chosen ones
// restored as they were, or emptied for good.
class frpapelera : public QWidget {
    Q_OBJECT
public:
    explicit frpapelera(QWidget *parent = nullptr);
    ~frpapelera() override;

private slots:
    void DBpapelera_RowColChange();
    void CdRestaurar_Click();
    void CdVaciar_Click();
    void CdVolver_Click();

private:
    void Form_Load();
    void CargarGrid();
    // The identifiers of the chosen rows, in the grid's order.
    QList<int> Elegidas() const;

    std::unique_ptr<Ui::frpapelera> ui;
    QSqlQueryModel *Dtpapelera = nullptr;
};
