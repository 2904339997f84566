#pragma once

#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class frmodif;
}
class ObservationForm;

// The form on which one stored observation is changed; the twin of newobs on the shared
// observation-form component, with the locality only chosen.
class frmodif : public QWidget {
    Q_OBJECT
public:
    explicit frmodif(QWidget *parent = nullptr);
    ~frmodif() override;

    // What the opener asks to hear after a save (the query refreshes its rows).
    using AlGuardar = std::function<void()>;
    // Shows the observation in the open form `abierto` (which then shows it instead of the
    // one it held) or in a new task window; null, after a message, when it cannot be read.
    static frmodif *Abrir(frmodif *abierto, int id, AlGuardar alGuardar);

    // Reads and shows the observation; false (after the message) when it is not found.
    bool Cargar(int id);
    int idObservacion() const { return idObservacion_; }

private slots:
    void Cbguardar_Click();
    void Command2_Click();

private:
    void Form_Load();
    void Cerrar();

    std::unique_ptr<Ui::frmodif> ui;
    class UnsavedChanges *cambios_ = nullptr;
    ObservationForm *obs = nullptr;
    int idObservacion_ = 0;
    QString huella_; // the row as loaded, to refuse overwriting another user's change
    AlGuardar alGuardar_;
    bool guardando_ = false;
    bool aceptada_ = false; // as loaded: a change puts it back to not yet verified
};
