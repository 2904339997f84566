#include "frloc.h"

#include "LocalityStore.h"
#include "data/SpreadsheetWriter.h"
#include "frinsLoc.h"
#include "frmodifloc.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "gui/TitleImage.h"
#include "ui_frloc.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QPointer>
#include <QSqlQueryModel>
#include <QStandardPaths>
#include <QUrl>

frloc::frloc(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::frloc>()) {
    ui->setupUi(this);
    Dtloc = new QSqlQueryModel(this);
    Dtloc->setObjectName(QStringLiteral("Dtloc"));
    ui->DBloc->setModel(Dtloc);
    Screen::RepartirColumnas(ui->DBloc);
    ui->Image1->setPixmap(TitleImage().scaledToWidth(180, Qt::SmoothTransformation));

    connect(ui->CdBuscar, &QPushButton::clicked, this, &frloc::CdBuscar_Click);
    connect(ui->Txcod, &QLineEdit::returnPressed, this, &frloc::CdBuscar_Click);
    connect(ui->Txnom, &QLineEdit::returnPressed, this, &frloc::CdBuscar_Click);
    connect(ui->DBloc->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frloc::DBloc_RowColChange);
    connect(ui->DBloc, &QAbstractItemView::doubleClicked, this, &frloc::DBloc_DblClick);
    connect(ui->CdNou, &QPushButton::clicked, this, &frloc::CdNou_Click);
    connect(ui->cdAct, &QPushButton::clicked, this, &frloc::cdAct_Click);
    connect(ui->Excel, &QPushButton::clicked, this, &frloc::Excel_Click);
    connect(ui->Tornar, &QPushButton::clicked, this, &frloc::Tornar_Click);
    Form_Load();
}

frloc::~frloc() = default;

void frloc::Form_Load() {
    const MessageService::UserAction accion;
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->Tornar);
    QFont negrita = ui->DBloc->horizontalHeader()->font();
    negrita.setBold(true);
    ui->DBloc->horizontalHeader()->setFont(negrita);
    CargarLocalidades(QString(), QString());
}

void frloc::CargarLocalidades(const QString &codigo, const QString &nombre) {
    ultimoCodigo_ = codigo;
    ultimoNombre_ = nombre;
    LocalityStore localidades;
    ModBaseDatos::CargarRejilla(ui->DBloc, Dtloc, localidades.Buscar(codigo, nombre),
                                LocalityStore::ColumnasLista(), idLocalidad_);
    DBloc_RowColChange();
    if (localidades.fallo())
        MessageService::MostrarFallo(this, localidades.error(), QStringLiteral("Localidades"));
}

void frloc::CdBuscar_Click() {
    const MessageService::UserAction accion;
    CargarLocalidades(ui->Txcod->text(), ui->Txnom->text());
}

void frloc::MostrarModificar(bool mostrar) {
    ui->cdAct->setVisible(mostrar);
    ui->Lbcode->clear();
}

void frloc::DBloc_RowColChange() {
    const QModelIndex actual = ui->DBloc->currentIndex();
    idLocalidad_ = actual.isValid() ? Dtloc->index(actual.row(), 0).data().toString() : QString();
    MostrarModificar(!idLocalidad_.isEmpty());
    if (!idLocalidad_.isEmpty())
        ui->Lbcode->setText(Dtloc->index(actual.row(), 1).data().toString());
}

void frloc::DBloc_DblClick() {
    cdAct_Click();
}

void frloc::cdAct_Click() {
    if (idLocalidad_.isEmpty() || ocupado_) return;
    const MessageService::UserAction accion;
    if (ChoiceService::DialogoAceptado<frmodifloc>(this, idLocalidad_)) CdBuscar_Click();
}

void frloc::CdNou_Click() {
    if (ocupado_) return;
    const MessageService::UserAction accion;
    if (ChoiceService::DialogoAceptado<frinsLoc>(this)) CdBuscar_Click();
}

void frloc::Excel_Click() {
    if (ocupado_) return;
    const MessageService::UserAction accion;
    ocupado_ = true;
    // The rows of the last search, whatever the filter fields hold now.
    ModBaseDatos::CrearHojaCalculo(this, QStringLiteral("Localidades"),
                                   LocalityStore::ColumnasLista(), [this] {
                                       LocalityStore localidades;
                                       return localidades.Buscar(ultimoCodigo_, ultimoNombre_);
                                   });
    ocupado_ = false;
}

void frloc::Tornar_Click() {
    Screen::CerrarHijo(this);
}
