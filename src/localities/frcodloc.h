#pragma once

#include <QDialog>
#include <memory>
#include <optional>

namespace Ui {
class frcodloc;
}

// Asks for a new locality's code, proposing one; refuses an empty or existing code.
class frcodloc : public QDialog {
    Q_OBJECT
public:
    explicit frcodloc(QWidget *parent = nullptr);
    ~frcodloc() override;

    // Asks for a new locality's code, proposing one: the accepted code, or nothing when the
    // user closed the prompt. Tests answer through the choice service.
    static std::optional<QString> Preguntar(QWidget *padre, const QString &propuesto);

    QString CodigoPropuesto; // set before the prompt is shown
    QString CodigoAceptado() const { return aceptado_; }

protected:
    void showEvent(QShowEvent *evento) override;

private slots:
    void Command1_Click();

private:
    void Form_Load();
    std::unique_ptr<Ui::frcodloc> ui;
    QString aceptado_;
    bool cargado_ = false;
};
