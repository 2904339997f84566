#include "frsensibles.h"

#include "ExportStore.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"
#include "gui/UnsavedChanges.h"
#include "ui_frsensibles.h"

namespace {
const QString kTitulo = QStringLiteral("Especies sensibles");
}

frsensibles::frsensibles(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::frsensibles>()) {
    ui->setupUi(this);
    connect(ui->CdAceptar, &QPushButton::clicked, this, &frsensibles::CdAceptar_Click);
    connect(ui->CdCancelar, &QPushButton::clicked, this, &frsensibles::CdCancelar_Click);
    Form_Load();
    new UnsavedChanges(this);
}

frsensibles::~frsensibles() = default;

void frsensibles::Abrir(QWidget *solicitante) {
    const ChoiceService::EnMonton<frsensibles> formulario(solicitante);
    ChoiceService::MostrarDialogo(formulario.get());
}

void frsensibles::Form_Load() {
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->CdCancelar);
    Screen::Centrar(this);
    ExportStore almacen;
    for (const ExportStore::Especie &e : almacen.Especies()) {
        auto *item = new QListWidgetItem(e.cientifico + QStringLiteral(" (") + e.comun + u')',
                                         ui->Lstespecies);
        item->setData(Qt::UserRole, e.codigo);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(e.sensible ? Qt::Checked : Qt::Unchecked);
    }
    if (almacen.fallo()) {
        ui->CdAceptar->setEnabled(false);
        MessageService::MostrarFallo(this, almacen.error(), kTitulo);
    }
}

void frsensibles::CdAceptar_Click() {
    const MessageService::UserAction accion;
    QHash<QString, bool> sensibles;
    for (int i = 0; i < ui->Lstespecies->count(); ++i) {
        const QListWidgetItem *item = ui->Lstespecies->item(i);
        sensibles.insert(item->data(Qt::UserRole).toString(), item->checkState() == Qt::Checked);
    }
    ExportStore almacen;
    if (!almacen.GuardarSensibles(sensibles)) {
        MessageService::MostrarFallo(this, almacen.error(), kTitulo);
        return;
    }
    accept();
}

void frsensibles::CdCancelar_Click() {
    reject();
}
