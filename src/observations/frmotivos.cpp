#include "frmotivos.h"

#include "ReasonStore.h"
#include "data/ModBaseDatos.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "gui/TitleImage.h"
#include "ui_frmotivos.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {
// A cell takes what any text field takes: a longer paste is refused and told, never cut.
class EditorLimitado : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *padre, const QStyleOptionViewItem &opcion,
                          const QModelIndex &indice) const override {
        QWidget *editor = QStyledItemDelegate::createEditor(padre, opcion, indice);
        if (auto *campo = qobject_cast<QLineEdit *>(editor))
            ModBaseDatos::LimitarLongitud(campo, ModBaseDatos::kMaximoTexto);
        return editor;
    }
};

// On the first cell of a row: the identifier stored (none for the new row) and whether
// the row holds changes not stored yet.
constexpr int kGuardado = Qt::UserRole;
constexpr int kPendiente = Qt::UserRole + 1;
const QString kTitulo = QStringLiteral("Motivos");
} // namespace

frmotivos::frmotivos(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::frmotivos>()) {
    ui->setupUi(this);
    Dtmot = new QStandardItemModel(0, 3, this);
    Dtmot->setObjectName(QStringLiteral("Dtmot"));
    Dtmot->setHorizontalHeaderLabels(
        {QStringLiteral("id_motivo"), QStringLiteral("Motivo"), QStringLiteral("Descripcion")});
    ui->DBmot->setModel(Dtmot);
    ui->DBmot->setItemDelegate(new EditorLimitado(ui->DBmot));
    ui->DBmot->horizontalHeader()->setStretchLastSection(true);
    ui->DBmot->setColumnWidth(1, 200);
    ui->DBmot->installEventFilter(this);
    ui->Image1->setPixmap(TitleImage().scaledToWidth(180, Qt::SmoothTransformation));
    connect(ui->DBmot->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmotivos::DBmot_RowColChange);
    connect(Dtmot, &QStandardItemModel::itemChanged, this, &frmotivos::Dtmot_Change);
    connect(ui->Tornar, &QPushButton::clicked, this, &frmotivos::Tornar_Click);
    Form_Load();
}

frmotivos::~frmotivos() = default;

void frmotivos::Form_Load() {
    const MessageService::UserAction accion;
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->Tornar);
    CargarGrid();
}

void frmotivos::CargarGrid() {
    ReasonStore motivos;
    const QList<Motivo> lista = motivos.Lista();
    cargando_ = true;
    Dtmot->removeRows(0, Dtmot->rowCount());
    for (const Motivo &m : lista) {
        QList<QStandardItem *> fila{new QStandardItem(m.id), new QStandardItem(m.motivo),
                                    new QStandardItem(m.descripcion)};
        fila[0]->setData(m.id.toLongLong(), kGuardado);
        Dtmot->appendRow(fila);
    }
    cargando_ = false;
    AnadirFilaVacia();
    if (motivos.fallo()) MessageService::MostrarFallo(this, motivos.error(), kTitulo);
}

void frmotivos::AnadirFilaVacia() {
    cargando_ = true;
    Dtmot->appendRow({new QStandardItem, new QStandardItem, new QStandardItem});
    cargando_ = false;
}

void frmotivos::Dtmot_Change(QStandardItem *celda) {
    if (cargando_) return;
    cargando_ = true;
    Dtmot->item(celda->row(), 0)->setData(true, kPendiente);
    cargando_ = false;
}

bool frmotivos::GuardarFila(int fila) {
    if (fila < 0 || fila >= Dtmot->rowCount()) return true;
    QStandardItem *primera = Dtmot->item(fila, 0);
    if (!primera->data(kPendiente).toBool()) return true;
    const Motivo m{primera->text(), Dtmot->item(fila, 1)->text(), Dtmot->item(fila, 2)->text()};
    const QVariant guardado = primera->data(kGuardado);
    const bool nueva = !guardado.isValid();
    // A new row left as it was found is no reason.
    if (nueva && m.id.trimmed().isEmpty() && m.motivo.trimmed().isEmpty() &&
        m.descripcion.trimmed().isEmpty()) {
        primera->setData(false, kPendiente);
        return true;
    }
    ReasonStore motivos;
    std::optional<qint64> id;
    if (nueva)
        id = motivos.Insertar(m);
    else if (motivos.Actualizar(guardado.toLongLong(), m))
        id = m.id.trimmed().toLongLong();
    if (!id) {
        MessageService::MostrarFallo(this, motivos.error(), kTitulo);
        return false;
    }
    cargando_ = true;
    primera->setText(QString::number(*id));
    primera->setData(*id, kGuardado);
    primera->setData(false, kPendiente);
    Dtmot->item(fila, 1)->setText(m.motivo.trimmed());
    Dtmot->item(fila, 2)->setText(m.descripcion.trimmed());
    cargando_ = false;
    if (nueva) AnadirFilaVacia();
    return true;
}

bool frmotivos::GuardarCambios() {
    for (int fila = 0; fila < Dtmot->rowCount(); ++fila)
        if (!GuardarFila(fila)) {
            ui->DBmot->setCurrentIndex(Dtmot->index(fila, 0));
            return false;
        }
    return true;
}

void frmotivos::DBmot_RowColChange(const QModelIndex &, const QModelIndex &anterior) {
    if (guardando_ || !anterior.isValid()) return;
    const MessageService::UserAction accion;
    const int fila = anterior.row();
    guardando_ = true;
    const bool ok = GuardarFila(fila);
    guardando_ = false;
    if (ok) return;
    // Back to the refused row once the move that left it is over, its text kept.
    QPointer<frmotivos> vivo(this);
    const int columna = anterior.column();
    QTimer::singleShot(0, this, [this, vivo, fila, columna] {
        if (!vivo || fila >= Dtmot->rowCount()) return;
        guardando_ = true;
        ui->DBmot->setCurrentIndex(Dtmot->index(fila, columna));
        guardando_ = false;
    });
}

void frmotivos::SuprimirFila(int fila) {
    if (fila < 0 || fila >= Dtmot->rowCount()) return;
    const QVariant guardado = Dtmot->item(fila, 0)->data(kGuardado);
    if (!guardado.isValid()) {
        // The new row: what was typed there is dropped, nothing is stored.
        cargando_ = true;
        for (int c = 0; c < 3; ++c)
            Dtmot->item(fila, c)->setText(QString());
        Dtmot->item(fila, 0)->setData(false, kPendiente);
        cargando_ = false;
        return;
    }
    const MessageService::UserAction accion;
    const QString texto = Dtmot->item(fila, 1)->text();
    const auto respuesta = MessageService::Mostrar(
        this,
        QStringLiteral("El motivo «%1» se borrará de la base de datos. ¿Continuar?").arg(texto),
        kTitulo, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (respuesta != QMessageBox::Yes) return;
    ReasonStore motivos;
    if (!motivos.Suprimir(guardado.toLongLong())) {
        MessageService::MostrarFallo(this, motivos.error(), kTitulo);
        return;
    }
    guardando_ = true;
    Dtmot->removeRow(fila);
    guardando_ = false;
}

bool frmotivos::eventFilter(QObject *objeto, QEvent *evento) {
    // Keys typed into a cell's editor reach the editor, not the grid.
    if (objeto == ui->DBmot && evento->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(evento)->key() == Qt::Key_Delete) {
        SuprimirFila(ui->DBmot->currentIndex().row());
        return true;
    }
    return QWidget::eventFilter(objeto, evento);
}

void frmotivos::closeEvent(QCloseEvent *evento) {
    // A cell still being edited is taken first, as leaving the row would.
    guardando_ = true;
    const QModelIndex actual = ui->DBmot->currentIndex();
    ui->DBmot->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    ui->DBmot->selectionModel()->setCurrentIndex(actual, QItemSelectionModel::NoUpdate);
    guardando_ = false;
    const MessageService::UserAction accion;
    if (GuardarCambios()) {
        evento->accept();
        return;
    }
    const auto respuesta = MessageService::Mostrar(
        this, QStringLiteral("Este cambio no se ha guardado. ¿Cerrar de todos modos y perderlo?"),
        kTitulo, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (respuesta == QMessageBox::Yes)
        evento->accept();
    else
        evento->ignore();
}

void frmotivos::Tornar_Click() {
    Screen::CerrarHijo(this);
}
