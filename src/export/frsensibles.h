#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class frsensibles;
}

// The species whose records are published only at their 10-km square: a checkable list,
// stored on "Aceptar".
class frsensibles : public QDialog {
    Q_OBJECT
public:
    explicit frsensibles(QWidget *parent = nullptr);
    ~frsensibles() override;

    // Shows the form modal over the requesting form.
    static void Abrir(QWidget *solicitante);

private slots:
    void CdAceptar_Click();
    void CdCancelar_Click();

private:
    void Form_Load();

    std::unique_ptr<Ui::frsensibles> ui;
};
