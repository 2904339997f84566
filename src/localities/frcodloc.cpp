#include "frcodloc.h"

#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "localities/LocalityStore.h"
#include "ui_frcodloc.h"

frcodloc::frcodloc(QWidget *parent) : QDialog(parent), ui(std::make_unique<Ui::frcodloc>()) {
    ui->setupUi(this);
    connect(ui->Command1, &QPushButton::clicked, this, &frcodloc::Command1_Click);
}

frcodloc::~frcodloc() = default;

std::optional<QString> frcodloc::Preguntar(QWidget *padre, const QString &propuesto) {
    if (const auto &prueba = ChoiceService::Prueba().codigoLocalidad)
        return prueba(padre, propuesto);
    const ChoiceService::EnMonton<frcodloc> prompt(padre);
    prompt->CodigoPropuesto = propuesto;
    if (ChoiceService::MostrarDialogo(prompt.get()) != QDialog::Accepted || !prompt)
        return std::nullopt;
    return prompt->CodigoAceptado();
}

// The proposed code is set after construction, so the load runs when the prompt shows.
void frcodloc::showEvent(QShowEvent *evento) {
    if (!cargado_) Form_Load();
    QDialog::showEvent(evento);
}

void frcodloc::Form_Load() {
    cargado_ = true;
    Screen::AplicarColores(this);
    Screen::Teclado(this);
    Screen::Centrar(this);
    ui->Txloc->setText(CodigoPropuesto);
    ui->Txloc->selectAll();
}

void frcodloc::Command1_Click() {
    const MessageService::UserAction accion;
    if (!cargado_) Form_Load();
    const QString codigo = ui->Txloc->text();
    if (codigo.isEmpty()) {
        MessageService::Mostrar(this, QStringLiteral("El campo código no puede quedar vacio"),
                                QStringLiteral("Código obligatorio"), QMessageBox::Warning);
        return;
    }
    LocalityStore localidades;
    // Codes that differ only in letter case are the same code to the database.
    const bool existe = localidades.CodigoExiste(codigo);
    if (ModBaseDatos::InformarError(this, localidades)) return;
    if (existe) {
        MessageService::Mostrar(this, QStringLiteral("Este código ya existe en la Base de Datos"),
                                QStringLiteral("Código Existente"), QMessageBox::Warning);
        ui->Txloc->clear();
        return;
    }
    aceptado_ = codigo;
    accept();
}
