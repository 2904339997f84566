#include "frgps.h"

#include "data/ReferenceData.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"
#include "gui/UnsavedChanges.h"
#include "localities/LocalityStore.h"
#include "ui_frgps.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace {

const QString kTitulo = QStringLiteral("Coordenadas geográficas");

// A coordinate of the ED50 UTM section: digits with an optional decimal point or comma.
std::optional<double> Numero(const QString &texto) {
    static const QRegularExpression numero(QStringLiteral("^\\d+(?:[.,]\\d+)?$"));
    const QString t = texto.trimmed();
    if (!numero.match(t).hasMatch()) return std::nullopt;
    return QString(t).replace(u',', u'.').toDouble();
}

QString Grados(double v) {
    return QString::number(v, 'f', 6);
}

QString Precision(double metros) {
    return QLocale(QLocale::Spanish).toString(metros, 'g', 3) + QStringLiteral(" m");
}

} // namespace

frgps::frgps(AlAceptar alAceptar, QWidget *parent, AlAceptarIncertidumbre alIncertidumbre)
    : QDialog(parent), ui(std::make_unique<Ui::frgps>()), alAceptar_(std::move(alAceptar)),
      alIncertidumbre_(std::move(alIncertidumbre)) {
    ui->setupUi(this);
    PlacePanel::Opciones vista;
    vista.derivarCuadrados = false;
    vista.vistaPrevia = true;
    ui->vista->Iniciar(vista);
    ui->FrameIncert->setVisible(bool(alIncertidumbre_));
    ui->Cbhuso->addItems(
        {QString(), QStringLiteral("29"), QStringLiteral("30"), QStringLiteral("31")});
    connect(ui->CdAceptar, &QPushButton::clicked, this, &frgps::CdAceptar_Click);
    connect(ui->CdCancelar, &QPushButton::clicked, this, &frgps::CdCancelar_Click);
    // Typing into a section makes it the one used.
    connect(ui->Txpos, &QLineEdit::textEdited, this, [this] { ui->OpGeo->setChecked(true); });
    for (QLineEdit *campo : {ui->Txutmx, ui->Txutmy})
        connect(campo, &QLineEdit::textEdited, this, [this] { ui->OpUtm->setChecked(true); });
    connect(ui->Cbhuso, &QComboBox::activated, this, [this] { ui->OpUtm->setChecked(true); });
    connect(ui->Cbdatum, &QComboBox::activated, this, [this] { ui->OpGeo->setChecked(true); });
    // The preview follows every change.
    for (QLineEdit *campo : {ui->Txpos, ui->Txutmx, ui->Txutmy})
        connect(campo, &QLineEdit::textChanged, this, &frgps::Previsualizar);
    for (QComboBox *lista : {ui->Cbdatum, ui->Cbhuso})
        connect(lista, &QComboBox::currentIndexChanged, this, &frgps::Previsualizar);
    connect(ui->OpGeo, &QRadioButton::toggled, this, &frgps::Previsualizar);
    Form_Load();
    new UnsavedChanges(this);
}

frgps::~frgps() = default;

void frgps::Form_Load() {
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->CdCancelar);
    Screen::Centrar(this);
    ui->vista->Cargar();
    Previsualizar();
}

void frgps::Abrir(QWidget *solicitante, AlAceptar alAceptar,
                  AlAceptarIncertidumbre alIncertidumbre) {
    const ChoiceService::EnMonton<frgps> formulario(std::move(alAceptar), solicitante,
                                                    std::move(alIncertidumbre));
    ChoiceService::MostrarDialogo(formulario.get());
}

bool frgps::EnUtm() const {
    return ui->OpUtm->isChecked();
}

frgps::Calculo frgps::Calcular() const {
    Calculo c;
    if (EnUtm()) {
        const QString huso = ui->Cbhuso->currentText(), x = ui->Txutmx->text(),
                      y = ui->Txutmy->text();
        c.vacio = huso.isEmpty() && x.trimmed().isEmpty() && y.trimmed().isEmpty();
        if (c.vacio) return c;
        const auto este = Numero(x), norte = Numero(y);
        if (huso.isEmpty() || !este || !norte) {
            c.error = QStringLiteral("Elija el huso y escriba el Este y el Norte en metros "
                                     "(números sin signo).");
            return c;
        }
        const auto cambio = geodesia_.DesdeEd50(Geodesy::Utm{huso.toInt(), *este, *norte});
        if (!cambio) {
            c.error = geodesia_.error();
            return c;
        }
        c.etrs89 = cambio->etrs89;
        c.transformacion = cambio->transformacion;
    } else {
        c.lectura = PositionParser::Leer(ui->Txpos->text());
        c.vacio = c.lectura.estado == PositionParser::Estado::Vacia;
        if (c.vacio) return c;
        if (c.lectura.estado != PositionParser::Estado::Valida) {
            c.error = c.lectura.mensaje;
            return c;
        }
        c.etrs89 = {c.lectura.lat, c.lectura.lon};
        if (ui->Cbdatum->currentIndex() == 1) {
            const auto cambio = geodesia_.DesdeEd50(c.etrs89);
            if (!cambio) {
                c.error = geodesia_.error();
                return c;
            }
            c.etrs89 = cambio->etrs89;
            c.transformacion = cambio->transformacion;
        }
    }
    const auto utm = geodesia_.AUtm(c.etrs89);
    if (!utm) {
        c.error = geodesia_.error();
        return c;
    }
    // Whole metres, cut as the squares are: the point lies in the squares shown.
    c.huso = utm->huso;
    c.este = qint64(std::floor(utm->este));
    c.norte = qint64(std::floor(utm->norte));
    return c;
}

void frgps::Previsualizar() {
    const Calculo c = Calcular();
    for (QLabel *l : {ui->Lblatlon, ui->Lbmuni, ui->Lbmunis, ui->Lbtransf, ui->Lbaviso})
        l->clear();
    ui->vista->Limpiar(false);
    if (c.vacio) return;
    if (!c.error.isEmpty()) {
        // While typing, a short note; the full list of forms comes with "Aceptar".
        ui->Lbaviso->setText(c.lectura.estado == PositionParser::Estado::NoEntendida
                                 ? QStringLiteral("No es una posición en ninguna de las formas "
                                                  "admitidas.")
                                 : c.error);
        return;
    }
    ui->Lblatlon->setText(Grados(c.etrs89.lat) + QStringLiteral(", ") + Grados(c.etrs89.lon));
    ui->Lbtransf->setText(
        c.transformacion ? QStringLiteral("%1 (%2), precisión %3")
                               .arg(c.transformacion->nombre, c.transformacion->codigo,
                                    Precision(c.transformacion->precision))
                         : QStringLiteral("ninguno: WGS84 y ETRS89 coinciden a nivel de metro"));
    localizador_.Limpiar();
    const MunicipalityLocator::Lugar lugar = localizador_.Localizar(c.etrs89.lat, c.etrs89.lon);
    // The place as the forms will show it, through the same panel.
    if (ui->vista->MostrarPunto(c.huso, c.este, c.norte, lugar)) {
        const QString cuadrado = ui->vista->Cuadrado10k().trimmed();
        ReferenceData ref;
        const QStringList municipios =
            cuadrado.isEmpty() ? QStringList() : ref.MunicipiosDeCuadrado(cuadrado);
        ui->Lbmunis->setText(ref.fallo()            ? ref.error()
                             : municipios.isEmpty() ? QStringLiteral("ninguno: el cuadrado no "
                                                                     "está en la lista de España")
                                                    : municipios.join(QStringLiteral(", ")));
    }
    ui->Lbmuni->setText(localizador_.Describir(lugar));
    if (c.huso < 27 || c.huso > 31)
        ui->Lbaviso->setText(QStringLiteral("El huso %1 no es de España.").arg(c.huso));
    else if (!PositionParser::EnEspana(c.etrs89.lat, c.etrs89.lon))
        ui->Lbaviso->setText(QStringLiteral("Fuera de España y sus aguas."));
}

void frgps::CdAceptar_Click() {
    const MessageService::UserAction accion;
    const Calculo c = Calcular();
    if (c.vacio) {
        MessageService::Mostrar(this,
                                QStringLiteral("Escriba una posición o unas coordenadas UTM en "
                                               "ED50.\n\n") +
                                    PositionParser::FormasAceptadas(),
                                kTitulo, QMessageBox::Warning);
        return;
    }
    if (!c.error.isEmpty()) {
        MessageService::Mostrar(this, c.error, kTitulo, QMessageBox::Warning);
        return;
    }
    QString motivo;
    const auto incertidumbre = alIncertidumbre_
                                   ? LocalityStore::LeerIncertidumbre(ui->Txincert->text(), &motivo)
                                   : std::optional<QVariant>(QVariant());
    if (!incertidumbre) {
        MessageService::Mostrar(this, motivo, kTitulo, QMessageBox::Warning);
        ui->Txincert->setFocus();
        return;
    }
    if (!EnUtm() && PositionParser::PareceIntercambiada(c.lectura)) {
        const auto r = MessageService::Mostrar(
            this,
            QStringLiteral("La latitud y la longitud parecen intercambiadas: %1, %2 cae fuera de "
                           "España, pero %2, %1 cae dentro.\n\n¿Las intercambio? (Podrá "
                           "revisarlas antes de aceptar.)")
                .arg(c.lectura.textoLat, c.lectura.textoLon),
            kTitulo, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        if (r == QMessageBox::Yes) {
            // Shown first: the user accepts what the form shows.
            ui->Txpos->setText(c.lectura.textoLon + QStringLiteral("; ") + c.lectura.textoLat);
            return;
        }
    }
    if (c.huso < 27 || c.huso > 31) {
        MessageService::Mostrar(this,
                                QStringLiteral("La posición %1, %2 cae en el huso %3; los "
                                               "formularios admiten los husos 27 a 31.")
                                    .arg(Grados(c.etrs89.lat), Grados(c.etrs89.lon))
                                    .arg(c.huso),
                                kTitulo, QMessageBox::Warning);
        return;
    }
    if (!PositionParser::EnEspana(c.etrs89.lat, c.etrs89.lon) &&
        MessageService::Mostrar(this,
                                QStringLiteral("La posición %1, %2 está fuera de España y sus "
                                               "aguas.\n\n¿La usa de todos modos?")
                                    .arg(Grados(c.etrs89.lat), Grados(c.etrs89.lon)),
                                kTitulo, QMessageBox::Question,
                                QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    localizador_.Limpiar();
    const MunicipalityLocator::Lugar lugar = localizador_.Localizar(c.etrs89.lat, c.etrs89.lon);
    if (alIncertidumbre_) alIncertidumbre_(*incertidumbre);
    if (alAceptar_) alAceptar_(c.huso, c.este, c.norte, lugar);
    accept();
}

void frgps::CdCancelar_Click() {
    reject();
}
