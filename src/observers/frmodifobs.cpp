#include "frmodifobs.h"

#include "ObserverStore.h"
#include "data/ModBaseDatos.h"
#include "data/ReferenceData.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "gui/UnsavedChanges.h"
#include "ui_frmodifobs.h"

#include <QPointer>

frmodifobs::frmodifobs(const QString &codObservador, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmodifobs>()), codObservador_(codObservador) {
    ui->setupUi(this);
    connect(ui->cdAct, &QPushButton::clicked, this, &frmodifobs::cdAct_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &frmodifobs::Command2_Click);
    for (QLineEdit *campo : {ui->Txnomobs, ui->Txcognom, ui->Txentidad})
        ModBaseDatos::LimitarLongitud(campo, 50);
    ModBaseDatos::LimitarLongitud(ui->Txmail, 70);
    cargado_ = Form_Load();
    new UnsavedChanges(this);
}

frmodifobs::~frmodifobs() = default;

bool frmodifobs::Form_Load() {
    const MessageService::UserAction accion;
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->Command2);
    Screen::Centrar(this);
    ui->Cbprov->addItem(QString());
    ReferenceData referencias;
    ui->Cbprov->addItems(referencias.Provincias());
    ModBaseDatos::InformarError(this, referencias);

    ObserverStore observadores;
    const std::optional<Observador> o = observadores.Cargar(codObservador_);
    if (!o) {
        if (!observadores.fallo())
            MessageService::Mostrar(this,
                                    QStringLiteral("Error al intentar encontrar este observador "
                                                   "en la base de datos"));
        else
            MessageService::MostrarFallo(this, observadores.error(), windowTitle());
        return false;
    }
    ui->Lbcode->setText(codObservador_);
    ui->Txnomobs->setText(o->nombre);
    ui->Txcognom->setText(o->apellido);
    ui->Txentidad->setText(o->entidad);
    ui->Txmail->setText(o->email);
    const QString provincia = o->provincia.trimmed();
    if (provincia.isEmpty()) {
        ui->Cbprov->setCurrentIndex(-1);
    } else {
        int i = ui->Cbprov->findText(provincia, Qt::MatchFixedString);
        // A province the list lacks is kept, so that saving does not wipe it.
        if (i < 0) {
            ui->Cbprov->addItem(o->provincia);
            i = ui->Cbprov->count() - 1;
        }
        ui->Cbprov->setCurrentIndex(i);
    }
    eraPredeterminado = observadores.EsPredeterminado(codObservador_);
    ui->Ckdef->setChecked(eraPredeterminado);
    return true;
}

void frmodifobs::reject() {
    if (!ocupado_) QDialog::reject();
}

void frmodifobs::Command2_Click() {
    reject();
}

void frmodifobs::cdAct_Click() {
    if (ocupado_) return;
    const MessageService::UserAction accion;
    if (codObservador_.isEmpty()) {
        MessageService::Mostrar(this, QStringLiteral("Debes seleccionar algun registro"),
                                QStringLiteral("Tritodex"), QMessageBox::Information);
        return;
    }
    if (ui->Txnomobs->text().trimmed().isEmpty()) {
        MessageService::Mostrar(this, QStringLiteral("El nommbre del observador es obligatorio."),
                                QStringLiteral("Nom obligatori"), QMessageBox::Warning);
        return;
    }
    if (ui->Txmail->text().trimmed().isEmpty()) {
        MessageService::Mostrar(this, QStringLiteral("El mail del observador es obligatorio"),
                                QStringLiteral("MAIL obligatorio"), QMessageBox::Warning);
        return;
    }
    const Observador o{codObservador_,        ui->Txnomobs->text(), ui->Txcognom->text(),
                       ui->Txentidad->text(), ui->Txmail->text(),   ui->Cbprov->currentText()};
    const bool marcado = ui->Ckdef->isChecked();
    const auto cambio = !eraPredeterminado && marcado   ? ObserverStore::Predeterminado::Poner
                        : eraPredeterminado && !marcado ? ObserverStore::Predeterminado::Quitar
                                                        : ObserverStore::Predeterminado::SinCambio;
    ocupado_ = true;
    QPointer<frmodifobs> vivo(this);
    ObserverStore observadores;
    bool ok = false;
    {
        Screen::RelojArena reloj;
        ok = observadores.Actualizar(o, cambio);
        if (ok) ModBaseDatos::Esperar(2);
    }
    if (!vivo) return;
    ocupado_ = false;
    if (!ok) {
        MessageService::MostrarFallo(this, observadores.error(),
                                     QStringLiteral("Observador no modificado"));
        return;
    }
    eraPredeterminado = marcado;
    MessageService::Mostrar(this, QStringLiteral("Actualización realizada"),
                            QStringLiteral("Tritodex"), QMessageBox::Information);
    accept();
}
