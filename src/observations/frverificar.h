#pragma once

#include "observations/VerificationStore.h"

#include <QList>
#include <QWidget>
#include <memory>

namespace Ui {
class frverificar;
}
class VerificationModel;

// The check of the records before they leave: the observations filtered by status, species,
// observer, province and warnings; the chosen one's details and photos beside the grid; the
// chosen rows accepted, doubted or rejected (with a comment, which a rejection needs), by
// the buttons or by A, D and R on the grid.
class frverificar : public QWidget {
    Q_OBJECT
public:
    explicit frverificar(QWidget *parent = nullptr);
    ~frverificar() override;

    // The grid's columns; the identifier rides on the first as Qt::UserRole.
    enum Columna {
        ColFecha,
        ColEspecie,
        ColLocalidad,
        ColProvincia,
        ColObservadores,
        ColEjemplares,
        ColEstado,
        ColVerificador,
        ColAvisos,
        NumColumnas
    };

protected:
    bool eventFilter(QObject *objeto, QEvent *evento) override;

private slots:
    void Filtro_Change();
    void DBverificar_RowColChange();
    void CdAceptar_Click();
    void CdDudosa_Click();
    void CdRechazar_Click();
    void CdSalir_Click();

private:
    using Estado = VerificationStore::Estado;
    void Form_Load();
    void CargarGrid();
    void MostrarFicha();
    // The identifiers of the chosen rows, in the grid's order.
    QList<int> Elegidas() const;
    // Sets the status of the chosen rows; `preguntar` asks first, giving their number.
    void Marcar(Estado estado, bool preguntar);

    std::unique_ptr<Ui::frverificar> ui;
    VerificationModel *Dtverificar = nullptr;
    bool puede_ = true;
    bool cargando_ = false;
    QString hecho_; // what the last action did, shown under the grid
};
