#pragma once

#include <QDate>
#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class newobs;
}
class ObservationForm;
struct Foto;

// The form on which one observation is recorded, at an existing locality or at a new one
// described on the spot.
class newobs : public QWidget {
    Q_OBJECT
public:
    explicit newobs(QWidget *parent = nullptr);
    ~newobs() override;

    // The chosen locality's code, "new" while the typed name is a new locality.
    QString CodigoLocalidad() const;

private slots:
    void Cbnueva_Click();
    void Cbguardar_Click();
    void CdVolver_Click();

private:
    void Form_Load();
    void GuardarObservacion(QWidget *boton);
    void OfrecerRelleno(const Foto &foto);

    std::unique_ptr<Ui::newobs> ui;
    class UnsavedChanges *cambios_ = nullptr;
    ObservationForm *obs = nullptr;
};
