#pragma once

// An observation recorded as a user records it: typed into the observation form, its times
// set in the time fields (left at 00:00 when not given, as the form keeps them), a new
// locality described by zone, coordinates, province and municipality, then "Nueva".

#include "support/Controles.h"
#include "support/User.h"

#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "observations/newobs.h"

#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>

namespace Anotar {

struct Lugar {
    QString nombre; // an existing locality is chosen by its name alone
    QString huso, este, norte, provincia, municipio;
};

struct Registro {
    QString observador;
    QDate fecha;
    QString especie;
    Lugar lugar;
    QTime inicio = QTime(0, 0), fin = QTime(0, 0);
    QString numero; // empty: not typed
};

// The message the form showed on saving, or what went wrong before it.
inline QString Observacion(const Registro &r) {
    newobs f;
    f.show();
    ChoiceService::Prueba().codigoLocalidad = [](QWidget *, const QString &p) {
        return std::optional(p);
    };
    const auto c = [&f](const char *nombre) { return Control(&f, nombre); };
    const auto Elegir = [&](const char *lista, const QString &texto) {
        User::Elegir(Control<QComboBox>(&f, lista), texto);
    };
    MessageService::Limpiar();
    User::Poner(c("Txobs1"), r.observador);
    User::Poner(c("Cbespecie"), r.especie);
    Control<QDateEdit>(&f, "Txdata")->setDate(r.fecha);
    User::SalirDe(c("Txdata"));
    Control<QTimeEdit>(&f, "Txhini")->setTime(r.inicio);
    User::SalirDe(c("Txhini"));
    Control<QTimeEdit>(&f, "Txhfi")->setTime(r.fin);
    User::SalirDe(c("Txhfi"));
    if (!r.numero.isEmpty()) User::Poner(c("Txexemplars"), r.numero);
    User::Poner(c("Cbloc"), r.lugar.nombre);
    if (!r.lugar.huso.isEmpty()) {
        Elegir("Cbhuso", r.lugar.huso);
        User::Poner(c("Txlong"), r.lugar.este);
        User::Poner(c("Txlat"), r.lugar.norte);
        Elegir("Cbprov", r.lugar.provincia);
        Elegir("Cbmuni", r.lugar.municipio);
    }
    if (!MessageService::Mostrados().isEmpty())
        return QStringLiteral("antes de guardar: ") + MessageService::Ultimo().texto;
    // The same species, place and day as another record is stored all the same.
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    QTest::mouseClick(c("Cbnueva"), Qt::LeftButton);
    return MessageService::Mostrados().isEmpty() ? QString() : MessageService::Ultimo().texto;
}

} // namespace Anotar
