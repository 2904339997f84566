#include "frmodif.h"

#include "data/ModBaseDatos.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "gui/TitleImage.h"
#include "gui/UnsavedChanges.h"
#include "observations/ObservationForm.h"
#include "observations/ObservationStore.h"
#include "observations/VerificationStore.h"
#include "photos/PhotoStrip.h"
#include "ui_frmodif.h"

#include <QPointer>

frmodif::frmodif(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::frmodif>()) {
    ui->setupUi(this);
    ObservationForm::Opciones opciones;
    opciones.localidadNueva = false;
    opciones.motivoEnBlanco = QStringLiteral(" ");
    opciones.codigosLocalidad = true;
    obs = new ObservationForm(ObservationForm::ControlesDe(this, ui.get()), opciones);
    ui->Image1->setPixmap(TitleImage().scaledToHeight(48, Qt::SmoothTransformation));
    connect(ui->Cbguardar, &QPushButton::clicked, this, &frmodif::Cbguardar_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &frmodif::Command2_Click);
    Form_Load();
    cambios_ = new UnsavedChanges(this);
}

frmodif::~frmodif() = default;

void frmodif::Form_Load() {
    Screen::RelojArena reloj;
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->Command2);
    obs->Cargar();
}

frmodif *frmodif::Abrir(frmodif *abierto, int id, AlGuardar alGuardar) {
    const MessageService::UserAction accion;
    QPointer<frmodif> f = abierto;
    const bool nuevo = !f;
    if (nuevo) f = new frmodif;
    // The form now shows this observation, and saves under its number only.
    if (!f->Cargar(id)) {
        if (nuevo)
            delete f;
        else
            f->Cerrar();
        return nullptr;
    }
    f->alGuardar_ = std::move(alGuardar);
    if (nuevo)
        Screen::MostrarHijo(f);
    else
        Screen::TraerAlFrente(f);
    f->ui->Txobs1->setFocus(Qt::OtherFocusReason);
    return f;
}

bool frmodif::Cargar(int id) {
    Screen::RelojArena reloj;
    ObservationStore observaciones;
    QString huella;
    const auto o = observaciones.Cargar(id, &huella);
    if (!o) {
        if (!ModBaseDatos::InformarError(this, observaciones))
            MessageService::Mostrar(this, QStringLiteral("Error al intentar encontrar esta "
                                                         "observación en la base de datos"));
        return false;
    }
    PhotoStore fotos;
    const QList<Foto> lista = fotos.DeObservacion(id);
    if (ModBaseDatos::InformarError(this, fotos)) return false;
    VerificationStore verificaciones;
    const auto v = verificaciones.De(id);
    if (ModBaseDatos::InformarError(this, verificaciones)) return false;
    aceptada_ = v && v->estado == VerificationStore::Estado::Aceptada;
    ui->Lbverificacion->setText(
        aceptada_ ? QStringLiteral("Aceptada por %1 el %2: si cambia algún dato volverá a quedar "
                                   "sin verificar.")
                        .arg(v->verificador, v->cuando)
        : v && v->estado != VerificationStore::Estado::Ninguno
            ? QStringLiteral("Marcada como %1 por %2 el %3.")
                  .arg(VerificationStore::Texto(v->estado), v->verificador, v->cuando)
            : QString());
    idObservacion_ = id;
    huella_ = huella;
    obs->Mostrar(*o);
    ui->fotos->Mostrar(lista);
    ui->Lbnumobs->setText(QString::number(id));
    cambios_->Guardado();
    return true;
}

void frmodif::Cbguardar_Click() {
    // A second click during the pause of a save starts nothing.
    if (guardando_) return;
    const MessageService::UserAction accion;
    if (!obs->ObservadoresComprobados()) return;
    if (const QString falta = obs->CampoQueFalta(); !falta.isEmpty()) {
        MessageService::Mostrar(this, QStringLiteral("El campo %1 es obligatorio.").arg(falta),
                                QStringLiteral("Datos incompletos"), QMessageBox::Warning);
        return;
    }
    const std::optional<Observacion> o = obs->Leer();
    if (!o) return;
    {
        ObservationStore observaciones;
        if (!ObservationForm::RegistrarAunqueIgual(this, observaciones, *o, idObservacion_)) return;
    }
    QPointer<frmodif> vivo(this);
    guardando_ = true;
    ObservationStore observaciones;
    bool ok = false;
    {
        Screen::RelojArena reloj;
        const QList<Foto> fotos = ui->fotos->Fotos();
        ok = observaciones.Actualizar(idObservacion_, *o, huella_, &fotos);
        if (ok) ModBaseDatos::Esperar(1);
    }
    // The pause lets events run; the form may have been closed meanwhile.
    if (!vivo) return;
    guardando_ = false;
    if (!ok && observaciones.modificadaPorOtro()) {
        // Never overwritten unseen: the user sees the other user's values and decides again.
        MessageService::Mostrar(this, observaciones.error(), QStringLiteral("Tritodex"),
                                QMessageBox::Warning);
        Cargar(idObservacion_);
        return;
    }
    if (!ok) {
        MessageService::MostrarFallo(this,
                                     QStringLiteral("No se ha podido modificar la observación: %1")
                                         .arg(observaciones.error()));
        return;
    }
    QString texto = QStringLiteral("Se ha modificado la observación en la base de datos");
    if (aceptada_) {
        const auto v = VerificationStore().De(idObservacion_);
        if (v && v->estado == VerificationStore::Estado::Ninguno)
            texto += QStringLiteral(".\n\nHa dejado de estar aceptada: vuelve a quedar sin "
                                    "verificar.");
    }
    MessageService::Mostrar(this, texto);
    const AlGuardar alGuardar = alGuardar_;
    Cerrar();
    if (alGuardar) alGuardar();
}

void frmodif::Command2_Click() {
    Cerrar();
}

void frmodif::Cerrar() {
    Screen::CerrarHijo(this);
}
