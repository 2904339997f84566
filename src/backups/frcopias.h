#pragma once

#include "data/Backups.h"

#include <QWidget>
#include <memory>

namespace Ui {
class frcopias;
}

// The copies of the database: when each was made, its size and how many observations it
// holds; a copy made on demand, and the data put back as a chosen copy held them.
class frcopias : public QWidget {
    Q_OBJECT
public:
    explicit frcopias(QWidget *parent = nullptr);
    ~frcopias() override;

private slots:
    void CdCopia_Click();
    void CdRestaurar_Click();
    void CdVolver_Click();

private:
    void Form_Load();
    void CargarCopias(const QString &actual = QString());
    // The pictures a copy or a restore could not find, as a sentence to add; empty when none.
    static QString FotosQueFaltan(const Backups::Fotos &fotos);

    std::unique_ptr<Ui::frcopias> ui;
};
