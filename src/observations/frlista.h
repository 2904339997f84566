#pragma once

#include <QWidget>
#include <memory>
#include <vector>

namespace Ui {
class frlista;
}
class ObservationForm;
struct Observacion;

// The species of one visit entered at once: the visit's header (observers, date, times,
// conditions, reason, locality) as on the observation form, and one row per species in the
// grid. The save stores one observation per row that holds anything, all or none.
class frlista : public QWidget {
    Q_OBJECT
public:
    explicit frlista(QWidget *parent = nullptr);
    ~frlista() override;

    // The grid's columns.
    enum Columna { ColEspecie, ColNumero, ColAprox, ColEstadio, ColConducta, ColDesc, ColAviso };

private slots:
    void CdGuardar_Click();
    void CdVolver_Click();

private:
    struct Fila;

    void Form_Load();
    // A new empty row at the end of the grid; its species list takes the focus when asked.
    Fila *NuevaFila();
    void VaciarFilas();
    Fila *FilaDe(const QObject *control) const;
    int Indice(const Fila *f) const;
    void Especie_Click(Fila *f);
    void Especie_LostFocus(Fila *f);
    void CambiarClase(Fila *f, const QString &clase);
    // Tab or Enter at the end of a row: the next row, opened when this one is the last and
    // holds something. False when the key goes its usual way.
    bool FinDeFila(Fila *f);
    void Marcar(Fila *f, const QString &motivo);
    void ActualizarResumen();
    void GuardarLista();
    // The row's values over the header's; empty with *motivo set when the row is refused.
    std::optional<Observacion> LeerFila(Fila *f, const Observacion &cabecera, QString *motivo);
    // True when no row repeats another or (`consultar`) a stored record, or the user, asked
    // once about all of them, wants them stored.
    bool RegistrarRepetidas(const QList<Observacion> &lista, const QList<Fila *> &filas,
                            bool consultar);

    std::unique_ptr<Ui::frlista> ui;
    ObservationForm *obs = nullptr;
    class UnsavedChanges *cambios_ = nullptr;
    std::vector<std::unique_ptr<Fila>> filas_;
    QStringList especies_;
};
