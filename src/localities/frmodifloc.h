#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class frmodifloc;
}

// Change of a stored locality: every field but its code. Modal over the locality list;
// accepted once the change is stored.
class frmodifloc : public QDialog {
    Q_OBJECT
public:
    explicit frmodifloc(const QString &idLocalidad, QWidget *parent = nullptr);
    ~frmodifloc() override;

    // False when the locality could not be read (the user has been told).
    bool Cargado() const { return cargado_; }

public slots:
    void reject() override;

private slots:
    void cdAct_Click();
    void Command2_Click();

private:
    bool Form_Load();
    std::unique_ptr<Ui::frmodifloc> ui;
    QString idLocalidad;
    bool cargado_ = false;
    bool ocupado_ = false;
};
