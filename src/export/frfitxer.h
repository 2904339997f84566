#pragma once

#include "data/Avance.h"

#include <QDate>
#include <QMessageBox>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class frfitxer;
}

// The export for the association: the observations, observers and reasons as text files
// in a folder the user chooses, packed into one zip archive beside them.
class frfitxer : public QWidget {
    Q_OBJECT
public:
    explicit frfitxer(QWidget *parent = nullptr);
    ~frfitxer() override;

    // The folder `Driver1` has open: the export's target.
    QString Carpeta() const { return carpeta_; }
    // Opens a folder in `Driver1`; false (nothing changes) when it cannot be read.
    bool AbrirCarpeta(const QString &ruta);

private slots:
    void Drive1_Change();
    void Driver1_DblClick();
    void Cdgenerar_Click();
    void Command2_Click();
    void CdDwc_Click();
    void CdSensibles_Click();

private:
    void Form_Load();
    void CargarUnidades();
    // Why the export stopped, to be shown once the hourglass is gone.
    struct Aviso {
        QString texto;
        QString titulo;
        QMessageBox::Icon icono;
        bool falloBaseDatos = false;
    };
    // The export itself: nothing when the files and the archive were all written.
    std::optional<Aviso> Exportar(const QString &periodo, bool sinRechazadas, int *sustituidos,
                                  const Avance &avance);

    std::unique_ptr<Ui::frfitxer> ui;
    QString carpeta_;
    int rechazadas_ = 0; // the rejected observations the last export found
};
