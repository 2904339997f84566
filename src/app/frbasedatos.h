#pragma once

#include "data/ModConex.h"

#include <QWidget>
#include <memory>
#include <optional>

namespace Ui {
class frbasedatos;
}

// Which database the program uses: the local file or a group's PostgreSQL server. The
// choice is tried, taken at once and kept in the user's settings; the password is asked
// for when the server wants one and kept in memory only.
class frbasedatos : public QWidget {
    Q_OBJECT
public:
    explicit frbasedatos(QWidget *parent = nullptr);
    ~frbasedatos() override;

private slots:
    void OpServidor_Toggled();
    void CdProbar_Click();
    void CdAceptar_Click();
    void CdCancelar_Click();

private:
    void Form_Load();
    void MostrarActual();
    // The server as typed; nothing, after saying what is missing, when it is incomplete.
    std::optional<ModConex::Servidor> Leer();

    std::unique_ptr<Ui::frbasedatos> ui;
    class UnsavedChanges *cambios_ = nullptr;
    // A password typed during this session for the server of that description.
    QString contrasena_, contrasenaDe_;
};
