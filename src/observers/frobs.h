#pragma once

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

    // Selection mode for an opener's slot: "alta1".."alta4" (newobs) or "modif1".."modif4"
    // (frmodif). Shows "Seleccionar".
    void ModoSeleccion(const QString &origen);
    // What an observation form's slot button does: the open list (or a new one, shown as a
    // task window) in selection mode for that slot, brought to the front.
    static frobs *AbrirSeleccion(const QString &origen);

    // The code of the observer in the current row, or empty.
    QString codObservador() const { return codObservador_; }

    // How the new and change forms are shown (modal); tests replace it.
    static void setMostrarDialogo(std::function<int(QDialog *)> mostrar);

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
    bool ocupado_ = false;
};
