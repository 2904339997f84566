#include "frinsObs.h"

#include "ObserverStore.h"
#include "data/ModBaseDatos.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"
#include "ui_frinsObs.h"

#include <QPointer>

frinsObs::frinsObs(QWidget *parent) : QDialog(parent), ui(std::make_unique<Ui::frinsObs>()) {
    ui->setupUi(this);
    connect(ui->CdIns, &QPushButton::clicked, this, &frinsObs::CdIns_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &frinsObs::Command2_Click);
    Form_Load();
}

frinsObs::~frinsObs() = default;

void frinsObs::Form_Load() {
    Screen::AplicarColores(this);
    Screen::Centrar(this);
    QString error;
    ui->Cbprov->addItem(QString());
    ui->Cbprov->addItems(ObserverStore::Provincias(&error));
    if (!error.isEmpty()) MessageService::MostrarFallo(this, error);
    ui->Cbprov->setCurrentIndex(0);
}

void frinsObs::reject() {
    // Not while a save is under way: its pauses let the Escape key through.
    if (!ocupado_) QDialog::reject();
}

void frinsObs::Command2_Click() {
    reject();
}

void frinsObs::CdIns_Click() {
    if (ocupado_) return;
    const MessageService::UserAction accion;
    // Every empty field replaces the one before: the message names the last one missing.
    QString falta;
    if (ui->Txcod->text().isEmpty()) falta = QStringLiteral("Código Observador");
    if (ui->Txnomobs->text().isEmpty()) falta = QStringLiteral("Nombre observador");
    if (ui->Txentidad->text().isEmpty()) falta = QStringLiteral("Entidad");
    if (ui->Txmail->text().isEmpty()) falta = QStringLiteral("Mail");
    if (!falta.isEmpty()) {
        MessageService::Mostrar(
            this, QStringLiteral("El campo ") + falta + QStringLiteral(" es obligatorio."),
            QStringLiteral("Datos incompletos"), QMessageBox::Warning);
        return;
    }
    const Observador o{ui->Txcod->text(),     ui->Txnomobs->text(), ui->Txcognom->text(),
                       ui->Txentidad->text(), ui->Txmail->text(),   ui->Cbprov->currentText()};
    ocupado_ = true;
    QPointer<frinsObs> vivo(this);
    ResultadoObservador r;
    {
        Screen::RelojArena reloj;
        r = ObserverStore::Insertar(o, ui->Ckdef->isChecked());
        if (r) ModBaseDatos::Esperar(1);
    }
    if (!vivo) return;
    if (!r) {
        ocupado_ = false;
        if (r.claveDuplicada)
            MessageService::Mostrar(
                this, QStringLiteral("Ya existe un observador con este código en la BBDD."),
                QStringLiteral("Observador no registrado"), QMessageBox::Warning);
        else
            MessageService::MostrarFallo(this, r.error, QStringLiteral("Observador no registrado"));
        return;
    }
    MessageService::Mostrar(this, QStringLiteral("Se ha registrado el Observador ") + o.codigo +
                                      QStringLiteral(" en la base de datos"));
    ModBaseDatos::Esperar(2);
    if (!vivo) return;
    ocupado_ = false;
    accept();
}
