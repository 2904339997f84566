#include "LocalityForm.h"

#include "data/ModConex.h"
#include "data/ReferenceData.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "localities/GpsControls.h"
#include "localities/Place.h"

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

LocalityForm::LocalityForm(const Controles &c, const Opciones &o)
    : QObject(c.formulario), c_(c), o_(o) {
    utm_ = std::make_unique<UtmSquareControls>(
        UtmSquareControls::Controles{c.formulario, c.Cbhuso, c.Txutmx, c.Txutmy, c.cb10k, c.txutm1k,
                                     c.Cbprov, c.Cbmuni, c.missatge},
        UtmSquareControls::Opciones{false, o.derivarCuadrados});
    gps_ = new GpsControls({c.formulario, c.Cbhuso, c.Txutmx, c.Txutmy, c.CdGps, c.Txgeo, c.CdMapa,
                            [this](const MunicipalityLocator::Lugar &lugar) {
                                // A square refused by the derivation leaves no place to fill.
                                if (!o_.derivarCuadrados ||
                                    !c_.cb10k->currentText().trimmed().isEmpty())
                                    utm_->PonerLugar(lugar);
                            },
                            c.Txincert});

    for (QComboBox *lista : {c_.Cbmuni, c_.Cbhuso})
        ModBaseDatos::HacerCompletable(lista);
    for (QLineEdit *campo : {c_.Txutmx, c_.Txutmy, c_.Txincert})
        ModBaseDatos::FiltrarDigitos(campo);
    // No length limit on the coordinates: one that does not fit is refused by the save with
    // a message, never cut as it is typed or pasted.

    ModBaseDatos::AlElegir(c_.Cbprov, [this] { Cbprov_Click(); });
    ModBaseDatos::AlElegir(c_.Cbmuni, [this] { Cbmuni_Click(); });
    ModBaseDatos::AlPerderFoco(c_.Cbmuni, [this] {
        if (utm_->Cbmuni_LostFocus()) idMuni_ = 0;
    });
    ModBaseDatos::AlPerderFoco(c_.Cbhuso, [this] { utm_->Cbhuso_LostFocus(); });
    if (o_.derivarCuadrados) {
        ModBaseDatos::AlElegir(c_.Cbhuso, [this] { CalcularCuadradosUTM(); });
        ModBaseDatos::AlPerderFoco(c_.Txutmx, [this] { CalcularCuadradosUTM(); });
        ModBaseDatos::AlPerderFoco(c_.Txutmy, [this] { CalcularCuadradosUTM(); });
        ModBaseDatos::AlElegir(c_.cb10k, [this] { cb10k_Click(); });
    }
}

LocalityForm::~LocalityForm() = default;

bool LocalityForm::Cargar() {
    // Without a database one message says so, instead of one for every list.
    if (!ModConex::DatabaseConnection().isOpen()) {
        MessageService::MostrarFallo(c_.formulario,
                                     DescribirError(ModConex::DatabaseConnection().lastError()));
        return false;
    }
    utm_->CargarTodosUTM10();
    utm_->CargarProvinciasUTM10(QString());
    return true;
}

void LocalityForm::Mostrar(const Localidad &l) {
    mostrando_ = true;
    c_.Txloc->setText(l.nombre);
    c_.Txutmx->setText(l.utmx.isNull() ? QString() : l.utmx.toString());
    c_.Txutmy->setText(l.utmy.isNull() ? QString() : l.utmy.toString());
    c_.Txincert->setText(l.incertidumbre.isNull() ? QString() : l.incertidumbre.toString());
    ModBaseDatos::PonerTexto(c_.Cbhuso,
                             l.utmhuso.trimmed().isEmpty() ? QStringLiteral(" ") : l.utmhuso);
    c_.txutm1k->setText(l.utm1k);
    // A stored square the list lacks is shown and kept, so that saving does not lose it.
    const QString cuadrado = l.utm10k.isEmpty() ? QStringLiteral(" ") : l.utm10k;
    int i = c_.cb10k->findText(cuadrado, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i < 0) {
        c_.cb10k->insertItem(c_.cb10k->count() - 1, cuadrado);
        i = c_.cb10k->count() - 2;
    }
    {
        const QSignalBlocker bloqueo(c_.cb10k);
        c_.cb10k->setCurrentIndex(i);
    }
    ModBaseDatos::PonerTexto(c_.Cbprov, l.provincia);
    ModBaseDatos::PonerTexto(c_.Cbmuni, l.municipio);
    // The stored identifiers stay, even where a name is shared by more than one row.
    idProv_ = l.prov;
    idMuni_ = l.muni;
    mostrando_ = false;
}

std::optional<Localidad> LocalityForm::Leer(const QString &titulo) const {
    // Pasted text can reach the digit fields; it must not reach the database.
    const auto Coordenada = [&](const Place::Coordinate &c, const QString &nombre, int cifras) {
        if (c.fault == Place::Fault::None) return true;
        MessageService::Mostrar(
            c_.formulario,
            c.fault == Place::Fault::NotWhole
                ? QStringLiteral("El campo %1 debe ser un número entero.").arg(nombre)
                : QStringLiteral("El campo %1 tiene como máximo %2 cifras.")
                      .arg(nombre)
                      .arg(cifras),
            titulo, QMessageBox::Warning);
        return false;
    };
    const Place::Coordinate x = Place::ReadEasting(c_.Txutmx->text());
    if (!Coordenada(x, QStringLiteral("longitud (E)"), 7)) return std::nullopt;
    const Place::Coordinate y = Place::ReadNorthing(c_.Txutmy->text());
    if (!Coordenada(y, QStringLiteral("latitud (N)"), 8)) return std::nullopt;
    QString motivo;
    const auto incertidumbre = Place::ReadUncertainty(
        c_.Txincert->text(), !x.value.isNull() && !y.value.isNull(), &motivo);
    if (!incertidumbre) {
        MessageService::Mostrar(c_.formulario, motivo, titulo, QMessageBox::Warning);
        c_.Txincert->setFocus();
        return std::nullopt;
    }
    Localidad l;
    l.nombre = Texto(c_.Txloc->text());
    l.prov = idProv_;
    l.muni = idMuni_;
    l.utmx = x.value;
    l.utmy = y.value;
    l.incertidumbre = *incertidumbre;
    l.utmhuso = Texto(c_.Cbhuso->currentText());
    l.utm1k = Texto(c_.txutm1k->text());
    l.utm10k = Texto(c_.cb10k->currentText());
    return l;
}

bool LocalityForm::MunicipioConfirmado() const {
    return gps_->ConfirmarMunicipio(idMuni_);
}

void LocalityForm::Cbprov_Click() {
    const QString provincia = c_.Cbprov->currentText();
    if (provincia.isEmpty()) {
        Vaciar(c_.Cbmuni);
        idProv_ = idMuni_ = 0;
        c_.Cbmuni->setEnabled(false);
        return;
    }
    c_.Cbmuni->setEnabled(true);
    QString cuadrado;
    if (o_.derivarCuadrados && !mostrando_) {
        if (!c_.cb10k->currentText().trimmed().isEmpty()) {
            cuadrado = c_.cb10k->currentText();
        } else if (!derivando_) {
            // Province first: the place is given by municipality and square instead.
            c_.frameCoordenadas->setEnabled(false);
            Vaciar(c_.Cbhuso);
        }
    }
    ReferenceData ref;
    if (const auto id = ref.IdProvincia(provincia)) idProv_ = *id;
    const QStringList municipios =
        utm_->SoloCandidatos(provincia, ref.MunicipiosDeProvincia(provincia, cuadrado));
    if (ModBaseDatos::InformarError(c_.formulario, ref)) return;
    const QString anterior = c_.Cbmuni->currentText();
    ModBaseDatos::Rellenar(c_.Cbmuni, municipios + QStringList{QString()});
    // A municipality no longer shown is no longer chosen.
    idMuni_ = 0;
    if (o_.derivarCuadrados && !anterior.isEmpty() && municipios.contains(anterior))
        ModBaseDatos::PonerTexto(c_.Cbmuni, anterior);
}

void LocalityForm::Cbmuni_Click() {
    const QString municipio = c_.Cbmuni->currentText();
    if (municipio.trimmed().isEmpty()) {
        idMuni_ = 0;
        return;
    }
    ReferenceData ref;
    const auto id = ref.IdMunicipio(municipio, c_.Cbprov->currentText());
    if (ModBaseDatos::InformarError(c_.formulario, ref)) return;
    idMuni_ = id.value_or(0);
    if (o_.derivarCuadrados && !mostrando_ && c_.cb10k->currentText().trimmed().isEmpty())
        utm_->CargarUTM10();
}

void LocalityForm::cb10k_Click() {
    if (utm_->utm10Encontrado() || mostrando_) return;
    Vaciar(c_.Cbhuso);
    utm_->CargarProvinciasUTM10(c_.cb10k->currentText());
    OlvidarProvinciaOculta();
}

void LocalityForm::CalcularCuadradosUTM() {
    if (mostrando_) return;
    // A square refused by the derivation must not switch the coordinates off.
    derivando_ = true;
    utm_->CalcularCuadradosUTM();
    derivando_ = false;
    OlvidarProvinciaOculta();
}

void LocalityForm::OlvidarProvinciaOculta() {
    if (c_.Cbprov->currentIndex() < 0 && (idProv_ != 0 || idMuni_ != 0)) Cbprov_Click();
}
