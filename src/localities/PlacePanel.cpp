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
    if (o.comoObservacion) {
        // Renamed in this order: the boundaries' frame takes the name the square frame gives
        // up.
        const QList<std::pair<QWidget *, const char *>> nombres = {
            {ui->Frame2, "Frame3"}, {ui->frutm, "Frame2"}, {ui->Txutmx, "Txlong"},
            {ui->Txutmy, "Txlat"},  {ui->txutm1k, "tx1k"},
        };
        for (const auto &[control, nombre] : nombres)
            control->setObjectName(QLatin1String(nombre));
    }
    if (o.soloMostrar) {
        delete ui->Txincert;
        delete ui->Lbincert;
        ui->Txincert = nullptr;
        ui->Lbincert = nullptr;
        // The locality's place is shown, not entered.
        for (QComboBox *lista : {ui->Cbprov, ui->Cbmuni, ui->cb10k, ui->Cbhuso})
            lista->setEnabled(false);
        for (QLineEdit *campo : {ui->Txutmx, ui->Txutmy, ui->txutm1k})
            campo->setReadOnly(true);
        ui->CdGps->setEnabled(false);
    }
    if (!o.derivarCuadrados) ui->missatge->hide();
    utm_ = std::make_unique<UtmSquareControls>(
        UtmSquareControls::Controles{window(), ui->Cbhuso, ui->Txutmx, ui->Txutmy, ui->cb10k,
                                     ui->txutm1k, ui->Cbprov, ui->Cbmuni, ui->missatge},
        UtmSquareControls::Opciones{o.vaciarCoordenadas, o.derivarCuadrados});
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
        if (campo) ModBaseDatos::FiltrarDigitos(campo);
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
    if (o_.comoObservacion) return MostrarEligiendo(l);
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

void PlacePanel::MostrarEligiendo(const Localidad &l) {
    utm_->CargarProvinciasUTM10(QString());
    mostrando_ = true;
    ModBaseDatos::PonerTexto(ui->Cbhuso, l.utmhuso.isEmpty() ? ui->Cbhuso->itemText(0) : l.utmhuso);
    ui->Txutmy->setText(l.utmy.isNull() ? QString() : l.utmy.toString());
    ui->Txutmx->setText(l.utmx.isNull() ? QString() : l.utmx.toString());
    ui->txutm1k->setText(l.utm1k);
    if (ui->Txincert)
        ui->Txincert->setText(l.incertidumbre.isNull() ? QString() : l.incertidumbre.toString());
    // A place only shown finds its square among all of them, loaded with the form.
    if (!o_.soloMostrar || ui->cb10k->findText(l.utm10k) < 0) utm_->CargarTodosUTM10();
    ModBaseDatos::PonerTexto(ui->cb10k, l.utm10k);
    // The choices must run even when the list already showed the same item.
    const int provincia = ui->Cbprov->currentIndex();
    ModBaseDatos::PonerTexto(ui->Cbprov, l.provincia);
    if (ui->Cbprov->currentIndex() == provincia) Cbprov_Click();
    const int municipio = ui->Cbmuni->currentIndex();
    ModBaseDatos::PonerTexto(ui->Cbmuni, l.municipio);
    if (ui->Cbmuni->currentIndex() == municipio && municipio >= 0) Cbmuni_Click();
    // A place only shown is the locality's own, whatever the lists offer.
    if (o_.soloMostrar) {
        idProv_ = l.prov;
        idMuni_ = l.muni;
    }
    mostrando_ = false;
}

void PlacePanel::Limpiar(bool listas) {
    Vaciar(ui->Cbhuso);
    ui->Txutmx->clear();
    ui->Txutmy->clear();
    if (ui->Txincert) ui->Txincert->clear();
    Vaciar(ui->cb10k);
    ui->txutm1k->clear();
    if (listas) utm_->CargarProvinciasUTM10(QString());
    Vaciar(ui->Cbprov);
    if (listas)
        Cbprov_Click();
    else
        Vaciar(ui->Cbmuni);
    idProv_ = idMuni_ = 0;
}

void PlacePanel::ListarProvincias() {
    utm_->CargarProvinciasUTM10(QString());
}

void PlacePanel::Habilitar(bool si) {
    for (QWidget *marco : {ui->Frame1, ui->frutm, ui->Frame2})
        marco->setEnabled(si);
}

QString PlacePanel::Provincia() const {
    return ui->Cbprov->currentText();
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
    const Place::Coordinate y = Place::ReadNorthing(ui->Txutmy->text());
    if (o_.comoObservacion) {
        const auto aviso = [&](const QString &texto) {
            MessageService::Mostrar(window(), texto, titulo, QMessageBox::Warning);
            return std::nullopt;
        };
        if (x.fault == Place::Fault::NotWhole || y.fault == Place::Fault::NotWhole)
            return aviso(QStringLiteral("Las coordenadas deben ser números enteros"));
        if (x.fault != Place::Fault::None || y.fault != Place::Fault::None)
            return aviso(QStringLiteral("Las coordenadas UTM tienen como máximo 7 cifras la "
                                        "longitud (E) y 8 la latitud (N)."));
    } else if (!Coordenada(x, QStringLiteral("longitud (E)"), 7) ||
               !Coordenada(y, QStringLiteral("latitud (N)"), 8)) {
        return std::nullopt;
    }
    Localidad l;
    if (ui->Txincert) {
        QString motivo;
        const auto incertidumbre = Place::ReadUncertainty(
            ui->Txincert->text(), !x.value.isNull() && !y.value.isNull(), &motivo);
        if (!incertidumbre) {
            MessageService::Mostrar(window(), motivo, titulo, QMessageBox::Warning);
            ui->Txincert->setFocus();
            return std::nullopt;
        }
        l.incertidumbre = *incertidumbre;
    }
    l.prov = idProv_;
    l.muni = idMuni_;
    l.utmx = x.value;
    l.utmy = y.value;
    // The observation forms store the texts as they are.
    const auto texto = [this](const QString &t) { return o_.comoObservacion ? t : Texto(t); };
    l.utmhuso = texto(ui->Cbhuso->currentText());
    l.utm1k = texto(ui->txutm1k->text());
    l.utm10k = texto(ui->cb10k->currentText());
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
    ui->Cbmuni->setEnabled(!o_.soloMostrar);
    const bool sinCuadrado = ui->cb10k->currentText().trimmed().isEmpty();
    if (o_.vaciarCoordenadas && sinCuadrado) {
        // Province first: the place is given by municipality and square instead, and
        // nothing typed before stays to be stored with it.
        ui->Frame1->setEnabled(false);
        Vaciar(ui->Cbhuso);
        VaciarCoordenadas();
    } else if (o_.derivarCuadrados && !o_.vaciarCoordenadas && !mostrando_ && sinCuadrado &&
               !derivando_) {
        ui->Frame1->setEnabled(false);
        Vaciar(ui->Cbhuso);
    }
    // With a square chosen, only the province's municipalities that hold it.
    const bool porCuadrado = o_.comoObservacion || (o_.derivarCuadrados && !mostrando_);
    const QString cuadrado = porCuadrado && !sinCuadrado ? ui->cb10k->currentText() : QString();
    ReferenceData ref;
    // The province's own identifier, even when none of its municipalities has the square.
    if (const auto id = ref.IdProvincia(provincia)) idProv_ = *id;
    const QStringList municipios =
        utm_->SoloCandidatos(provincia, ref.MunicipiosDeProvincia(provincia, cuadrado));
    if (ModBaseDatos::InformarError(window(), ref)) return;
    const QString anterior = ui->Cbmuni->currentText();
    ModBaseDatos::Rellenar(ui->Cbmuni, municipios + QStringList{QString()});
    // A municipality no longer shown is no longer chosen.
    idMuni_ = 0;
    if ((o_.derivarCuadrados || o_.comoObservacion) && !anterior.isEmpty() &&
        municipios.contains(anterior))
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
    if (ui->cb10k->currentText().trimmed().isEmpty()) {
        if (o_.vaciarCoordenadas && ui->txutm1k->text().trimmed().isEmpty()) {
            municipioPrimero_ = true;
            utm_->CargarUTM10();
        } else if (o_.derivarCuadrados && !o_.vaciarCoordenadas && !mostrando_) {
            utm_->CargarUTM10();
        }
    }
}

void PlacePanel::cb10k_Click() {
    if (utm_->utm10Encontrado() || mostrando_) return;
    if (o_.vaciarCoordenadas) {
        // The squares a municipality chosen first offers are chosen among, keeping the rest.
        if (municipioPrimero_) return;
        VaciarCoordenadas();
    }
    Vaciar(ui->Cbhuso);
    utm_->CargarProvinciasUTM10(ui->cb10k->currentText());
    if (!o_.vaciarCoordenadas) OlvidarProvinciaOculta();
}

void PlacePanel::VaciarCoordenadas() {
    ui->Txutmy->clear();
    ui->Txutmx->clear();
    if (ui->Txincert) ui->Txincert->clear();
    ui->txutm1k->clear();
}

void PlacePanel::CalcularCuadradosUTM() {
    if (mostrando_) return;
    // A square refused by the derivation must not switch the coordinates off.
    derivando_ = true;
    utm_->CalcularCuadradosUTM();
    derivando_ = false;
    if (!o_.vaciarCoordenadas) OlvidarProvinciaOculta();
}

void PlacePanel::OlvidarProvinciaOculta() {
    if (ui->Cbprov->currentIndex() < 0 && (idProv_ != 0 || idMuni_ != 0)) Cbprov_Click();
}

QString PlacePanel::Cuadrado10k() const {
    return ui->cb10k->currentText();
}
