#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class frmodifobs;
}

// Change of an observer (all but the code) and of whether it is the default observer.
// Modal over the list; accepted once the change is stored.
class frmodifobs : public QDialog {
    Q_OBJECT
public:
    // Loads the observer with that code; when it cannot, the user is told and Cargado()
    // is false, and the form is not to be shown.
    explicit frmodifobs(const QString &codObservador, QWidget *parent = nullptr);
    ~frmodifobs() override;

    bool Cargado() const { return cargado_; }
    QString codObservador() const { return codObservador_; }

public slots:
    void reject() override;

private slots:
    void cdAct_Click();
    void Command2_Click();

private:
    bool Form_Load();
    std::unique_ptr<Ui::frmodifobs> ui;
    QString codObservador_;
    bool eraPredeterminado = false;
    bool cargado_ = false;
    bool ocupado_ = false;
};
