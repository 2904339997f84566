#include "frinsLoc.h"

#include "LocalityStore.h"
#include "PlacePanel.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"
#include "gui/UnsavedChanges.h"
#include "ui_frinsLoc.h"

#include <QPointer>

frinsLoc::frinsLoc(QWidget *parent) : QDialog(parent), ui(std::make_unique<Ui::frinsLoc>()) {
    ui->setupUi(this);
    ui->lugar->Iniciar({true});
    connect(ui->CdIns, &QPushButton::clicked, this, &frinsLoc::CdIns_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &frinsLoc::Command2_Click);
    Form_Load();
    new UnsavedChanges(this);
}

frinsLoc::~frinsLoc() = default;

void frinsLoc::Form_Load() {
    const MessageService::UserAction accion;
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->Command2);
    Screen::Centrar(this);
    ui->lugar->Cargar();
}

void frinsLoc::reject() {
    if (!ocupado_) QDialog::reject();
}

void frinsLoc::Command2_Click() {
    reject();
}

void frinsLoc::CdIns_Click() {
    if (ocupado_) return;
    const MessageService::UserAction accion;
    // The code is a key typed again to find the locality: blanks around it would make it
    // unfindable, so they go, and the field shows the code as it is stored.
    ui->Txcod->setText(ui->Txcod->text().trimmed());
    // Every missing field replaces the one before: the message names the last one.
    QString falta;
    if (ui->lugar->Cuadrado10k().isEmpty()) falta = QStringLiteral("UTM 10k");
    if (ui->lugar->idProv() == 0) falta = QStringLiteral("Provincia");
    if (ui->lugar->idMuni() == 0) falta = QStringLiteral("Municipio");
    if (ui->Txcod->text().isEmpty()) falta = QStringLiteral("Código Localidad");
    if (ui->Txloc->text().isEmpty()) falta = QStringLiteral("Nombre Localidad");
    if (!falta.isEmpty()) {
        MessageService::Mostrar(
            this, QStringLiteral("El campo ") + falta + QStringLiteral(" es obligatorio."),
            QStringLiteral("Datos incompletos"), QMessageBox::Warning);
        return;
    }
    const QString titulo = QStringLiteral("Localidad no registrada");
    std::optional<Localidad> l = ui->lugar->Leer(titulo);
    if (!l || !ui->lugar->MunicipioConfirmado()) return;
    l->codigo = ui->Txcod->text();
    l->nombre = ui->Txloc->text();
    ocupado_ = true;
    LocalityStore localidades;
    bool ok = false;
    {
        Screen::RelojArena reloj;
        ok = localidades.Insertar(*l);
    }
    ocupado_ = false;
    if (!ok) {
        if (localidades.claveDuplicada())
            MessageService::Mostrar(
                this, QStringLiteral("Ya existe una localidad con este código en la BBDD."), titulo,
                QMessageBox::Warning);
        else
            MessageService::MostrarFallo(this, localidades.error(), titulo);
        return;
    }
    MessageService::Mostrar(this, QStringLiteral("Se ha registrado la Localidad ") + l->codigo +
                                      QStringLiteral(" en la base de datos"));
    accept();
}
