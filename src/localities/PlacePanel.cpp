#include "PlacePanel.h"

#include "data/ModConex.h"
#include "data/ReferenceData.h"
#include "geo/UtmSquares.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "localities/frgps.h"
#include "ui_PlacePanel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QSqlError>
#include <QUrl>

#include <cmath>

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
    // The host form, also once a window area holds it.
    formulario_ = window();
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
    if (o.vistaPrevia) {
        // Named apart from the controls of the form it previews for.
        for (QWidget *w : std::initializer_list<QWidget *>{
                 ui->Frame1, ui->Frame2, ui->frutm, ui->Lbprov, ui->Lbmuni, ui->Lbhuso, ui->Lbutmx,
                 ui->Lbutmy, ui->Label2, ui->Label3, ui->Label_geo, ui->Txgeo, ui->CdGps,
                 ui->CdMapa, ui->missatge})
            w->setObjectName(QStringLiteral("vista_") + w->objectName());
        const QList<std::pair<QWidget *, const char *>> nombres = {
            {ui->Cbhuso, "Lbzona"},      {ui->Txutmx, "Lbeste"}, {ui->Txutmy, "Lbnorte"},
            {ui->cb10k, "Lb10k"},        {ui->txutm1k, "Lb1k"},  {ui->Cbprov, "Lbprovincia"},
            {ui->Cbmuni, "Lbmunicipio"},
        };
        for (const auto &[control, nombre] : nombres)
            control->setObjectName(QLatin1String(nombre));
        for (QWidget *w :
             std::initializer_list<QWidget *>{ui->Label_geo, ui->Txgeo, ui->CdMapa, ui->CdGps})
            w->hide();
        // Nothing is typed into a preview.
        for (QComboBox *lista : {ui->Cbhuso, ui->Cbmuni})
            lista->setEditable(false);
    }
    if (o.soloMostrar || o.vistaPrevia) {
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
    if (!o.derivarCuadrados && !o.vistaPrevia) ui->missatge->hide();
    ui->Cbhuso->addItems(Place::Zones());
    ui->Cbhuso->setCurrentIndex(-1);
    connect(ui->CdGps, &QPushButton::clicked, this, &PlacePanel::CdGps_Click);
    connect(ui->CdMapa, &QPushButton::clicked, this, &PlacePanel::CdMapa_Click);
    connect(ui->Cbhuso, &QComboBox::currentTextChanged, this, &PlacePanel::ActualizarGeo);
    for (QLineEdit *campo : {ui->Txutmx, ui->Txutmy})
        connect(campo, &QLineEdit::textChanged, this, &PlacePanel::ActualizarGeo);
    ActualizarGeo();

    if (!o.vistaPrevia)
        for (QComboBox *lista : {ui->Cbmuni, ui->Cbhuso})
            ModBaseDatos::HacerCompletable(lista);
    for (QLineEdit *campo : {ui->Txutmx, ui->Txutmy, ui->Txincert})
        if (campo) ModBaseDatos::FiltrarDigitos(campo);
    // No length limit on the coordinates: one that does not fit is refused by the save with
    // a message, never cut as it is typed or pasted.

    ModBaseDatos::AlElegir(ui->Cbprov, [this] { Cbprov_Click(); });
    ModBaseDatos::AlElegir(ui->Cbmuni, [this] { Cbmuni_Click(); });
    // A text that is no item is emptied and refused aloud; an emptied municipality list no
    // longer names the municipality chosen before.
    ModBaseDatos::AlPerderFoco(ui->Cbmuni, [this] {
        if (ui->Cbmuni->currentText().isEmpty() ||
            ModBaseDatos::ComprobarLista(formulario_, ui->Cbmuni, QStringLiteral("municipio")))
            idMuni_ = 0;
    });
    ModBaseDatos::AlPerderFoco(ui->Cbhuso, [this] {
        ModBaseDatos::ComprobarLista(formulario_, ui->Cbhuso, QStringLiteral("huso"));
    });
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
        MessageService::MostrarFallo(formulario_,
                                     DescribirError(ModConex::DatabaseConnection().lastError()));
        return false;
    }
    CargarTodosUTM10();
    CargarProvinciasUTM10(QString());
    return true;
}

void PlacePanel::Mostrar(const Localidad &l) {
    if (o_.comoObservacion) return MostrarEligiendo(l);
    mostrando_ = true;
    ui->Txutmx->setText(l.utmx.isNull() ? QString() : l.utmx.toString());
    ui->Txutmy->setText(l.utmy.isNull() ? QString() : l.utmy.toString());
    if (ui->Txincert)
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
    CargarProvinciasUTM10(QString());
    mostrando_ = true;
    ModBaseDatos::PonerTexto(ui->Cbhuso, l.utmhuso.isEmpty() ? ui->Cbhuso->itemText(0) : l.utmhuso);
    ui->Txutmy->setText(l.utmy.isNull() ? QString() : l.utmy.toString());
    ui->Txutmx->setText(l.utmx.isNull() ? QString() : l.utmx.toString());
    ui->txutm1k->setText(l.utm1k);
    if (ui->Txincert)
        ui->Txincert->setText(l.incertidumbre.isNull() ? QString() : l.incertidumbre.toString());
    // A place only shown finds its square among all of them, loaded with the form.
    if (!o_.soloMostrar || ui->cb10k->findText(l.utm10k) < 0) CargarTodosUTM10();
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
    if (listas) CargarProvinciasUTM10(QString());
    Vaciar(ui->Cbprov);
    if (listas)
        Cbprov_Click();
    else
        Vaciar(ui->Cbmuni);
    idProv_ = idMuni_ = 0;
    if (o_.vistaPrevia) ui->missatge->clear();
}

bool PlacePanel::MostrarPunto(int huso, qint64 este, qint64 norte,
                              const MunicipalityLocator::Lugar &lugar) {
    Limpiar(false);
    CargarProvinciasUTM10(QString());
    // A zone no list offers (a point abroad) is shown all the same.
    const QString zona = QString::number(huso);
    if (!ModBaseDatos::EsItem(ui->Cbhuso, zona)) ui->Cbhuso->addItem(zona);
    ModBaseDatos::PonerTexto(ui->Cbhuso, zona);
    ui->Txutmx->setText(QString::number(este));
    ui->Txutmy->setText(QString::number(norte));
    const bool derivados = DerivarCuadrados();
    PonerLugar(lugar);
    return derivados;
}

void PlacePanel::ListarProvincias() {
    CargarProvinciasUTM10(QString());
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
            formulario_,
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
            MessageService::Mostrar(formulario_, texto, titulo, QMessageBox::Warning);
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
            MessageService::Mostrar(formulario_, motivo, titulo, QMessageBox::Warning);
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
    // A point's squares are those of its numbers; only without one is the square the one
    // chosen.
    const Utm::Squares r = Utm::CuadradosDe(
        ModConex::DatabaseConnection(),
        Utm::LeerPosicion(ui->Cbhuso->currentText(), ui->Txutmx->text(), ui->Txutmy->text()));
    if (r.resultado == Utm::Outcome::ErrorBaseDatos) {
        MessageService::MostrarFallo(formulario_, r.mensaje, titulo);
        return std::nullopt;
    }
    if (r.resultado != Utm::Outcome::Calculado) return l;
    if (l.utm10k == r.utm10k && l.utm1k == r.utm1k) return l;
    const int i = ui->cb10k->findText(r.utm10k, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i < 0) {
        MessageService::Mostrar(formulario_,
                                QStringLiteral("Estas coordenadas generan un UTM10 no correcto"),
                                titulo, QMessageBox::Warning);
        return std::nullopt;
    }
    // Shown before it is stored: the user reads the squares and saves again.
    {
        const QSignalBlocker bloqueo(ui->cb10k);
        ui->cb10k->setCurrentIndex(i);
    }
    ui->txutm1k->setText(r.utm1k);
    MessageService::Mostrar(formulario_,
                            QStringLiteral("Los cuadrados UTM no eran los de las coordenadas: el "
                                           "formulario muestra ahora los de ellas (%1 y %2). "
                                           "Revíselos y guarde de nuevo.")
                                .arg(r.utm10k, r.utm1k),
                            titulo, QMessageBox::Warning);
    return std::nullopt;
}

bool PlacePanel::MunicipioConfirmado() const {
    const auto p =
        lugar_.Position(ui->Cbhuso->currentText(), ui->Txutmx->text(), ui->Txutmy->text());
    if (!p) return true;
    QString error;
    const auto otro = lugar_.LiesElsewhere(idMuni_, *p, &error);
    if (!error.isEmpty()) MessageService::MostrarFallo(formulario_, error);
    if (!otro) return true;
    return MessageService::Mostrar(formulario_,
                                   QStringLiteral("Las coordenadas caen en el término de %1 (%2), "
                                                  "no en %3. ¿Guardar igualmente?")
                                       .arg(otro->municipality, otro->province, otro->chosen),
                                   QStringLiteral("Tritodex"), QMessageBox::Question,
                                   QMessageBox::Yes | QMessageBox::No,
                                   QMessageBox::No) == QMessageBox::Yes;
}

void PlacePanel::Cbprov_Click() {
    const QString provincia = ui->Cbprov->currentText();
    if (provincia.isEmpty()) {
        Vaciar(ui->Cbmuni);
        idProv_ = idMuni_ = 0;
        ui->Cbmuni->setEnabled(false);
        return;
    }
    ui->Cbmuni->setEnabled(!o_.soloMostrar && !o_.vistaPrevia);
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
        lugar_.OnlyCandidates(Punto(), provincia, ref.MunicipiosDeProvincia(provincia, cuadrado));
    if (ModBaseDatos::InformarError(formulario_, ref)) return;
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
    if (ModBaseDatos::InformarError(formulario_, ref)) return;
    idMuni_ = id.value_or(0);
    if (ui->cb10k->currentText().trimmed().isEmpty()) {
        if (o_.vaciarCoordenadas && ui->txutm1k->text().trimmed().isEmpty()) {
            municipioPrimero_ = true;
            CargarUTM10();
        } else if (o_.derivarCuadrados && !o_.vaciarCoordenadas && !mostrando_) {
            CargarUTM10();
        }
    }
}

void PlacePanel::cb10k_Click() {
    if (utm10Encontrado_ || mostrando_) return;
    if (o_.vaciarCoordenadas) {
        // The squares a municipality chosen first offers are chosen among, keeping the rest.
        if (municipioPrimero_) return;
        VaciarCoordenadas();
    }
    Vaciar(ui->Cbhuso);
    CargarProvinciasUTM10(ui->cb10k->currentText());
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
    DerivarCuadrados();
    derivando_ = false;
    if (!o_.vaciarCoordenadas) OlvidarProvinciaOculta();
}

bool PlacePanel::DerivarCuadrados() {
    const Utm::Position p =
        Utm::LeerPosicion(ui->Cbhuso->currentText(), ui->Txutmx->text(), ui->Txutmy->text());
    if (p.resultado != Utm::Outcome::Calculado) {
        if (p.resultado != Utm::Outcome::Nada) ui->missatge->setText(p.mensaje);
        return false;
    }
    // The fields show the numbers the squares come from, which are also what is stored.
    for (const auto &[campo, valor] :
         {std::pair{ui->Txutmx, p.este}, std::pair{ui->Txutmy, p.norte}})
        if (campo->text() != QString::number(valor)) campo->setText(QString::number(valor));
    const Utm::Squares r =
        Utm::CalcularCuadrados(ModConex::DatabaseConnection(), p.huso, p.este, p.norte);
    if (o_.vaciarCoordenadas) CargarTodosUTM10();
    if (r.resultado != Utm::Outcome::Calculado) {
        ui->missatge->setText(r.mensaje);
        return false;
    }
    const int i = ui->cb10k->findText(r.utm10k, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i >= 0) {
        utm10Encontrado_ = true;
        ui->cb10k->setCurrentIndex(i);
        ui->txutm1k->setText(r.utm1k);
    } else {
        ui->cb10k->setCurrentIndex(ui->cb10k->findText(QStringLiteral(" ")));
        ui->missatge->setText(QStringLiteral("Estas coordenadas generan un UTM10 no correcto"));
    }
    if (!r.utm10k.isEmpty()) CargarProvinciasUTM10(r.utm10k);
    utm10Encontrado_ = false;
    if (i >= 0) ui->missatge->clear();
    return true;
}

void PlacePanel::OlvidarProvinciaOculta() {
    if (ui->Cbprov->currentIndex() < 0 && (idProv_ != 0 || idMuni_ != 0)) Cbprov_Click();
}

QString PlacePanel::Cuadrado10k() const {
    return ui->cb10k->currentText();
}

void PlacePanel::CargarProvinciasUTM10(const QString &utm10) {
    ReferenceData ref;
    const QStringList provincias =
        utm10.trimmed().isEmpty() ? ref.Provincias() : ref.ProvinciasDeCuadrado(utm10);
    const QString anterior = ui->Cbprov->currentText();
    ModBaseDatos::Rellenar(ui->Cbprov, provincias);
    ModBaseDatos::InformarError(formulario_, ref);
    // Where the squares are derived, the province shown stays chosen when the list still
    // has it.
    if (!o_.derivarCuadrados || anterior.isEmpty()) return;
    const int i = ui->Cbprov->findText(anterior, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i >= 0) ui->Cbprov->setCurrentIndex(i);
}

void PlacePanel::CargarUTM10() {
    ReferenceData ref;
    const QString municipio = ui->Cbmuni->currentText();
    QStringList cuadrados = municipio.trimmed().isEmpty()
                                ? ref.Cuadrados10k()
                                : ref.Cuadrados10kDeMunicipio(municipio, ui->Cbprov->currentText());
    ModBaseDatos::Rellenar(ui->cb10k, cuadrados << QStringLiteral(" "));
    ModBaseDatos::InformarError(formulario_, ref);
}

void PlacePanel::CargarTodosUTM10() {
    ReferenceData ref;
    ModBaseDatos::Rellenar(ui->cb10k, ref.Cuadrados10k() << QStringLiteral(" "));
    ModBaseDatos::InformarError(formulario_, ref);
}

QString PlacePanel::Punto() const {
    return Place::PointKey(ui->Cbhuso->currentText(), ui->Txutmx->text(), ui->Txutmy->text());
}

void PlacePanel::PonerLugar(const MunicipalityLocator::Lugar &lugar) {
    lugar_.ClearCandidates();
    QString error;
    const QList<QPair<QString, QString>> municipios = Place::Municipalities(lugar, &error);
    if (!error.isEmpty()) MessageService::MostrarFallo(formulario_, error);
    if (municipios.isEmpty()) return;
    // Chosen as a user would, so that the choice handlers run.
    const auto elegir = [](QComboBox *lista, const QString &texto) {
        const int i = lista->findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (i >= 0) ModBaseDatos::ElegirComoUsuario(lista, i);
        return i >= 0;
    };
    if (lugar.resultado == MunicipalityLocator::Resultado::Uno) {
        if (elegir(ui->Cbprov, municipios[0].first)) elegir(ui->Cbmuni, municipios[0].second);
        return;
    }
    QStringList provincias;
    for (const auto &[provincia, municipio] : municipios)
        if (!provincias.contains(provincia) &&
            ui->Cbprov->findText(provincia, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0)
            provincias << provincia;
    if (provincias.isEmpty()) return;
    lugar_.SetCandidates(municipios, Punto());
    const QString actual = ui->Cbprov->currentText();
    if (provincias.size() > 1) {
        QStringList quedan;
        for (int i = 0; i < ui->Cbprov->count(); ++i)
            if (provincias.contains(ui->Cbprov->itemText(i))) quedan << ui->Cbprov->itemText(i);
        ModBaseDatos::Rellenar(ui->Cbprov, quedan);
    }
    // The province of the municipality holding the point, unless one of the others was
    // chosen already; the municipality is left to the user.
    elegir(ui->Cbprov, provincias.contains(actual) ? actual : provincias.first());
}

void PlacePanel::ActualizarGeo() {
    const auto p =
        lugar_.Position(ui->Cbhuso->currentText(), ui->Txutmx->text(), ui->Txutmy->text());
    ui->Txgeo->setText(
        p ? QStringLiteral("%1, %2 (ETRS89)")
                .arg(QString::number(p->lat, 'f', 6), QString::number(p->lon, 'f', 6))
          : QString());
    ui->CdMapa->setEnabled(p.has_value());
}

void PlacePanel::CdGps_Click() {
    QPointer<PlacePanel> vivo(this);
    frgps::AlAceptarIncertidumbre alIncertidumbre;
    if (ui->Txincert)
        alIncertidumbre = [this, vivo](const QVariant &metros) {
            // A new point: an uncertainty of the old one would not hold for it.
            if (vivo) ui->Txincert->setText(metros.isNull() ? QString() : metros.toString());
        };
    frgps::Abrir(
        formulario_,
        [this, vivo](int huso, qint64 este, qint64 norte, const MunicipalityLocator::Lugar &lugar) {
            if (vivo) Poner(huso, este, norte, lugar);
        },
        std::move(alIncertidumbre));
}

void PlacePanel::Poner(int huso, qint64 este, qint64 norte,
                       const MunicipalityLocator::Lugar &lugar) {
    QPointer<PlacePanel> vivo(this);
    const int i = ui->Cbhuso->findText(QString::number(huso));
    if (i < 0) return;
    // As a user would: the coordinates typed, then the zone chosen, which derives the
    // squares where the form derives them; then the place.
    ui->Txutmx->setText(QString::number(este));
    ui->Txutmy->setText(QString::number(norte));
    ModBaseDatos::ElegirComoUsuario(ui->Cbhuso, i);
    // A square refused by the derivation leaves no place to fill.
    if (vivo && (!o_.derivarCuadrados || !ui->cb10k->currentText().trimmed().isEmpty()))
        PonerLugar(lugar);
}

bool PlacePanel::PonerPosicion(const Geodesy::Geograficas &etrs89) {
    const auto utm = Geodesy().AUtm(etrs89);
    if (!utm || ui->Cbhuso->findText(QString::number(utm->huso)) < 0) {
        MessageService::Mostrar(
            formulario_,
            QStringLiteral("La posición %1, %2 cae fuera de los husos 27 a 31 "
                           "que admiten los formularios.")
                .arg(QString::number(etrs89.lat, 'f', 6), QString::number(etrs89.lon, 'f', 6)),
            QStringLiteral("Tritodex"), QMessageBox::Warning);
        return false;
    }
    // Whole metres, cut as the squares are, as frgps gives them.
    Poner(utm->huso, qint64(std::floor(utm->este)), qint64(std::floor(utm->norte)),
          MunicipalityLocator().Localizar(etrs89.lat, etrs89.lon));
    return true;
}

bool PlacePanel::SinPunto() const {
    return ui->Frame1->isEnabled() && !ui->Txutmx->isReadOnly() &&
           ui->Txutmx->text().trimmed().isEmpty() && ui->Txutmy->text().trimmed().isEmpty();
}

void PlacePanel::CdMapa_Click() {
    const auto p =
        lugar_.Position(ui->Cbhuso->currentText(), ui->Txutmx->text(), ui->Txutmy->text());
    if (!p) return;
    const QString lat = QString::number(p->lat, 'f', 5), lon = QString::number(p->lon, 'f', 5);
    const QUrl direccion(
        QStringLiteral("https://www.openstreetmap.org/?mlat=%1&mlon=%2#map=16/%1/%2")
            .arg(lat, lon));
    if (!ChoiceService::Abrir(direccion))
        MessageService::Mostrar(formulario_,
                                QStringLiteral("No se ha podido abrir el navegador con ") +
                                    direccion.toString(),
                                QStringLiteral("Ver en el mapa"), QMessageBox::Warning);
}
