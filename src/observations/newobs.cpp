#include "newobs.h"

#include "data/Clock.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "gui/TitleImage.h"
#include "gui/UnsavedChanges.h"
#include "localities/frcodloc.h"
#include "observations/ObservationForm.h"
#include "observations/ObservationStore.h"
#include "photos/PhotoStrip.h"
#include "ui_newobs.h"

#include <QDate>

newobs::newobs(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::newobs>()) {
    ui->setupUi(this);
    obs = new ObservationForm(ObservationForm::ControlesDe(this, ui.get()),
                              ObservationForm::Opciones{});
    ui->Image1->setPixmap(TitleImage().scaledToHeight(48, Qt::SmoothTransformation));

    connect(ui->Cbnueva, &QPushButton::clicked, this, &newobs::Cbnueva_Click);
    connect(ui->Cbguardar, &QPushButton::clicked, this, &newobs::Cbguardar_Click);
    connect(ui->CdVolver, &QPushButton::clicked, this, &newobs::CdVolver_Click);
    ui->fotos->setAlPrimera([this](const Foto &f) { OfrecerRelleno(f); });
    Form_Load();
    cambios_ = new UnsavedChanges(this);
}

newobs::~newobs() = default;

QString newobs::CodigoLocalidad() const {
    return obs->CodigoLocalidad();
}

void newobs::Form_Load() {
    Screen::RelojArena reloj;
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->CdVolver);
    obs->ProponerFecha(QDate(Clock::Hoy().year(), 1, 1));
    ui->Txhini->setTime(QTime(0, 0));
    ui->Txhfi->setTime(QTime(0, 0));
    obs->Cargar();
}

void newobs::Cbnueva_Click() {
    const MessageService::UserAction accion;
    ui->lugar->Guardando();
    GuardarObservacion(ui->Cbnueva);
}

void newobs::Cbguardar_Click() {
    const MessageService::UserAction accion;
    ui->lugar->Guardando();
    GuardarObservacion(ui->Cbguardar);
}

void newobs::CdVolver_Click() {
    Screen::CerrarHijo(this);
}

void newobs::GuardarObservacion(QWidget *boton) {
    // The user reads a refusal and the form as it is, and saves again when ready.
    if (!obs->ObservadoresComprobados()) return;
    if (const QString falta = obs->CampoQueFalta(); !falta.isEmpty()) {
        MessageService::Mostrar(this, QStringLiteral("El campo %1 es obligatorio.").arg(falta),
                                QStringLiteral("Datos incompletos"), QMessageBox::Warning);
        return;
    }
    std::optional<Observacion> o = obs->Leer();
    if (!o || !obs->FechaConfirmada()) return;
    if (!obs->MunicipioConfirmado()) return;

    ObservationStore observaciones;
    const int numero = observaciones.SiguienteNumero();
    if (ModBaseDatos::InformarError(this, observaciones)) return;
    std::optional<Localidad> localidad;
    const ObservationStore::CodigoPropuesto propuesto{o->observador[0], numero};
    if (obs->EsLocalidadNueva()) {
        const auto aceptado = frcodloc::Preguntar(this, o->observador[0] + QString::number(numero));
        if (!aceptado) return; // the prompt was closed: nothing is stored
        localidad = obs->LocalidadNueva();
        localidad->codigo = *aceptado;
        o->localidad = *aceptado;
    }
    // A new locality holds no observation yet; otherwise the same record typed twice is
    // asked about.
    if (!localidad && !ObservationForm::RegistrarAunqueIgual(this, observaciones, *o)) return;
    {
        Screen::RelojArena reloj;
        const QList<Foto> fotos = ui->fotos->Fotos();
        if (!observaciones.Guardar(*o, localidad, propuesto, &fotos)) {
            MessageService::MostrarFallo(
                this, QStringLiteral("No se ha podido registrar la observación: %1")
                          .arg(observaciones.error()));
            return;
        }
    }
    if (localidad) {
        ObservationForm::CodigoGuardado(this, observaciones, *localidad);
        o->localidad = localidad->codigo;
    }
    obs->setCodigoLocalidad(o->localidad);
    MessageService::Mostrar(this,
                            QStringLiteral("Se ha registrado la observación en la base de datos"));
    if (boton == ui->Cbnueva) obs->Limpiar();
    ui->fotos->Vaciar(); // the photos were of this observation only
    const QString nombre = localidad ? localidad->nombre : ui->Cbloc->currentText();
    obs->CargarLocalidades();
    // The name as stored, so that the next save finds the locality instead of a new one.
    if (boton == ui->Cbguardar) obs->ElegirLocalidad(nombre);
    cambios_->Guardado();
}

void newobs::OfrecerRelleno(const Foto &foto) {
    // Only a new record whose place is still to be given takes the photo's.
    const QDateTime t = foto.Tomada();
    if (!t.isValid() || !foto.TienePosicion() || !obs->SinLugar()) return;
    if (MessageService::Mostrar(
            this,
            QStringLiteral("La foto %1 se tomó el %2 a las %3 en %4, %5. ¿Rellenar con ellas la "
                           "fecha, la hora inicial y las coordenadas de la observación?")
                .arg(foto.nombre, t.toString(QStringLiteral("dd/MM/yyyy")),
                     t.toString(QStringLiteral("HH:mm")), QString::number(*foto.latitud, 'f', 6),
                     QString::number(*foto.longitud, 'f', 6)),
            QStringLiteral("Fotos"), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
            QMessageBox::No) != QMessageBox::Yes)
        return;
    ui->Txdata->setDate(t.date());
    ui->Txhini->setTime(QTime(t.time().hour(), t.time().minute()));
    obs->PonerPosicion(*foto.latitud, *foto.longitud);
}
