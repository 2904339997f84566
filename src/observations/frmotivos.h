#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class frmotivos;
}
class QStandardItemModel;

// The reasons table kept directly in a grid: a new reason in the empty row at the end, a
// cell changed in place, a row deleted with the Delete key. A row's changes are stored
// when the row is left or the form closes; a refused change stays in the grid to correct.
class frmotivos : public QWidget {
    Q_OBJECT
public:
    explicit frmotivos(QWidget *parent = nullptr);
    ~frmotivos() override;

protected:
    void closeEvent(QCloseEvent *evento) override;
    bool eventFilter(QObject *objeto, QEvent *evento) override;

private slots:
    void DBmot_RowColChange(const QModelIndex &actual, const QModelIndex &anterior);
    void Dtmot_Change(class QStandardItem *celda);
    void Tornar_Click();

private:
    void Form_Load();
    void CargarGrid();
    void AnadirFilaVacia();
    // Stores the row's pending changes; false when refused (already shown).
    bool GuardarFila(int fila);
    // Stores every pending row; false when one was refused.
    bool GuardarCambios();
    void SuprimirFila(int fila);

    std::unique_ptr<Ui::frmotivos> ui;
    QStandardItemModel *Dtmot = nullptr;
    bool cargando_ = false;
    bool guardando_ = false;
};
