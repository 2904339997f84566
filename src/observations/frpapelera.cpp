#include "frpapelera.h"

#include "data/ModConex.h"
#include "gui/DateDelegate.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "observations/BinStore.h"
#include "ui_frpapelera.h"

#include <QHeaderView>
#include <QSqlQueryModel>

namespace {
const QString kTitulo = QStringLiteral("Papelera");
} // namespace

frpapelera::frpapelera(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::frpapelera>()) {
    ui->setupUi(this);
    Dtpapelera = new QSqlQueryModel(this);
    Dtpapelera->setObjectName(QStringLiteral("Dtpapelera"));
    ui->DBpapelera->setModel(Dtpapelera);
    Screen::RepartirColumnas(ui->DBpapelera);
    // The observation's date as typed (dd/mm/yyyy); the deletion's with its time.
    auto *fechas = new DateDelegate(ui->DBpapelera, true);
    ui->DBpapelera->setItemDelegateForColumn(0, fechas);
    ui->DBpapelera->setItemDelegateForColumn(3, fechas);
    connect(ui->DBpapelera->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frpapelera::DBpapelera_RowColChange);
    connect(ui->CdRestaurar, &QPushButton::clicked, this, &frpapelera::CdRestaurar_Click);
    connect(ui->CdVaciar, &QPushButton::clicked, this, &frpapelera::CdVaciar_Click);
    connect(ui->CdVolver, &QPushButton::clicked, this, &frpapelera::CdVolver_Click);
    Form_Load();
}

frpapelera::~frpapelera() = default;

void frpapelera::Form_Load() {
    const MessageService::UserAction accion;
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->CdVolver);
    ui->Lbaviso->setText(QStringLiteral("Las observaciones borradas esperan aquí %1 días; después "
                                        "se vacían al arrancar el programa.")
                             .arg(BinStore::kDiasGuardada));
    CargarGrid();
}

void frpapelera::CargarGrid() {
    Screen::RelojArena reloj;
    // The rows chosen stay chosen while listed, so that a failed action can be tried again.
    const QList<int> elegidas = Elegidas();
    BinStore papelera;
    ModBaseDatos::CargarRejilla(ui->DBpapelera, Dtpapelera, papelera.Listar(), BinStore::Columnas(),
                                QString());
    ModBaseDatos::InformarError(this, papelera);
    QItemSelection seleccion;
    for (int fila = 0; fila < Dtpapelera->rowCount(); ++fila)
        if (elegidas.contains(Dtpapelera->index(fila, BinStore::ColumnaId()).data().toInt()))
            seleccion.select(Dtpapelera->index(fila, 0),
                             Dtpapelera->index(fila, Dtpapelera->columnCount() - 1));
    ui->DBpapelera->selectionModel()->select(seleccion, QItemSelectionModel::ClearAndSelect);
    // Who deleted is known on a server only.
    ui->DBpapelera->setColumnHidden(BinStore::ColumnaQuien(), !ModConex::EsServidor());
    ui->Lbcount->setText(QStringLiteral("Número de Registros : %1").arg(Dtpapelera->rowCount()));
    DBpapelera_RowColChange();
}

QList<int> frpapelera::Elegidas() const {
    QList<int> ids;
    for (const QModelIndex &i :
         ui->DBpapelera->selectionModel()->selectedRows(BinStore::ColumnaId()))
        ids << i.data().toInt();
    std::sort(ids.begin(), ids.end());
    return ids;
}

void frpapelera::DBpapelera_RowColChange() {
    const bool hay = !Elegidas().isEmpty();
    ui->CdRestaurar->setEnabled(hay);
    ui->CdVaciar->setEnabled(hay);
}

void frpapelera::CdRestaurar_Click() {
    const QList<int> ids = Elegidas();
    if (ids.isEmpty()) return;
    const MessageService::UserAction accion;
    BinStore papelera;
    bool ok = false;
    {
        Screen::RelojArena reloj;
        ok = papelera.Restaurar(ids);
    }
    CargarGrid();
    if (!ok) {
        MessageService::MostrarFallo(this, papelera.error(),
                                     QStringLiteral("Observación no restaurada"));
        return;
    }
    MessageService::Mostrar(
        this,
        ids.size() == 1
            ? QStringLiteral("Se ha restaurado la observación con id: %1.").arg(ids.first())
            : QStringLiteral("Se han restaurado %1 observaciones.").arg(ids.size()),
        kTitulo, QMessageBox::Information);
}

void frpapelera::CdVaciar_Click() {
    const QList<int> ids = Elegidas();
    if (ids.isEmpty()) return;
    const MessageService::UserAction accion;
    const QString pregunta =
        ids.size() == 1
            ? QStringLiteral("La observación con id: %1 se borrará para siempre, con sus fotos. "
                             "¿Vaciarla de la papelera?")
                  .arg(ids.first())
            : QStringLiteral("Las %1 observaciones elegidas se borrarán para siempre, con sus "
                             "fotos. ¿Vaciarlas de la papelera?")
                  .arg(ids.size());
    if (MessageService::Mostrar(this, pregunta, QStringLiteral("Vaciar la papelera"),
                                QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) != QMessageBox::Yes)
        return;
    BinStore papelera;
    bool ok = false;
    {
        Screen::RelojArena reloj;
        ok = papelera.Vaciar(ids);
    }
    CargarGrid();
    if (!ok)
        MessageService::MostrarFallo(this, papelera.error(), QStringLiteral("Papelera no vaciada"));
}

void frpapelera::CdVolver_Click() {
    Screen::CerrarHijo(this);
}
