#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class frobs;
}
class QDialog;
class QSqlQueryModel;

// The observer list: search, deletion, the new and change forms, and the choice of an
// observer for a slot of an observation form.
class frobs : public QWidget {
    Q_OBJECT
public:
    explicit frobs(QWidget *parent = nullptr);
    ~frobs() override;

    // What "Seleccionar" hands back to the form that asked: the code and the full name.
    using AlElegir = std::function<void(const QString &codigo, const QString &nombre)>;

    // Selection mode for one slot of a requester (newobs, frmodif). Shows "Seleccionar"; the
    // choice goes to `alElegir` while the requester is open.
    void ModoSeleccion(QWidget *solicitante, AlElegir alElegir);
    // What an observation form's slot button does: the open list (or a new one, shown as a
    // task window) in selection mode for that slot, brought to the front. In tests the
    // choice service may answer instead (then nothing opens and null is returned).
    static frobs *AbrirSeleccion(QWidget *solicitante, AlElegir alElegir);

    // The code of the observer in the current row, or empty.
    QString codObservador() const { return codObservador_; }

public slots:
    // The search with the filters as they stand; the other observer forms run it after a save.
    void CdBuscar_Click();

private slots:
    void DBObs_RowColChange();
    void DBObs_DblClick();
    void CdSel_Click();
    void cdAct_Click();
    void CdNou_Click();
    void CdSup_Click();
    void Tornar_Click();

private:
    void Form_Load();
    void CargarObservadores(const QString &codigo, const QString &nombre);
    void MostrarBotones(bool mostrar);
    void Descargar();

    std::unique_ptr<Ui::frobs> ui;
    QSqlQueryModel *DtObs = nullptr;
    QString codObservador_;
    QPointer<QWidget> solicitante_;
    AlElegir alElegir_;
    bool ocupado_ = false;
};
