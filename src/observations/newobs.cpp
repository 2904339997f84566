#include "newobs.h"

#include "data/ModConex.h"
#include "data/ReferenceData.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "gui/TitleImage.h"
#include "localities/LocalityStore.h"
#include "localities/frcodloc.h"
#include "observations/ObservationStore.h"
#include "observers/ObserverStore.h"
#include "observers/frobs.h"
#include "ui_newobs.h"

#include <QDate>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSqlError>
#include <QStyle>
#include <array>

namespace {

std::optional<QString> PreguntarConFormulario(QWidget *padre, const QString &propuesto) {
    frcodloc prompt(padre);
    prompt.CodigoPropuesto = propuesto;
    if (Screen::MostrarModal(&prompt) != QDialog::Accepted) return std::nullopt;
    return prompt.CodigoAceptado();
}

newobs::PreguntaCodigo &Pregunta() {
    static newobs::PreguntaCodigo p = PreguntarConFormulario;
    return p;
}

void AbrirListaObservadores(QWidget *, const QString &origen) {
    frobs::AbrirSeleccion(origen);
}

newobs::ElegirObservador &Elegir() {
    static newobs::ElegirObservador e = AbrirListaObservadores;
    return e;
}

// Empties a list's text without completing it or raising its choice.
void Vaciar(QComboBox *lista, const QString &texto = QString()) {
    const QSignalBlocker bloqueo(lista);
    lista->setCurrentIndex(-1);
    if (lista->isEditable()) lista->setEditText(texto);
}

bool EsItem(const QComboBox *lista, const QString &texto) {
    return lista->findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0;
}

bool EsEntero(const QString &texto) {
    static const QRegularExpression digitos(QStringLiteral("^[0-9]+$"));
    return digitos.match(texto).hasMatch();
}

} // namespace

void newobs::setPreguntaCodigo(PreguntaCodigo pregunta) {
    Pregunta() = pregunta ? std::move(pregunta) : PreguntarConFormulario;
}

void newobs::setElegirObservador(ElegirObservador elegir) {
    Elegir() = elegir ? std::move(elegir) : AbrirListaObservadores;
}

newobs::newobs(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::newobs>()) {
    ui->setupUi(this);
    utm = std::make_unique<UtmSquareControls>(
        UtmSquareControls::Controles{this, ui->Cbhuso, ui->Txlong, ui->Txlat, ui->cb10k, ui->tx1k,
                                     ui->Cbprov, ui->Cbmuni, ui->missatge},
        UtmSquareControls::Opciones{true, true});

    ui->Txdata->setDateRange(QDate(1900, 1, 1), QDate(3000, 12, 31));
    ui->Cbhuso->addItems({QStringLiteral(" "), QStringLiteral("27"), QStringLiteral("28"),
                          QStringLiteral("29"), QStringLiteral("30"), QStringLiteral("31")});
    ui->Cbhuso->setCurrentIndex(-1);
    const QIcon lupa = style()->standardIcon(QStyle::SP_FileDialogContentsView);
    for (int slot = 1; slot <= 4; ++slot) {
        CdSelobs(slot)->setIcon(lupa);
        ModBaseDatos::AlPerderFoco(Txobs(slot), [this, slot] { Txobs_LostFocus(slot); });
        connect(CdSelobs(slot), &QPushButton::clicked, this,
                [this, slot] { CdSelobs_Click(slot); });
    }
    ui->Image1->setPixmap(TitleImage().scaledToHeight(48, Qt::SmoothTransformation));

    for (QComboBox *c : {ui->Cbespecie, ui->Cbmuni, ui->Cbhuso})
        ModBaseDatos::HacerCompletable(c);
    // The locality name is free text: no completion may change what the user types.
    ui->Cbloc->setCompleter(nullptr);
    ui->Cbloc->setInsertPolicy(QComboBox::NoInsert);
    for (QLineEdit *campo : {ui->Txexemplars, ui->Txlong, ui->Txlat})
        ModBaseDatos::FiltrarDigitos(campo);

    connect(ui->Cbnueva, &QPushButton::clicked, this, &newobs::Cbnueva_Click);
    connect(ui->Cbguardar, &QPushButton::clicked, this, &newobs::Cbguardar_Click);
    connect(ui->CdVolver, &QPushButton::clicked, this, &newobs::CdVolver_Click);
    ModBaseDatos::AlElegir(ui->Cbloc, [this] { Cbloc_Click(); });
    ModBaseDatos::AlPerderFoco(ui->Cbloc, [this] { Cbloc_Click(); });
    ModBaseDatos::AlElegir(ui->Cbprov, [this] { Cbprov_Click(); });
    ModBaseDatos::AlElegir(ui->Cbmuni, [this] { Cbmuni_Click(); });
    ModBaseDatos::AlPerderFoco(ui->Cbmuni, [this] { Cbmuni_LostFocus(); });
    ModBaseDatos::AlElegir(ui->Cbhuso, [this] { Cbhuso_Click(); });
    ModBaseDatos::AlPerderFoco(ui->Cbhuso, [this] { Cbhuso_LostFocus(); });
    ModBaseDatos::AlElegir(ui->cb10k, [this] { cb10k_Click(); });
    ModBaseDatos::AlPerderFoco(ui->Txlong, [this] { Txlong_LostFocus(); });
    ModBaseDatos::AlPerderFoco(ui->Txlat, [this] { Txlat_LostFocus(); });
    ModBaseDatos::AlElegir(ui->Cbespecie, [this] { Cbespecie_Click(); });
    ModBaseDatos::AlPerderFoco(ui->Cbespecie, [this] { Cbespecie_LostFocus(); });
    ModBaseDatos::AlPerderFoco(ui->Txhini, [this] { Txhini_LostFocus(); });
    ModBaseDatos::AlPerderFoco(ui->Txhfi, [this] { Txhfi_LostFocus(); });
    for (QComboBox *c :
         {ui->Cbperiodo, ui->Cbmeteo, ui->Cbvents, ui->Cbestadio, ui->Cbconducta, ui->Cbhabitat})
        ModBaseDatos::AlElegir(c, [this, c] { Lista_Click(c); });

    Form_Load();
}

newobs::~newobs() = default;

QLineEdit *newobs::Txobs(int slot) const {
    return std::array{ui->Txobs1, ui->Txobs2, ui->Txobs3, ui->Txobs4}[slot - 1];
}
QLabel *newobs::Lbobs(int slot) const {
    return std::array{ui->Lbobs1, ui->Lbobs2, ui->Lbobs3, ui->Lbobs4}[slot - 1];
}
QPushButton *newobs::CdSelobs(int slot) const {
    return std::array{ui->CdSelobs1, ui->CdSelobs2, ui->Cdselobs3, ui->Cdselobs4}[slot - 1];
}

void newobs::Form_Load() {
    Screen::RelojArena reloj;
    Screen::AplicarColores(this);
    ui->Txdata->setDate(QDate(QDate::currentDate().year(), 1, 1));
    ui->Txhini->setTime(QTime(0, 0));
    ui->Txhfi->setTime(QTime(0, 0));
    // Without a database one message says so, instead of one for every list.
    if (!ModConex::DatabaseConnection().isOpen()) {
        MessageService::Mostrar(this, DescribirError(ModConex::DatabaseConnection().lastError()),
                                QStringLiteral("Tritodex"), QMessageBox::Warning);
        return;
    }
    PonerObservadorPorDefecto();

    ReferenceData ref;
    ModBaseDatos::Rellenar(ui->cb10k, ref.Cuadrados10k() << QStringLiteral(" "));
    ModBaseDatos::Rellenar(ui->Cbvents, ref.Vientos());
    ModBaseDatos::Rellenar(ui->Cbmeteo, ref.Meteos());
    ModBaseDatos::Rellenar(ui->Cbperiodo, ref.Periodos());
    ModBaseDatos::Rellenar(ui->Cbespecie, ref.Especies());
    ModBaseDatos::Rellenar(ui->Cbestadio, ref.Estadios());
    ModBaseDatos::Rellenar(ui->Cbmotivo, QStringList{QString()} << ref.Motivos());
    ModBaseDatos::Rellenar(ui->Cbconducta, ref.Conductas());
    ModBaseDatos::Rellenar(ui->Cbhabitat, ref.Habitats());
    ModBaseDatos::InformarError(this, ref);
    CargarLocalidades();
    CargarProvinciasUTM10(QString());
}

void newobs::PonerObservadorPorDefecto() {
    const QString codigo = ObserverStore().CodigoPredeterminado();
    if (codigo.isEmpty()) return;
    Txobs(1)->setText(codigo);
    Txobs_LostFocus(1);
}

void newobs::CargarLocalidades() {
    LocalityStore localidades;
    ModBaseDatos::Rellenar(ui->Cbloc, localidades.Nombres());
    ModBaseDatos::InformarError(this, localidades);
}

void newobs::CargarProvinciasUTM10(const QString &utm10) {
    utm->CargarProvinciasUTM10(utm10);
}

void newobs::CalcularCuadradosUTM() {
    if (ModoLocalidad == QLatin1String("loc")) return;
    utm->CalcularCuadradosUTM();
}

// Observers --------------------------------------------------------------------------

void newobs::Txobs_LostFocus(int slot) {
    QLineEdit *campo = Txobs(slot);
    if (campo->text().isEmpty()) {
        Lbobs(slot)->clear();
        return;
    }
    QString error;
    ObserverStore observadores;
    const auto observador = observadores.Cargar(campo->text());
    error = observadores.error();
    if (!error.isEmpty()) {
        MessageService::Mostrar(this, error, QStringLiteral("Tritodex"), QMessageBox::Warning);
        return;
    }
    if (!observador) {
        MessageService::Mostrar(this, QStringLiteral("No existe ningun Observador con este código"),
                                QStringLiteral("Código Observador Incorrecto"),
                                QMessageBox::Warning);
        campo->clear();
        Lbobs(slot)->clear();
        campo->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The code as the observer table holds it, whatever case was typed.
    campo->setText(observador->codigo);
    Lbobs(slot)->setText(observador->nombre + u' ' + observador->apellido);
}

void newobs::CdSelobs_Click(int slot) {
    Elegir()(this, QStringLiteral("alta%1").arg(slot));
}

// Lookup lists -----------------------------------------------------------------------

void newobs::Lista_Click(QComboBox *lista) {
    const QString texto = lista->currentText();
    if (texto.trimmed().isEmpty()) return;
    ReferenceData ref;
    std::optional<int> id;
    int *destino = nullptr;
    if (lista == ui->Cbperiodo) {
        id = ref.IdPeriodo(texto);
        destino = &idPeriodo;
    } else if (lista == ui->Cbmeteo) {
        id = ref.IdMeteo(texto);
        destino = &idMeteo;
    } else if (lista == ui->Cbvents) {
        id = ref.IdViento(texto.section(u'(', 0, 0).trimmed());
        destino = &idViento;
    } else if (lista == ui->Cbestadio) {
        id = ref.IdEstadio(texto, claseEspecie);
        destino = &idEstadio;
    } else if (lista == ui->Cbconducta) {
        id = ref.IdConducta(texto, claseEspecie);
        destino = &idConducta;
    } else if (lista == ui->Cbhabitat) {
        id = ref.IdHabitat(texto);
        destino = &idHabitat;
    }
    if (ModBaseDatos::InformarError(this, ref)) return;
    if (id && destino) *destino = *id;
}

QString newobs::CodigoEspecie() const {
    return ui->Cbespecie->currentText().section(u'-', 0, 0).trimmed();
}

void newobs::RellenarSegunClase(const QString &clase) {
    ReferenceData ref;
    ModBaseDatos::Rellenar(ui->Cbestadio, clase.isNull() ? ref.Estadios() : ref.Estadios(clase));
    ModBaseDatos::Rellenar(ui->Cbconducta, clase.isNull() ? ref.Conductas() : ref.Conductas(clase));
    ModBaseDatos::InformarError(this, ref);
}

void newobs::Cbespecie_Click() {
    if (ui->Cbespecie->currentText().isEmpty()) {
        ui->Lbespecie->clear();
        return;
    }
    ReferenceData ref;
    const auto especie = ref.BuscarEspecie(CodigoEspecie());
    if (ModBaseDatos::InformarError(this, ref)) return;
    if (!especie) {
        MessageService::Mostrar(this, QStringLiteral("No existe ninguna Especie con este nombre"),
                                QStringLiteral("Especie Incorrecta"), QMessageBox::Warning);
        {
            const QSignalBlocker bloqueo(ui->Cbespecie);
            ui->Cbespecie->setCurrentIndex(ui->Cbespecie->count() > 0 ? 0 : -1);
        }
        ui->Lbespecie->clear();
        ui->Cbespecie->setFocus(Qt::OtherFocusReason);
        return;
    }
    ui->Lbespecie->setText(especie->nombreCastellano);
    claseEspecie = especie->clase;
    // Stage and behaviour stay chosen when the new class has them too; otherwise a list
    // that shows nothing stores nothing.
    const QString estadio = ui->Cbestadio->currentText();
    const QString conducta = ui->Cbconducta->currentText();
    RellenarSegunClase(claseEspecie);
    idEstadio = 0;
    idConducta = 0;
    if (!estadio.isEmpty() && EsItem(ui->Cbestadio, estadio))
        ModBaseDatos::PonerTexto(ui->Cbestadio, estadio);
    if (!conducta.isEmpty() && EsItem(ui->Cbconducta, conducta))
        ModBaseDatos::PonerTexto(ui->Cbconducta, conducta);
}

void newobs::Cbespecie_LostFocus() {
    const QString texto = ui->Cbespecie->currentText();
    if (texto.isEmpty()) {
        ui->Lbespecie->clear();
        return;
    }
    if (EsItem(ui->Cbespecie, texto)) return;
    Vaciar(ui->Cbespecie, QStringLiteral(" "));
    ui->Lbespecie->clear();
}

void newobs::ComprobarHoras(QTimeEdit *dejado) {
    const QString ini = ui->Txhini->time().toString(QStringLiteral("HH:mm"));
    const QString fin = ui->Txhfi->time().toString(QStringLiteral("HH:mm"));
    const QString cero = QStringLiteral("00:00");
    if (ini == cero || fin == cero || !(ini > fin)) return;
    MessageService::Mostrar(
        this,
        QStringLiteral("La hora inicial de la observación debe ser inferior a la "
                       "hora final"),
        QStringLiteral("Tritodex"), QMessageBox::Warning);
    dejado->setTime(QTime(0, 0));
    dejado->setFocus(Qt::OtherFocusReason);
}

void newobs::Txhini_LostFocus() {
    ComprobarHoras(ui->Txhini);
}
void newobs::Txhfi_LostFocus() {
    ComprobarHoras(ui->Txhfi);
}

// Locality and squares ---------------------------------------------------------------

void newobs::Cbloc_Click() {
    const QString nombre = ui->Cbloc->currentText();
    if (nombre.isEmpty()) {
        CodigoLocalidad.clear();
        return;
    }
    CodigoLocalidad = QStringLiteral("new");
    const int i = ui->Cbloc->findText(nombre, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i >= 0) {
        const QSignalBlocker bloqueo(ui->Cbloc);
        ui->Cbloc->setCurrentIndex(i);
        CodigoLocalidad.clear();
    }
    if (CodigoLocalidad == QLatin1String("new")) {
        for (QWidget *marco : {ui->Frame1, ui->Frame2, ui->Frame3})
            marco->setEnabled(true);
        return;
    }
    CargarProvinciasUTM10(QString());
    ModoLocalidad = QStringLiteral("loc");
    LocalityStore localidades;
    const auto l = localidades.PorNombre(nombre);
    for (QWidget *marco : {ui->Frame1, ui->Frame2, ui->Frame3})
        marco->setEnabled(false);
    if (l) {
        CodigoLocalidad = l->codigo;
        ModBaseDatos::PonerTexto(ui->Cbhuso,
                                 l->utmhuso.isEmpty() ? ui->Cbhuso->itemText(0) : l->utmhuso);
        ui->Txlat->setText(l->utmy.isNull() ? QString() : l->utmy.toString());
        ui->Txlong->setText(l->utmx.isNull() ? QString() : l->utmx.toString());
        ui->tx1k->setText(l->utm1k);
        utm->CargarTodosUTM10();
        ModBaseDatos::PonerTexto(ui->cb10k, l->utm10k);
        // The choices must run even when the list already showed the same item.
        const int provincia = ui->Cbprov->currentIndex();
        ModBaseDatos::PonerTexto(ui->Cbprov, l->provincia);
        if (ui->Cbprov->currentIndex() == provincia) Cbprov_Click();
        const int municipio = ui->Cbmuni->currentIndex();
        ModBaseDatos::PonerTexto(ui->Cbmuni, l->municipio);
        if (ui->Cbmuni->currentIndex() == municipio && municipio >= 0) Cbmuni_Click();
    }
    ModBaseDatos::InformarError(this, localidades);
    ModoLocalidad.clear();
}

void newobs::Cbprov_Click() {
    const QString provincia = ui->Cbprov->currentText();
    if (provincia.isEmpty()) {
        Vaciar(ui->Cbmuni);
        idMuni = 0;
        ui->Cbmuni->setEnabled(false);
        return;
    }
    ui->Cbmuni->setEnabled(true);
    const QString cuadrado = ui->cb10k->currentText();
    if (cuadrado.trimmed().isEmpty()) {
        ui->Frame1->setEnabled(false);
        Vaciar(ui->Cbhuso);
        ui->Txlat->clear();
        ui->Txlong->clear();
        ui->tx1k->clear();
    }
    ReferenceData ref;
    // The province's own identifier, even when none of its municipalities has the square.
    if (const auto id = ref.IdProvincia(provincia)) idProv = *id;
    const QStringList municipios =
        ref.MunicipiosDeProvincia(provincia, cuadrado.trimmed().isEmpty() ? QString() : cuadrado);
    if (ModBaseDatos::InformarError(this, ref)) return;
    const QString anterior = ui->Cbmuni->currentText();
    ModBaseDatos::Rellenar(ui->Cbmuni, municipios + QStringList{QString()});
    // A municipality no longer listed is no longer chosen.
    idMuni = 0;
    if (!anterior.isEmpty() && municipios.contains(anterior))
        ModBaseDatos::PonerTexto(ui->Cbmuni, anterior);
}

void newobs::Cbmuni_Click() {
    const QString municipio = ui->Cbmuni->currentText();
    if (municipio.trimmed().isEmpty()) return;
    ReferenceData ref;
    if (const auto id = ref.IdMunicipio(municipio)) idMuni = *id;
    if (ModBaseDatos::InformarError(this, ref)) return;
    if (ui->tx1k->text().trimmed().isEmpty() && ui->cb10k->currentText().trimmed().isEmpty()) {
        ModoGuardar = QStringLiteral("muni");
        utm->CargarUTM10();
    }
}

void newobs::Cbmuni_LostFocus() {
    if (!EsItem(ui->Cbmuni, ui->Cbmuni->currentText())) {
        Vaciar(ui->Cbmuni);
        idMuni = 0;
    }
}

void newobs::Cbhuso_Click() {
    CalcularCuadradosUTM();
}

void newobs::Cbhuso_LostFocus() {
    if (!EsItem(ui->Cbhuso, ui->Cbhuso->currentText())) Vaciar(ui->Cbhuso);
}

void newobs::cb10k_Click() {
    if (ModoLocalidad == QLatin1String("loc") || utm->utm10Encontrado() ||
        ModoGuardar == QLatin1String("muni"))
        return;
    ui->Txlat->clear();
    ui->Txlong->clear();
    ui->tx1k->clear();
    Vaciar(ui->Cbhuso);
    CargarProvinciasUTM10(ui->cb10k->currentText());
}

void newobs::Txlong_LostFocus() {
    CalcularCuadradosUTM();
}
void newobs::Txlat_LostFocus() {
    CalcularCuadradosUTM();
}

// Saving -----------------------------------------------------------------------------

void newobs::Cbnueva_Click() {
    ModoGuardar = QStringLiteral("new");
    GuardarObservacion();
}

void newobs::Cbguardar_Click() {
    ModoGuardar = QStringLiteral("dup");
    GuardarObservacion();
}

void newobs::CdVolver_Click() {
    if (auto *sub = parentWidget(); sub && sub->inherits("QMdiSubWindow"))
        sub->close();
    else
        close();
}

void newobs::GuardarObservacion() {
    QString falta;
    if (ui->Cbespecie->currentText().trimmed().isEmpty()) falta = QStringLiteral("Especie");
    // A listed locality whose row could not be read has no code: it cannot be stored.
    if (ui->Cbloc->currentText().isEmpty() || CodigoLocalidad.isEmpty())
        falta = QStringLiteral("Localidad");
    if (idProv == 0) falta = QStringLiteral("Provincia");
    if (idMuni == 0) falta = QStringLiteral("Municipio");
    if (ui->cb10k->currentText().trimmed().isEmpty()) falta = QStringLiteral("UTM 10K");
    if (ui->Cbprov->currentText().isEmpty()) falta = QStringLiteral("Provincia");
    if (ui->Txobs1->text().isEmpty()) falta = QStringLiteral("Observador");
    if (!ui->Txdata->date().isValid()) falta = QStringLiteral("Data de la Observación");
    if (!falta.isEmpty()) {
        MessageService::Mostrar(this, QStringLiteral("El campo %1 es obligatorio.").arg(falta),
                                QStringLiteral("Datos incompletos"), QMessageBox::Warning);
        return;
    }
    // Pasted text can reach the digit fields; it must not reach the database.
    const bool nueva = !EsItem(ui->Cbloc, ui->Cbloc->currentText());
    if (!ui->Txexemplars->text().isEmpty() && !EsEntero(ui->Txexemplars->text())) {
        MessageService::Mostrar(
            this, QStringLiteral("El número de ejemplares debe ser un número entero."),
            QStringLiteral("Datos incorrectos"), QMessageBox::Warning);
        return;
    }
    if (nueva && ((!ui->Txlong->text().isEmpty() && !EsEntero(ui->Txlong->text())) ||
                  (!ui->Txlat->text().isEmpty() && !EsEntero(ui->Txlat->text())))) {
        MessageService::Mostrar(this, QStringLiteral("Las coordenadas deben ser números enteros"),
                                QStringLiteral("Datos incorrectos"), QMessageBox::Warning);
        return;
    }

    ObservationStore observaciones;
    const int numero = observaciones.SiguienteNumero();
    if (ModBaseDatos::InformarError(this, observaciones)) return;
    const QString nombreLocalidad = ui->Cbloc->currentText();
    std::optional<Localidad> localidad;
    QString codigo = CodigoLocalidad;
    if (nueva) {
        const auto aceptado = Pregunta()(this, ui->Txobs1->text() + QString::number(numero));
        if (!aceptado) return; // the prompt was closed: nothing is stored
        codigo = *aceptado;
        Localidad l;
        l.codigo = codigo;
        l.nombre = QString(nombreLocalidad).replace(u'\'', u'´');
        l.muni = idMuni;
        l.prov = idProv;
        l.utmhuso = ui->Cbhuso->currentText();
        l.utmx =
            ui->Txlong->text().isEmpty() ? QVariant() : QVariant(ui->Txlong->text().toLongLong());
        l.utmy =
            ui->Txlat->text().isEmpty() ? QVariant() : QVariant(ui->Txlat->text().toLongLong());
        l.utm1k = ui->tx1k->text();
        l.utm10k = ui->cb10k->currentText();
        localidad = l;
    }

    Observacion o;
    for (int slot = 1; slot <= 4; ++slot)
        o.observador[slot - 1] = Txobs(slot)->text();
    o.fecha = ui->Txdata->date();
    o.horaini = ui->Txhini->time().toString(QStringLiteral("HH:mm"));
    o.horafin = ui->Txhfi->time().toString(QStringLiteral("HH:mm"));
    o.periodo = idPeriodo;
    o.meteo = idMeteo;
    o.viento = idViento;
    o.especie = CodigoEspecie();
    o.numejemp = ui->Txexemplars->text().isEmpty() ? QVariant()
                                                   : QVariant(ui->Txexemplars->text().toLongLong());
    o.numaprox = ui->Check1->isChecked();
    o.estadio = idEstadio;
    o.conducta = idConducta;
    o.descripcion = QString(ui->Txdesc->text()).replace(u'\'', u'´');
    o.motivo = ui->Cbmotivo->currentText();
    o.habitat = idHabitat;
    o.localidad = codigo;

    {
        Screen::RelojArena reloj;
        if (!observaciones.Guardar(o, localidad)) {
            MessageService::Mostrar(this,
                                    QStringLiteral("No se ha podido registrar la observación: %1")
                                        .arg(observaciones.error()),
                                    QStringLiteral("Tritodex"), QMessageBox::Warning);
            return;
        }
    }
    CodigoLocalidad = codigo;
    MessageService::Mostrar(this,
                            QStringLiteral("Se ha registrado la observación en la base de datos"));
    if (ModoGuardar == QLatin1String("new")) LimpiarFormulario();
    CargarLocalidades();
    if (ModoGuardar == QLatin1String("dup")) {
        // The name as stored, so that the next save finds the locality instead of a new one.
        const QString guardado = localidad ? localidad->nombre : nombreLocalidad;
        const int i = ui->Cbloc->findText(guardado, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (i >= 0) ui->Cbloc->setCurrentIndex(i);
    }
}

void newobs::LimpiarFormulario() {
    for (int slot = 1; slot <= 4; ++slot) {
        Txobs(slot)->clear();
        Lbobs(slot)->clear();
    }
    for (QComboBox *c : {ui->Cbperiodo, ui->Cbvents, ui->Cbmeteo, ui->Cbmotivo, ui->Cbestadio,
                         ui->Cbhuso, ui->Cbconducta, ui->Cbhabitat})
        Vaciar(c);
    // Lists that show nothing store nothing.
    idPeriodo = idViento = idMeteo = idEstadio = idConducta = idHabitat = 0;
    Vaciar(ui->Cbespecie, QStringLiteral(" "));
    ui->Lbespecie->clear();
    ui->Txhini->setTime(QTime(0, 0));
    ui->Txhfi->setTime(QTime(0, 0));
    ui->Txexemplars->clear();
    ui->Check1->setChecked(false);
    ui->Txdesc->clear();
    Vaciar(ui->Cbloc);
    CodigoLocalidad.clear();
    ui->Txlong->clear();
    ui->Txlat->clear();
    Vaciar(ui->cb10k);
    ui->tx1k->clear();
    CargarProvinciasUTM10(QString());
    Vaciar(ui->Cbprov);
    Cbprov_Click();
    idProv = 0;
    idMuni = 0;
    PonerObservadorPorDefecto();
}
