#include "frmodifloc.h"

#include "LocalityStore.h"
#include "PlacePanel.h"
#include "data/ModBaseDatos.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"
#include "gui/UnsavedChanges.h"
#include "ui_frmodifloc.h"

#include <QPointer>

frmodifloc::frmodifloc(const QString &idLocalidad, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmodifloc>()), idLocalidad(idLocalidad) {
    ui->setupUi(this);
    ui->lugar->Iniciar({false, QStringLiteral("frcoord")});
    connect(ui->cdAct, &QPushButton::clicked, this, &frmodifloc::cdAct_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &frmodifloc::Command2_Click);
    cargado_ = Form_Load();
    new UnsavedChanges(this);
}

frmodifloc::~frmodifloc() = default;

bool frmodifloc::Form_Load() {
    const MessageService::UserAction accion;
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->Command2);
    Screen::Centrar(this);
    if (!ui->lugar->Cargar()) return false;
    LocalityStore localidades;
    bool numero = false;
    const int id = idLocalidad.toInt(&numero);
    const std::optional<Localidad> l = numero ? localidades.PorId(id) : std::nullopt;
    if (!l) {
        if (localidades.fallo())
            MessageService::MostrarFallo(this, localidades.error(), windowTitle());
        else
            MessageService::Mostrar(
                this,
                QStringLiteral("Error al intentar encontrar esta localidad en la base de datos"));
        return false;
    }
    ui->Lbcode->setText(l->codigo);
    ui->Txloc->setText(l->nombre);
    ui->lugar->Mostrar(*l);
    return true;
}

void frmodifloc::reject() {
    if (!ocupado_) QDialog::reject();
}

void frmodifloc::Command2_Click() {
    reject();
}

void frmodifloc::cdAct_Click() {
    if (ocupado_) return;
    const MessageService::UserAction accion;
    const auto Falta = [this](const QString &texto, const QString &titulo) {
        MessageService::Mostrar(this, texto, titulo, QMessageBox::Warning);
    };
    if (idLocalidad.isEmpty()) {
        MessageService::Mostrar(this, QStringLiteral("Debes seleccionar algun registro"),
                                QStringLiteral("Tritodex"), QMessageBox::Information);
        return;
    }
    QString nombre = ui->Txloc->text();
    while (nombre.endsWith(u' '))
        nombre.chop(1);
    if (nombre.isEmpty())
        return Falta(QStringLiteral("El nommbre de la localidad es obligatorio."),
                     QStringLiteral("Nombre obligatori"));
    if (ui->lugar->idProv() == 0)
        return Falta(QStringLiteral("La provincia es obligatoria"),
                     QStringLiteral("Provincia obligatoria"));
    if (ui->lugar->idMuni() == 0)
        return Falta(QStringLiteral("El municipio es obligatorio"),
                     QStringLiteral("Municipio obligatorio"));
    if (ui->lugar->Cuadrado10k().trimmed().isEmpty())
        return Falta(QStringLiteral("El quadrante 10k es obligatorio"),
                     QStringLiteral("UTM10K obligatorio"));
    const QString titulo = QStringLiteral("Localidad no modificada");
    std::optional<Localidad> l = ui->lugar->Leer(titulo);
    if (!l || !ui->lugar->MunicipioConfirmado()) return;
    l->idLocalidad = idLocalidad.toInt();
    l->codigo = ui->Lbcode->text();
    l->nombre = ui->Txloc->text();

    ocupado_ = true;
    QPointer<frmodifloc> vivo(this);
    LocalityStore localidades;
    bool ok = false;
    {
        Screen::RelojArena reloj;
        ok = localidades.Actualizar(*l);
        if (ok) ModBaseDatos::Esperar(2);
    }
    // The pause lets events run; the form may be gone.
    if (!vivo) return;
    ocupado_ = false;
    if (!ok) {
        MessageService::MostrarFallo(this, localidades.error(), titulo);
        return;
    }
    MessageService::Mostrar(this, QStringLiteral("Actualización realizada"),
                            QStringLiteral("Tritodex"), QMessageBox::Information);
    accept();
}
