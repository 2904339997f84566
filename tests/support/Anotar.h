#pragma once

// An observation recorded as a user records it: typed into the observation form, its times
// set in the time fields (left at 00:00 when not given, as the form keeps them), a new
// locality described by zone, coordinates, province and municipality, then "Nueva".

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
    const auto c = [&f](const char *nombre) {
        QWidget *w = f.findChild<QWidget *>(QString::fromLatin1(nombre));
        if (!w) qFatal("no control %s", nombre);
        return w;
    };
    const auto Poner = [&](const char *campo, const QString &texto) {
        User::Escribir(c(campo), texto);
        User::SalirDe(c(campo));
    };
    const auto Elegir = [&](const char *lista, const QString &texto) {
        User::Elegir(qobject_cast<QComboBox *>(c(lista)), texto);
    };
    MessageService::Limpiar();
    Poner("Txobs1", r.observador);
    Poner("Cbespecie", r.especie);
    qobject_cast<QDateEdit *>(c("Txdata"))->setDate(r.fecha);
    User::SalirDe(c("Txdata"));
    qobject_cast<QTimeEdit *>(c("Txhini"))->setTime(r.inicio);
    User::SalirDe(c("Txhini"));
    qobject_cast<QTimeEdit *>(c("Txhfi"))->setTime(r.fin);
    User::SalirDe(c("Txhfi"));
    if (!r.numero.isEmpty()) Poner("Txexemplars", r.numero);
    Poner("Cbloc", r.lugar.nombre);
    if (!r.lugar.huso.isEmpty()) {
        Elegir("Cbhuso", r.lugar.huso);
        Poner("Txlong", r.lugar.este);
        Poner("Txlat", r.lugar.norte);
        Elegir("Cbprov", r.lugar.provincia);
        Elegir("Cbmuni", r.lugar.municipio);
    }
    if (!MessageService::Mostrados().isEmpty())
        return QStringLiteral("antes de guardar: ") + MessageService::Ultimo().texto;
    // The same species, place and day as another record is stored all the same.
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    QTest::mouseClick(qobject_cast<QPushButton *>(c("Cbnueva")), Qt::LeftButton);
    return MessageService::Mostrados().isEmpty() ? QString() : MessageService::Ultimo().texto;
}

} // namespace Anotar
