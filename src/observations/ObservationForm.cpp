#include "ObservationForm.h"

#include "data/Clock.h"
#include "data/ModConex.h"
#include "data/ReferenceData.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "gui/SpeciesFinder.h"
#include "observers/ObserverStore.h"
#include "observers/frobs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSqlError>
#include <QStyle>
#include <QTimeEdit>
#include <limits>

namespace {

using ModBaseDatos::EsItem;
using ModBaseDatos::Vaciar;

bool EsEntero(const QString &texto) {
    static const QRegularExpression digitos(QStringLiteral("^[0-9]+$"));
    return digitos.match(texto).hasMatch();
}

QVariant Entero(const QString &texto) {
    return texto.isEmpty() ? QVariant() : QVariant(texto.toLongLong());
}

void Aviso(QWidget *padre, const QString &texto,
           const QString &titulo = QStringLiteral("Datos incorrectos")) {
    MessageService::Mostrar(padre, texto, titulo, QMessageBox::Warning);
}

} // namespace

ObservationForm::ObservationForm(const Controles &c, const Opciones &o)
    : QObject(c.formulario), c_(c), o_(o) {
    // A new locality's place is entered on the panel; a chosen one's is only shown there.
    PlacePanel::Opciones lugar;
    lugar.derivarCuadrados = o.localidadNueva;
    lugar.comoObservacion = true;
    lugar.vaciarCoordenadas = o.localidadNueva;
    lugar.soloMostrar = !o.localidadNueva;
    c_.lugar->Iniciar(lugar);

    c_.Txdata->setDateRange(QDate(1900, 1, 1), QDate(3000, 12, 31));
    const QIcon lupa = c.formulario->style()->standardIcon(QStyle::SP_FileDialogContentsView);
    for (int slot = 1; slot <= 4; ++slot) {
        c_.CdSelobs[slot - 1]->setIcon(lupa);
        ModBaseDatos::AlPerderFoco(c_.Txobs[slot - 1], [this, slot] { Txobs_LostFocus(slot); });
        connect(c_.CdSelobs[slot - 1], &QPushButton::clicked, this,
                [this, slot] { CdSelobs_Click(slot); });
    }

    if (c_.Cbespecie) {
        ModBaseDatos::HacerCompletable(c_.Cbespecie);
        buscador_ = new SpeciesFinder(c_.Cbespecie, c_.Lbsinonimo);
        // A completion taken back leaves no species chosen, and no name beside the list.
        connect(c_.Cbespecie, &QComboBox::currentIndexChanged, this, [this](int i) {
            if (i < 0) c_.Lbespecie->clear();
        });
        ModBaseDatos::FiltrarDigitos(c_.Txexemplars);
        // No length limit on the count: a number that does not fit is refused by the save
        // with a message, never cut as it is typed or pasted.
        ModBaseDatos::AlElegir(c_.Cbespecie, [this] { Cbespecie_Click(); });
        ModBaseDatos::AlPerderFoco(c_.Cbespecie, [this] { Cbespecie_LostFocus(); });
    }
    connect(c_.Txdata, &QDateEdit::dateChanged, this, [this] { fechaElegida_ = true; });
    if (o_.localidadNueva) {
        // The locality name is free text: no completion may change what the user types.
        c_.Cbloc->setEditable(true);
        c_.Cbloc->setCompleter(nullptr);
        c_.Cbloc->setInsertPolicy(QComboBox::NoInsert);
    }

    ModBaseDatos::AlElegir(c_.Cbloc, [this] { Cbloc_Click(); });
    ModBaseDatos::AlPerderFoco(c_.Cbloc, [this] { Cbloc_Click(); });
    ModBaseDatos::AlPerderFoco(c_.Txhini, [this] { ComprobarHoras(c_.Txhini); });
    ModBaseDatos::AlPerderFoco(c_.Txhfi, [this] { ComprobarHoras(c_.Txhfi); });
    for (QComboBox *lista :
         {c_.Cbperiodo, c_.Cbmeteo, c_.Cbvents, c_.Cbestadio, c_.Cbconducta, c_.Cbhabitat})
        if (lista) ModBaseDatos::AlElegir(lista, [this, lista] { Lista_Click(lista); });
}

ObservationForm::~ObservationForm() = default;

bool ObservationForm::Cargar() {
    // Without a database one message says so, instead of one for every list.
    if (!ModConex::DatabaseConnection().isOpen()) {
        MessageService::MostrarFallo(c_.formulario,
                                     DescribirError(ModConex::DatabaseConnection().lastError()));
        return false;
    }
    PonerObservadorPorDefecto();
    ReferenceData ref;
    ModBaseDatos::Rellenar(c_.Cbvents, ref.Vientos());
    ModBaseDatos::Rellenar(c_.Cbmeteo, ref.Meteos());
    ModBaseDatos::Rellenar(c_.Cbperiodo, ref.Periodos());
    if (c_.Cbespecie) {
        ModBaseDatos::Rellenar(c_.Cbespecie, ref.Especies());
        QString error;
        if (!buscador_->Cargar(&error)) MessageService::MostrarFallo(c_.formulario, error);
        ModBaseDatos::Rellenar(c_.Cbestadio, ref.Estadios());
        ModBaseDatos::Rellenar(c_.Cbconducta, ref.Conductas());
    }
    ModBaseDatos::Rellenar(c_.Cbmotivo, QStringList{o_.motivoEnBlanco} << ref.Motivos());
    ModBaseDatos::Rellenar(c_.Cbhabitat, ref.Habitats());
    ModBaseDatos::InformarError(c_.formulario, ref);
    CargarLocalidades();
    return c_.lugar->Cargar();
}

void ObservationForm::PonerObservadorPorDefecto() {
    const QString codigo = ObserverStore().CodigoPredeterminado();
    if (codigo.isEmpty()) return;
    c_.Txobs[0]->setText(codigo);
    Txobs_LostFocus(1);
}

void ObservationForm::CargarLocalidades() {
    LocalityStore localidades;
    if (o_.codigosLocalidad) {
        QStringList nombres;
        QVariantList ids;
        localidades.NombresEIdentificadores(nombres, ids);
        ModBaseDatos::Rellenar(c_.Cbloc, nombres, ids);
    } else {
        ModBaseDatos::Rellenar(c_.Cbloc, localidades.Nombres());
    }
    ModBaseDatos::InformarError(c_.formulario, localidades);
}

void ObservationForm::ElegirLocalidad(const QString &nombre) {
    const int i = c_.Cbloc->findText(nombre, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i >= 0) c_.Cbloc->setCurrentIndex(i);
}

bool ObservationForm::ObservadoresComprobados() {
    // A code typed and never left (a keyboard shortcut saves without moving the focus).
    for (int slot = 1; slot <= 4; ++slot)
        if (!c_.Txobs[slot - 1]->text().isEmpty() && c_.Lbobs[slot - 1]->text().isEmpty() &&
            !ComprobarObservador(slot))
            return false;
    return true;
}

// Observers --------------------------------------------------------------------------

void ObservationForm::Txobs_LostFocus(int slot) {
    ComprobarObservador(slot);
}

bool ObservationForm::ComprobarObservador(int slot) {
    QLineEdit *campo = c_.Txobs[slot - 1];
    QLabel *nombre = c_.Lbobs[slot - 1];
    if (campo->text().isEmpty()) {
        nombre->clear();
        return true;
    }
    ObserverStore observadores;
    const auto observador = observadores.Cargar(campo->text());
    if (const QString error = observadores.error(); !error.isEmpty()) {
        MessageService::MostrarFallo(c_.formulario, error);
        return false;
    }
    if (!observador) {
        MessageService::Mostrar(
            c_.formulario, QStringLiteral("No existe ningun Observador con este código"),
            QStringLiteral("Código Observador Incorrecto"), QMessageBox::Warning);
        campo->clear();
        nombre->clear();
        campo->setFocus(Qt::OtherFocusReason);
        return false;
    }
    // The code as the observer table holds it, whatever case was typed.
    campo->setText(observador->codigo);
    nombre->setText(observador->nombre + u' ' + observador->apellido);
    return true;
}

void ObservationForm::CdSelobs_Click(int slot) {
    QPointer<QWidget> formulario = c_.formulario;
    frobs::AbrirSeleccion(c_.formulario,
                          [this, formulario, slot](const QString &codigo, const QString &nombre) {
                              if (!formulario) return;
                              c_.Txobs[slot - 1]->setText(codigo);
                              c_.Lbobs[slot - 1]->setText(nombre);
                              Screen::TraerAlFrente(formulario);
                              c_.CdSelobs[slot - 1]->setFocus(Qt::OtherFocusReason);
                          });
}

// Lookup lists -----------------------------------------------------------------------

void ObservationForm::Lista_Click(QComboBox *lista) {
    const QString texto = lista->currentText();
    if (texto.trimmed().isEmpty()) return;
    ReferenceData ref;
    std::optional<int> id;
    int *destino = nullptr;
    if (lista == c_.Cbperiodo) {
        id = ref.IdPeriodo(texto);
        destino = &idPeriodo;
    } else if (lista == c_.Cbmeteo) {
        id = ref.IdMeteo(texto);
        destino = &idMeteo;
    } else if (lista == c_.Cbvents) {
        id = ref.IdViento(texto.section(u'(', 0, 0).trimmed());
        destino = &idViento;
    } else if (lista == c_.Cbestadio) {
        id = ref.IdEstadio(texto, claseEspecie_);
        destino = &idEstadio;
    } else if (lista == c_.Cbconducta) {
        id = ref.IdConducta(texto, claseEspecie_);
        destino = &idConducta;
    } else if (lista == c_.Cbhabitat) {
        id = ref.IdHabitat(texto);
        destino = &idHabitat;
    }
    if (ModBaseDatos::InformarError(c_.formulario, ref)) return;
    if (id && destino) *destino = *id;
}

QString ObservationForm::CodigoEspecie() const {
    return c_.Cbespecie->currentText().section(u'-', 0, 0).trimmed();
}

void ObservationForm::RellenarSegunClase(const QString &clase) {
    ReferenceData ref;
    ModBaseDatos::Rellenar(c_.Cbestadio, clase.isNull() ? ref.Estadios() : ref.Estadios(clase));
    ModBaseDatos::Rellenar(c_.Cbconducta, clase.isNull() ? ref.Conductas() : ref.Conductas(clase));
    ModBaseDatos::InformarError(c_.formulario, ref);
}

void ObservationForm::Cbespecie_Click() {
    if (c_.Cbespecie->currentText().isEmpty()) {
        c_.Lbespecie->clear();
        return;
    }
    ReferenceData ref;
    const auto especie = ref.BuscarEspecie(CodigoEspecie());
    if (ModBaseDatos::InformarError(c_.formulario, ref)) return;
    if (!especie) {
        MessageService::Mostrar(c_.formulario,
                                QStringLiteral("No existe ninguna Especie con este nombre"),
                                QStringLiteral("Especie Incorrecta"), QMessageBox::Warning);
        {
            const QSignalBlocker bloqueo(c_.Cbespecie);
            c_.Cbespecie->setCurrentIndex(c_.Cbespecie->count() > 0 ? 0 : -1);
        }
        c_.Lbespecie->clear();
        c_.Cbespecie->setFocus(Qt::OtherFocusReason);
        return;
    }
    c_.Lbespecie->setText(especie->nombreCastellano);
    claseEspecie_ = especie->clase;
    // Stage and behaviour stay chosen when the new class has them too; otherwise a list
    // that shows nothing stores nothing.
    const QString estadio = c_.Cbestadio->currentText();
    const QString conducta = c_.Cbconducta->currentText();
    RellenarSegunClase(claseEspecie_);
    idEstadio = 0;
    idConducta = 0;
    if (!estadio.isEmpty() && EsItem(c_.Cbestadio, estadio))
        ModBaseDatos::PonerTexto(c_.Cbestadio, estadio);
    if (!conducta.isEmpty() && EsItem(c_.Cbconducta, conducta))
        ModBaseDatos::PonerTexto(c_.Cbconducta, conducta);
}

void ObservationForm::Cbespecie_LostFocus() {
    const QString texto = c_.Cbespecie->currentText();
    if (texto.isEmpty()) {
        c_.Lbespecie->clear();
        return;
    }
    if (EsItem(c_.Cbespecie, texto) || buscador_->ElegirExacto()) return;
    Vaciar(c_.Cbespecie, QStringLiteral(" "));
    buscador_->ExplicarCodigo(QString());
    c_.Lbespecie->clear();
    // A text that is no species is never stored, and never dropped without a word.
    if (!texto.trimmed().isEmpty()) SpeciesFinder::Rechazar(c_.formulario, texto);
}

void ObservationForm::ComprobarHoras(QTimeEdit *dejado) {
    const QString ini = c_.Txhini->time().toString(QStringLiteral("HH:mm"));
    const QString fin = c_.Txhfi->time().toString(QStringLiteral("HH:mm"));
    const QString cero = QStringLiteral("00:00");
    if (ini == cero || fin == cero || !(ini > fin)) return;
    MessageService::Mostrar(c_.formulario,
                            QStringLiteral("La hora inicial de la observación debe ser inferior "
                                           "a la hora final"),
                            QStringLiteral("Tritodex"), QMessageBox::Warning);
    dejado->setTime(QTime(0, 0));
    dejado->setFocus(Qt::OtherFocusReason);
}

// Locality and squares ---------------------------------------------------------------

void ObservationForm::Cbloc_Click() {
    const QString nombre = c_.Cbloc->currentText();
    if (nombre.isEmpty()) {
        codigoLocalidad_.clear();
        return;
    }
    // The chosen item's own code, never a look-up by a name that other localities may share.
    const int i = o_.codigosLocalidad
                      ? c_.Cbloc->currentIndex()
                      : c_.Cbloc->findText(nombre, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i < 0) {
        codigoLocalidad_ = o_.localidadNueva ? QStringLiteral("new") : QString();
        if (o_.localidadNueva) c_.lugar->Habilitar(true);
        return;
    }
    {
        const QSignalBlocker bloqueo(c_.Cbloc);
        c_.Cbloc->setCurrentIndex(i);
    }
    codigoLocalidad_.clear();
    LocalityStore localidades;
    const auto l = o_.codigosLocalidad
                       ? localidades.PorIdentificador(c_.Cbloc->itemData(i, Qt::UserRole).toInt())
                       : localidades.PorNombre(nombre);
    if (l) {
        MostrarLocalidad(*l);
    } else {
        c_.lugar->ListarProvincias();
        if (o_.localidadNueva) c_.lugar->Habilitar(false);
    }
    ModBaseDatos::InformarError(c_.formulario, localidades);
}

void ObservationForm::MostrarLocalidad(const Localidad &l) {
    if (o_.localidadNueva) c_.lugar->Habilitar(false);
    codigoLocalidad_ = l.codigo;
    c_.lugar->Mostrar(l);
}

// Values -----------------------------------------------------------------------------

QString ObservationForm::CampoQueFalta() const {
    QString falta;
    // A species typed but never chosen from the list has no code to store.
    if (c_.Cbespecie && (c_.Cbespecie->currentText().trimmed().isEmpty() ||
                         !EsItem(c_.Cbespecie, c_.Cbespecie->currentText())))
        falta = QStringLiteral("Especie");
    // A listed locality whose row could not be read has no code: it cannot be stored.
    if (c_.Cbloc->currentText().isEmpty() || codigoLocalidad_.isEmpty())
        falta = QStringLiteral("Localidad");
    if (c_.lugar->idProv() == 0) falta = QStringLiteral("Provincia");
    if (c_.lugar->idMuni() == 0) falta = QStringLiteral("Municipio");
    // A chosen locality's blank square " " counts as a square: its list cannot be changed
    // here.
    const QString cuadrado = c_.lugar->Cuadrado10k();
    if (o_.localidadNueva ? cuadrado.trimmed().isEmpty() : cuadrado.isEmpty())
        falta = QStringLiteral("UTM 10K");
    if (c_.lugar->Provincia().isEmpty()) falta = QStringLiteral("Provincia");
    if (c_.Txobs[0]->text().isEmpty()) falta = QStringLiteral("Observador");
    if (!c_.Txdata->date().isValid()) falta = QStringLiteral("Data de la Observación");
    return falta;
}

bool ObservationForm::EsLocalidadNueva() const {
    return o_.localidadNueva && !EsItem(c_.Cbloc, c_.Cbloc->currentText());
}

QString ObservationForm::EjemplaresIncorrectos(const QString &ejemplares) {
    // Pasted text can reach the digit fields; it must not reach the database.
    if (!ejemplares.isEmpty() && !EsEntero(ejemplares))
        return QStringLiteral("El número de ejemplares debe ser un número entero.");
    // A number that does not fit is refused, never cut.
    bool cabe = true;
    if (!ejemplares.isEmpty() &&
        (ejemplares.toLongLong(&cabe) > std::numeric_limits<int>::max() || !cabe))
        return QStringLiteral("El número de ejemplares no puede ser mayor que %1.")
            .arg(std::numeric_limits<int>::max());
    return {};
}

std::optional<Observacion> ObservationForm::Leer() {
    const QString ejemplares = c_.Txexemplars ? c_.Txexemplars->text() : QString();
    if (const QString mal = EjemplaresIncorrectos(ejemplares); !mal.isEmpty()) {
        Aviso(c_.formulario, mal);
        return std::nullopt;
    }
    nueva_.reset();
    if (EsLocalidadNueva()) {
        nueva_ = c_.lugar->Leer(QStringLiteral("Datos incorrectos"));
        if (!nueva_) return std::nullopt;
    }

    Observacion o;
    for (int slot = 1; slot <= 4; ++slot)
        o.observador[slot - 1] = c_.Txobs[slot - 1]->text();
    o.fecha = c_.Txdata->date();
    o.horaini = c_.Txhini->time().toString(QStringLiteral("HH:mm"));
    o.horafin = c_.Txhfi->time().toString(QStringLiteral("HH:mm"));
    o.periodo = idPeriodo;
    o.meteo = idMeteo;
    o.viento = idViento;
    if (c_.Cbespecie) {
        o.especie = CodigoEspecie();
        o.numejemp = Entero(ejemplares);
        o.numaprox = c_.Check1->isChecked();
        o.estadio = idEstadio;
        o.conducta = idConducta;
        o.descripcion = QString(c_.Txdesc->text()).replace(u'\'', u'´');
    }
    o.motivo = c_.Cbmotivo->currentText();
    o.habitat = idHabitat;
    o.localidad = codigoLocalidad_;
    return o;
}

bool ObservationForm::MunicipioConfirmado() const {
    return !EsLocalidadNueva() || c_.lugar->MunicipioConfirmado();
}

Localidad ObservationForm::LocalidadNueva() const {
    Localidad l = nueva_.value_or(Localidad());
    l.nombre = QString(c_.Cbloc->currentText()).replace(u'\'', u'´');
    return l;
}

void ObservationForm::Mostrar(const Observacion &o) {
    // Nothing of an observation shown before may be stored with this one.
    VaciarListas();
    c_.Lbespecie->clear();
    codigoLocalidad_.clear();
    for (int slot = 1; slot <= 4; ++slot) {
        c_.Txobs[slot - 1]->setText(o.observador[slot - 1]);
        ComprobarObservador(slot);
    }
    c_.Txdata->setDate(o.fecha);
    c_.Txhini->setTime(QTime::fromString(o.horaini, QStringLiteral("HH:mm")).isValid()
                           ? QTime::fromString(o.horaini, QStringLiteral("HH:mm"))
                           : QTime(0, 0));
    c_.Txhfi->setTime(QTime::fromString(o.horafin, QStringLiteral("HH:mm")).isValid()
                          ? QTime::fromString(o.horafin, QStringLiteral("HH:mm"))
                          : QTime(0, 0));
    ReferenceData ref;
    auto poner = [&](QComboBox *lista, ReferenceData::Lista cual, int id) {
        if (const auto texto = ref.Texto(cual, id)) ModBaseDatos::PonerTexto(lista, *texto);
    };
    poner(c_.Cbperiodo, ReferenceData::Lista::Periodo, o.periodo);
    poner(c_.Cbvents, ReferenceData::Lista::Viento, o.viento);
    poner(c_.Cbmeteo, ReferenceData::Lista::Meteo, o.meteo);
    // The species first: it narrows the stages and behaviours to its class.
    const QString prefijo = o.especie + QStringLiteral(" - ");
    int especie = o.especie.isEmpty() ? -1 : c_.Cbespecie->findText(prefijo, Qt::MatchStartsWith);
    // A code no longer offered (an older name kept for its records) is shown as stored.
    if (especie < 0 && !o.especie.isEmpty())
        if (const auto item = ref.ItemEspecie(o.especie)) {
            c_.Cbespecie->addItem(*item);
            especie = c_.Cbespecie->count() - 1;
        }
    if (especie >= 0)
        c_.Cbespecie->setCurrentIndex(especie);
    else
        Vaciar(c_.Cbespecie);
    buscador_->ExplicarCodigo(especie >= 0 ? o.especie : QString());
    c_.Txexemplars->setText(o.numejemp.isNull() ? QString() : o.numejemp.toString());
    c_.Check1->setChecked(o.numaprox);
    poner(c_.Cbestadio, ReferenceData::Lista::Estadio, o.estadio);
    poner(c_.Cbconducta, ReferenceData::Lista::Conducta, o.conducta);
    poner(c_.Cbhabitat, ReferenceData::Lista::Habitat, o.habitat);
    ModBaseDatos::InformarError(c_.formulario, ref);
    // A reason renamed or removed since is shown as stored, and so kept by the save.
    const QString motivo = o.motivo.isEmpty() ? o_.motivoEnBlanco : o.motivo;
    if (!EsItem(c_.Cbmotivo, motivo)) c_.Cbmotivo->addItem(motivo);
    ModBaseDatos::PonerTexto(c_.Cbmotivo, motivo);
    c_.Txdesc->setText(o.descripcion);
    LocalityStore localidades;
    if (const auto l = localidades.PorCodigo(o.localidad)) {
        const int i =
            o_.codigosLocalidad
                ? c_.Cbloc->findData(QVariant(qlonglong(l->idLocalidad)), Qt::UserRole,
                                     Qt::MatchExactly)
                : c_.Cbloc->findText(l->nombre, Qt::MatchExactly | Qt::MatchCaseSensitive);
        {
            const QSignalBlocker bloqueo(c_.Cbloc);
            c_.Cbloc->setCurrentIndex(i);
        }
        MostrarLocalidad(*l);
    } else {
        // A locality that is gone shows empty, and so stores nothing.
        Vaciar(c_.Cbloc);
        c_.lugar->Limpiar(false);
    }
    ModBaseDatos::InformarError(c_.formulario, localidades);
}

void ObservationForm::VaciarListas() {
    for (QComboBox *lista : {c_.Cbperiodo, c_.Cbvents, c_.Cbmeteo, c_.Cbmotivo, c_.Cbestadio,
                             c_.Cbconducta, c_.Cbhabitat})
        if (lista) Vaciar(lista);
    // Lists that show nothing store nothing.
    idPeriodo = idViento = idMeteo = idEstadio = idConducta = idHabitat = 0;
}

bool ObservationForm::PonerPosicion(double lat, double lon) {
    return c_.lugar->PonerPosicion({lat, lon});
}

void ObservationForm::Limpiar() {
    for (int slot = 1; slot <= 4; ++slot) {
        c_.Txobs[slot - 1]->clear();
        c_.Lbobs[slot - 1]->clear();
    }
    VaciarListas();
    if (c_.Cbespecie) {
        Vaciar(c_.Cbespecie, QStringLiteral(" "));
        buscador_->ExplicarCodigo(QString());
        c_.Lbespecie->clear();
        c_.Txexemplars->clear();
        c_.Check1->setChecked(false);
        c_.Txdesc->clear();
    }
    c_.Txhini->setTime(QTime(0, 0));
    c_.Txhfi->setTime(QTime(0, 0));
    Vaciar(c_.Cbloc);
    codigoLocalidad_.clear();
    c_.lugar->Limpiar(true);
    PonerObservadorPorDefecto();
}

void ObservationForm::ProponerFecha(const QDate &fecha) {
    c_.Txdata->setDate(fecha);
    fechaElegida_ = false;
}

bool ObservationForm::FechaConfirmada() {
    // The first of January the form proposes is easily saved by oversight.
    const QDate hoy = Clock::Hoy();
    if (fechaElegida_ || (hoy.day() == 1 && hoy.month() == 1)) return true;
    if (MessageService::Mostrar(
            c_.formulario,
            QStringLiteral("La fecha es la que propone el formulario (%1). ¿Es la fecha de la "
                           "observación?")
                .arg(c_.Txdata->date().toString(QStringLiteral("dd/MM/yyyy"))),
            QStringLiteral("Fecha de la observación"), QMessageBox::Question,
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        c_.Txdata->setFocus(Qt::OtherFocusReason);
        return false;
    }
    fechaElegida_ = true;
    return true;
}

void ObservationForm::CodigoGuardado(QWidget *padre, const ObservationStore &observaciones,
                                     Localidad &localidad) {
    if (observaciones.codigoLocalidad() == localidad.codigo) return;
    MessageService::Mostrar(padre, QStringLiteral("Otro usuario acaba de usar el código %1: la "
                                                  "localidad nueva se ha guardado con el código "
                                                  "%2.")
                                       .arg(localidad.codigo, observaciones.codigoLocalidad()));
    localidad.codigo = observaciones.codigoLocalidad();
}

bool ObservationForm::RegistrarAunqueIgual(QWidget *padre, ObservationStore &observaciones,
                                           const Observacion &o, int excepto) {
    const auto igual = observaciones.ExisteIgual(o, excepto);
    if (ModBaseDatos::InformarError(padre, observaciones) || !igual) return false;
    if (!*igual) return true;
    return MessageService::Mostrar(padre,
                                   QStringLiteral("Ya existe una observación de esta especie, "
                                                  "estadio y conducta en esta localidad y "
                                                  "fecha con el mismo observador. ¿Registrarla "
                                                  "igualmente?"),
                                   QStringLiteral("Observación repetida"), QMessageBox::Question,
                                   QMessageBox::Yes | QMessageBox::No,
                                   QMessageBox::No) == QMessageBox::Yes;
}
