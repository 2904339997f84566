#pragma once

#include "localities/MunicipalityLocator.h"
#include "localities/Place.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

// The UTM square routines of a locality form, working on that form's own controls. The
// forms differ only in the options.
class UtmSquareControls {
public:
    struct Controles {
        QWidget *formulario = nullptr;
        QComboBox *huso = nullptr;        // Cbhuso
        QLineEdit *este = nullptr;        // Txutmx / Txlong
        QLineEdit *norte = nullptr;       // Txutmy / Txlat
        QComboBox *cuadrado10k = nullptr; // cb10k
        QLineEdit *cuadrado1k = nullptr;  // txutm1k / tx1k
        QComboBox *provincia = nullptr;   // Cbprov
        QComboBox *municipio = nullptr;   // Cbmuni
        QLabel *mensaje = nullptr;        // missatge
    };
    struct Opciones {
        // Compare the derived square with every square, not only those on offer.
        bool recargarCuadrados = false;
        // Keep the shown province selected when the province list is refilled.
        bool mantenerProvincia = true;
    };

    UtmSquareControls(const Controles &c, const Opciones &o);

    void CalcularCuadradosUTM();
    void CargarProvinciasUTM10(const QString &utm10);
    // The squares of the chosen municipality (of the chosen province), or all of them; then
    // the blank " ".
    void CargarUTM10();
    // Every square, then the blank " ".
    void CargarTodosUTM10();

    // The zone and municipality lists left: a text that is no item is emptied and refused
    // aloud. The municipality's returns whether it is no longer chosen.
    void Cbhuso_LostFocus();
    bool Cbmuni_LostFocus();

    // Set while the derivation selects its square, so the square's handler stands aside.
    bool utm10Encontrado() const { return utm10Encontrado_; }

    // The place found for the point the fields now hold: its one municipality chosen with
    // its province, or, near a boundary, the lists narrowed to the municipalities it may
    // lie in (the choice is the user's).
    void PonerLugar(const MunicipalityLocator::Lugar &lugar);
    // A province's municipalities as offered: only the point's candidates while the fields
    // still hold that point.
    QStringList SoloCandidatos(const QString &provincia, const QStringList &municipios);

private:
    QString Punto() const;

    Controles c_;
    Opciones o_;
    bool utm10Encontrado_ = false;
    Place lugar_;
};
