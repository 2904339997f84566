#include "GpsControls.h"

#include "data/ReferenceData.h"
#include "geo/UtmSquares.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "localities/Place.h"
#include "localities/frgps.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

#include <cmath>

GpsControls::GpsControls(const Controles &c) : QObject(c.formulario), c_(c) {
    c_.Txgeo->setReadOnly(true);
    connect(c_.CdGps, &QPushButton::clicked, this, &GpsControls::CdGps_Click);
    connect(c_.CdMapa, &QPushButton::clicked, this, &GpsControls::CdMapa_Click);
    connect(c_.huso, &QComboBox::currentTextChanged, this, &GpsControls::Actualizar);
    for (QLineEdit *campo : {c_.este, c_.norte})
        connect(campo, &QLineEdit::textChanged, this, &GpsControls::Actualizar);
    Actualizar();
}

std::optional<Geodesy::Geograficas> GpsControls::Posicion() const {
    const QString huso = c_.huso->currentText().trimmed();
    const Utm::Coordenada x = Utm::LeerCoordenada(c_.este->text()),
                          y = Utm::LeerCoordenada(c_.norte->text());
    // Eight digits at most: a position on the map, not any number.
    const auto enMapa = [](const Utm::Coordenada &c) {
        return c.estado == Utm::Coordenada::Estado::Entera && c.valor < 100000000;
    };
    if (!Place::Zones().contains(huso) || huso.isEmpty() || !enMapa(x) || !enMapa(y))
        return std::nullopt;
    return geodesia_.AGeograficas({huso.toInt(), double(x.valor), double(y.valor)});
}

void GpsControls::Actualizar() {
    const auto p = Posicion();
    c_.Txgeo->setText(p ? QStringLiteral("%1, %2 (ETRS89)")
                              .arg(QString::number(p->lat, 'f', 6), QString::number(p->lon, 'f', 6))
                        : QString());
    c_.CdMapa->setEnabled(p.has_value());
}

void GpsControls::CdGps_Click() {
    QPointer<QWidget> formulario(c_.formulario);
    frgps::AlAceptarIncertidumbre alIncertidumbre;
    if (c_.incertidumbre)
        alIncertidumbre = [this, formulario](const QVariant &metros) {
            // A new point: an uncertainty of the old one would not hold for it.
            if (formulario)
                c_.incertidumbre->setText(metros.isNull() ? QString() : metros.toString());
        };
    frgps::Abrir(
        c_.formulario,
        [this, formulario](int huso, qint64 este, qint64 norte,
                           const MunicipalityLocator::Lugar &lugar) {
            if (formulario) Poner(huso, este, norte, lugar);
        },
        std::move(alIncertidumbre));
}

void GpsControls::Poner(int huso, qint64 este, qint64 norte,
                        const MunicipalityLocator::Lugar &lugar) {
    QPointer<QWidget> formulario(c_.formulario);
    const int i = c_.huso->findText(QString::number(huso));
    if (i < 0) return;
    // As a user would: the coordinates typed, then the zone chosen, which derives the
    // squares where the form derives them; then the place.
    c_.este->setText(QString::number(este));
    c_.norte->setText(QString::number(norte));
    ModBaseDatos::ElegirComoUsuario(c_.huso, i);
    if (formulario && c_.alLocalizar) c_.alLocalizar(lugar);
}

bool GpsControls::PonerPosicion(const Geodesy::Geograficas &etrs89) {
    const auto utm = geodesia_.AUtm(etrs89);
    if (!utm || utm->huso < 27 || utm->huso > 31) {
        MessageService::Mostrar(
            c_.formulario,
            QStringLiteral("La posición %1, %2 cae fuera de los husos 27 a 31 "
                           "que admiten los formularios.")
                .arg(QString::number(etrs89.lat, 'f', 6), QString::number(etrs89.lon, 'f', 6)),
            QStringLiteral("Tritodex"), QMessageBox::Warning);
        return false;
    }
    // Whole metres, cut as the squares are, as frgps gives them.
    MunicipalityLocator localizador;
    Poner(utm->huso, qint64(std::floor(utm->este)), qint64(std::floor(utm->norte)),
          localizador.Localizar(etrs89.lat, etrs89.lon));
    return true;
}

bool GpsControls::ConfirmarMunicipio(int idMuni) const {
    const auto p = Posicion();
    if (!p || idMuni == 0) return true;
    const auto fuera = MunicipalityLocator::Fuera(idMuni, p->lat, p->lon);
    if (!fuera || *fuera <= MunicipalityLocator::kMargen) return true;
    MunicipalityLocator localizador;
    const MunicipalityLocator::Lugar lugar = localizador.Localizar(p->lat, p->lon);
    // At sea, abroad, or on land no one municipality holds: nothing to compare with.
    if (lugar.municipios.isEmpty()) return true;
    ReferenceData ref;
    const auto hallado = ref.BuscarMunicipio(lugar.municipios.first());
    const auto elegido = ref.BuscarMunicipio(idMuni);
    if (ModBaseDatos::InformarError(c_.formulario, ref) || !hallado || !elegido) return true;
    // Two municipalities of one name are told apart by their provinces.
    const QString otro = hallado->nombre == elegido->nombre
                             ? QStringLiteral("%1 (%2)").arg(elegido->nombre, elegido->provincia)
                             : elegido->nombre;
    return MessageService::Mostrar(c_.formulario,
                                   QStringLiteral("Las coordenadas caen en el término de %1 (%2), "
                                                  "no en %3. ¿Guardar igualmente?")
                                       .arg(hallado->nombre, hallado->provincia, otro),
                                   QStringLiteral("Tritodex"), QMessageBox::Question,
                                   QMessageBox::Yes | QMessageBox::No,
                                   QMessageBox::No) == QMessageBox::Yes;
}

void GpsControls::CdMapa_Click() {
    const auto p = Posicion();
    if (!p) return;
    const QString lat = QString::number(p->lat, 'f', 5), lon = QString::number(p->lon, 'f', 5);
    const QUrl direccion(
        QStringLiteral("https://www.openstreetmap.org/?mlat=%1&mlon=%2#map=16/%1/%2")
            .arg(lat, lon));
    if (!ChoiceService::Abrir(direccion))
        MessageService::Mostrar(c_.formulario,
                                QStringLiteral("No se ha podido abrir el navegador con ") +
                                    direccion.toString(),
                                QStringLiteral("Ver en el mapa"), QMessageBox::Warning);
}
