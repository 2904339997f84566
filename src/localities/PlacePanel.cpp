#include "PlacePanel.h"

#include "data/ModConex.h"
#include "data/ReferenceData.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "localities/GpsControls.h"
#include "localities/Place.h"
#include "localities/UtmSquareControls.h"
#include "ui_PlacePanel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSqlError>

namespace {

using ModBaseDatos::Vaciar;

// An empty field is stored as the empty text, not as a null.
QString Texto(const QString &t) {
    return t.isNull() ? QStringLiteral("") : t;
}

} // namespace

PlacePanel::PlacePanel(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::PlacePanel>()) {
    ui->setupUi(this);
}

void PlacePanel::Iniciar(const Opciones &o) {
    o_ = o;
    ui->Frame1->setObjectName(o.marcoCoordenadas);
    if (!o.derivarCuadrados) ui->missatge->hide();
    utm_ = std::make_unique<UtmSquareControls>(
        UtmSquareControls::Controles{window(), ui->Cbhuso, ui->Txutmx, ui->Txutmy, ui->cb10k,
                                     ui->txutm1k, ui->Cbprov, ui->Cbmuni, ui->missatge},
        UtmSquareControls::Opciones{false, o.derivarCuadrados});
    gps_ = new GpsControls(
        {window(), ui->Cbhuso, ui->Txutmx, ui->Txutmy, ui->CdGps, ui->Txgeo, ui->CdMapa,
         [this](const MunicipalityLocator::Lugar &lugar) {
             // A square refused by the derivation leaves no place to fill.
             if (!o_.derivarCuadrados || !ui->cb10k->currentText().trimmed().isEmpty())
                 utm_->PonerLugar(lugar);
         },
         ui->Txincert});

    for (QComboBox *lista : {ui->Cbmuni, ui->Cbhuso})
        ModBaseDatos::HacerCompletable(lista);
    for (QLineEdit *campo : {ui->Txutmx, ui->Txutmy, ui->Txincert})
        ModBaseDatos::FiltrarDigitos(campo);
    // No length limit on the coordinates: one that does not fit is refused by the save with
    // a message, never cut as it is typed or pasted.

    ModBaseDatos::AlElegir(ui->Cbprov, [this] { Cbprov_Click(); });
    ModBaseDatos::AlElegir(ui->Cbmuni, [this] { Cbmuni_Click(); });
    ModBaseDatos::AlPerderFoco(ui->Cbmuni, [this] {
        if (utm_->Cbmuni_LostFocus()) idMuni_ = 0;
    });
    ModBaseDatos::AlPerderFoco(ui->Cbhuso, [this] { utm_->Cbhuso_LostFocus(); });
    if (o_.derivarCuadrados) {
        ModBaseDatos::AlElegir(ui->Cbhuso, [this] { CalcularCuadradosUTM(); });
        ModBaseDatos::AlPerderFoco(ui->Txutmx, [this] { CalcularCuadradosUTM(); });
        ModBaseDatos::AlPerderFoco(ui->Txutmy, [this] { CalcularCuadradosUTM(); });
        ModBaseDatos::AlElegir(ui->cb10k, [this] { cb10k_Click(); });
    }
}

PlacePanel::Partes PlacePanel::ComoObservacion(bool creaLocalidades) {
    // Renamed in this order: the province frame takes the name the square frame gives up.
    const QList<std::pair<QWidget *, const char *>> nombres = {
        {ui->Frame2, "Frame3"}, {ui->frutm, "Frame2"}, {ui->Txutmx, "Txlong"},
        {ui->Txutmy, "Txlat"},  {ui->txutm1k, "tx1k"},
    };
    for (const auto &[control, nombre] : nombres)
        control->setObjectName(QLatin1String(nombre));
    if (!creaLocalidades) {
        delete ui->Txincert;
        delete ui->Lbincert;
        ui->Txincert = nullptr;
        ui->Lbincert = nullptr;
        ui->missatge->hide();
    }
    Partes p;
    p.Cbprov = ui->Cbprov;
    p.Cbmuni = ui->Cbmuni;
    p.cb10k = ui->cb10k;
    p.Cbhuso = ui->Cbhuso;
    p.Txlong = ui->Txutmx;
    p.Txlat = ui->Txutmy;
    p.tx1k = ui->txutm1k;
    p.Txgeo = ui->Txgeo;
    p.Txincert = ui->Txincert;
    p.CdGps = ui->CdGps;
    p.CdMapa = ui->CdMapa;
    p.missatge = ui->missatge;
    p.Frame1 = ui->Frame1;
    p.Frame2 = ui->frutm;
    p.Frame3 = ui->Frame2;
    return p;
}

PlacePanel::~PlacePanel() = default;

bool PlacePanel::Cargar() {
    // Without a database one message says so, instead of one for every list.
    if (!ModConex::DatabaseConnection().isOpen()) {
        MessageService::MostrarFallo(window(),
                                     DescribirError(ModConex::DatabaseConnection().lastError()));
        return false;
    }
    utm_->CargarTodosUTM10();
    utm_->CargarProvinciasUTM10(QString());
    return true;
}

void PlacePanel::Mostrar(const Localidad &l) {
    mostrando_ = true;
    ui->Txutmx->setText(l.utmx.isNull() ? QString() : l.utmx.toString());
    ui->Txutmy->setText(l.utmy.isNull() ? QString() : l.utmy.toString());
    ui->Txincert->setText(l.incertidumbre.isNull() ? QString() : l.incertidumbre.toString());
    ModBaseDatos::PonerTexto(ui->Cbhuso,
                             l.utmhuso.trimmed().isEmpty() ? QStringLiteral(" ") : l.utmhuso);
    ui->txutm1k->setText(l.utm1k);
    // A stored square the list lacks is shown and kept, so that saving does not lose it.
    const QString cuadrado = l.utm10k.isEmpty() ? QStringLiteral(" ") : l.utm10k;
    int i = ui->cb10k->findText(cuadrado, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i < 0) {
        ui->cb10k->insertItem(ui->cb10k->count() - 1, cuadrado);
        i = ui->cb10k->count() - 2;
    }
    {
        const QSignalBlocker bloqueo(ui->cb10k);
        ui->cb10k->setCurrentIndex(i);
    }
    ModBaseDatos::PonerTexto(ui->Cbprov, l.provincia);
    ModBaseDatos::PonerTexto(ui->Cbmuni, l.municipio);
    // The stored identifiers stay, even where a name is shared by more than one row.
    idProv_ = l.prov;
    idMuni_ = l.muni;
    mostrando_ = false;
}

std::optional<Localidad> PlacePanel::Leer(const QString &titulo) const {
    // Pasted text can reach the digit fields; it must not reach the database.
    const auto Coordenada = [&](const Place::Coordinate &c, const QString &nombre, int cifras) {
        if (c.fault == Place::Fault::None) return true;
        MessageService::Mostrar(
            window(),
            c.fault == Place::Fault::NotWhole
                ? QStringLiteral("El campo %1 debe ser un número entero.").arg(nombre)
                : QStringLiteral("El campo %1 tiene como máximo %2 cifras.")
                      .arg(nombre)
                      .arg(cifras),
            titulo, QMessageBox::Warning);
        return false;
    };
    const Place::Coordinate x = Place::ReadEasting(ui->Txutmx->text());
    if (!Coordenada(x, QStringLiteral("longitud (E)"), 7)) return std::nullopt;
    const Place::Coordinate y = Place::ReadNorthing(ui->Txutmy->text());
    if (!Coordenada(y, QStringLiteral("latitud (N)"), 8)) return std::nullopt;
    QString motivo;
    const auto incertidumbre = Place::ReadUncertainty(
        ui->Txincert->text(), !x.value.isNull() && !y.value.isNull(), &motivo);
    if (!incertidumbre) {
        MessageService::Mostrar(window(), motivo, titulo, QMessageBox::Warning);
        ui->Txincert->setFocus();
        return std::nullopt;
    }
    Localidad l;
    l.prov = idProv_;
    l.muni = idMuni_;
    l.utmx = x.value;
    l.utmy = y.value;
    l.incertidumbre = *incertidumbre;
    l.utmhuso = Texto(ui->Cbhuso->currentText());
    l.utm1k = Texto(ui->txutm1k->text());
    l.utm10k = Texto(ui->cb10k->currentText());
    return l;
}

bool PlacePanel::MunicipioConfirmado() const {
    return gps_->ConfirmarMunicipio(idMuni_);
}

void PlacePanel::Cbprov_Click() {
    const QString provincia = ui->Cbprov->currentText();
    if (provincia.isEmpty()) {
        Vaciar(ui->Cbmuni);
        idProv_ = idMuni_ = 0;
        ui->Cbmuni->setEnabled(false);
        return;
    }
    ui->Cbmuni->setEnabled(true);
    QString cuadrado;
    if (o_.derivarCuadrados && !mostrando_) {
        if (!ui->cb10k->currentText().trimmed().isEmpty()) {
            cuadrado = ui->cb10k->currentText();
        } else if (!derivando_) {
            // Province first: the place is given by municipality and square instead.
            ui->Frame1->setEnabled(false);
            Vaciar(ui->Cbhuso);
        }
    }
    ReferenceData ref;
    if (const auto id = ref.IdProvincia(provincia)) idProv_ = *id;
    const QStringList municipios =
        utm_->SoloCandidatos(provincia, ref.MunicipiosDeProvincia(provincia, cuadrado));
    if (ModBaseDatos::InformarError(window(), ref)) return;
    const QString anterior = ui->Cbmuni->currentText();
    ModBaseDatos::Rellenar(ui->Cbmuni, municipios + QStringList{QString()});
    // A municipality no longer shown is no longer chosen.
    idMuni_ = 0;
    if (o_.derivarCuadrados && !anterior.isEmpty() && municipios.contains(anterior))
        ModBaseDatos::PonerTexto(ui->Cbmuni, anterior);
}

void PlacePanel::Cbmuni_Click() {
    const QString municipio = ui->Cbmuni->currentText();
    if (municipio.trimmed().isEmpty()) {
        idMuni_ = 0;
        return;
    }
    ReferenceData ref;
    const auto id = ref.IdMunicipio(municipio, ui->Cbprov->currentText());
    if (ModBaseDatos::InformarError(window(), ref)) return;
    idMuni_ = id.value_or(0);
    if (o_.derivarCuadrados && !mostrando_ && ui->cb10k->currentText().trimmed().isEmpty())
        utm_->CargarUTM10();
}

void PlacePanel::cb10k_Click() {
    if (utm_->utm10Encontrado() || mostrando_) return;
    Vaciar(ui->Cbhuso);
    utm_->CargarProvinciasUTM10(ui->cb10k->currentText());
    OlvidarProvinciaOculta();
}

void PlacePanel::CalcularCuadradosUTM() {
    if (mostrando_) return;
    // A square refused by the derivation must not switch the coordinates off.
    derivando_ = true;
    utm_->CalcularCuadradosUTM();
    derivando_ = false;
    OlvidarProvinciaOculta();
}

void PlacePanel::OlvidarProvinciaOculta() {
    if (ui->Cbprov->currentIndex() < 0 && (idProv_ != 0 || idMuni_ != 0)) Cbprov_Click();
}

QString PlacePanel::Cuadrado10k() const {
    return ui->cb10k->currentText();
}
