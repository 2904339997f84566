#include "frobs.h"

#include "ObserverStore.h"
#include "data/ModBaseDatos.h"
#include "frinsObs.h"
#include "frmodifobs.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "gui/TitleImage.h"
#include "ui_frobs.h"

#include <QHeaderView>
#include <QMdiSubWindow>
#include <QPointer>
#include <QSqlQueryModel>

namespace {
// The list last opened, which an observation form's slot button reuses.
QPointer<frobs> &Abierta() {
    static QPointer<frobs> abierta;
    return abierta;
}
} // namespace

frobs::frobs(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::frobs>()) {
    ui->setupUi(this);
    Abierta() = this;
    DtObs = new QSqlQueryModel(this);
    DtObs->setObjectName(QStringLiteral("DtObs"));
    ui->DBObs->setModel(DtObs);
    Screen::RepartirColumnas(ui->DBObs);
    ui->Image1->setPixmap(TitleImage().scaledToWidth(180, Qt::SmoothTransformation));
    for (QWidget *w : {static_cast<QWidget *>(ui->Txnomobs), static_cast<QWidget *>(ui->Txcognom),
                       static_cast<QWidget *>(ui->CdSel)})
        w->setVisible(false);

    ModBaseDatos::LimitarLongitud(ui->Txcod, 7);
    ModBaseDatos::LimitarLongitud(ui->Txnom, 50);
    connect(ui->CdBuscar, &QPushButton::clicked, this, &frobs::CdBuscar_Click);
    connect(ui->Txcod, &QLineEdit::returnPressed, this, &frobs::CdBuscar_Click);
    connect(ui->Txnom, &QLineEdit::returnPressed, this, &frobs::CdBuscar_Click);
    connect(ui->DBObs->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frobs::DBObs_RowColChange);
    connect(ui->DBObs, &QAbstractItemView::doubleClicked, this, &frobs::DBObs_DblClick);
    connect(ui->CdSel, &QPushButton::clicked, this, &frobs::CdSel_Click);
    connect(ui->cdAct, &QPushButton::clicked, this, &frobs::cdAct_Click);
    connect(ui->CdNou, &QPushButton::clicked, this, &frobs::CdNou_Click);
    connect(ui->CdSup, &QPushButton::clicked, this, &frobs::CdSup_Click);
    connect(ui->Tornar, &QPushButton::clicked, this, &frobs::Tornar_Click);
    Form_Load();
}

frobs::~frobs() = default;

void frobs::Form_Load() {
    const MessageService::UserAction accion;
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->Tornar);
    QFont negrita = ui->DBObs->horizontalHeader()->font();
    negrita.setBold(true);
    ui->DBObs->horizontalHeader()->setFont(negrita);
    CargarObservadores(QString(), QString());
}

void frobs::ModoSeleccion(QWidget *solicitante, AlElegir alElegir) {
    solicitante_ = solicitante;
    alElegir_ = std::move(alElegir);
    ui->CdSel->setVisible(true);
}

frobs *frobs::AbrirSeleccion(QWidget *solicitante, AlElegir alElegir) {
    if (const auto &prueba = ChoiceService::Prueba().observador) {
        prueba(solicitante, std::move(alElegir));
        return nullptr;
    }
    // The list open from the menu serves, unless it was closed or put away.
    frobs *lista = Abierta();
    const auto *sub = lista ? qobject_cast<QMdiSubWindow *>(lista->parentWidget()) : nullptr;
    if (lista && (Screen::Cerrandose(lista) || !(lista->isVisible() || (sub && sub->isVisible()))))
        lista = nullptr;
    if (!lista) {
        lista = new frobs;
        Screen::MostrarHijo(lista);
    } else {
        Screen::TraerAlFrente(lista);
    }
    lista->ModoSeleccion(solicitante, std::move(alElegir));
    return lista;
}

void frobs::CargarObservadores(const QString &codigo, const QString &nombre) {
    ObserverStore observadores;
    ModBaseDatos::CargarRejilla(ui->DBObs, DtObs, observadores.Buscar(codigo, nombre),
                                ObserverStore::ColumnasLista(), codObservador_);
    DBObs_RowColChange();
    if (observadores.fallo())
        MessageService::MostrarFallo(this, observadores.error(), QStringLiteral("Observadores"));
}

void frobs::CdBuscar_Click() {
    const MessageService::UserAction accion;
    CargarObservadores(ui->Txcod->text(), ui->Txnom->text());
}

void frobs::MostrarBotones(bool mostrar) {
    ui->Txnomobs->clear();
    ui->Txcognom->clear();
    ui->cdAct->setEnabled(mostrar);
    ui->CdSup->setEnabled(mostrar);
    ui->CdSel->setEnabled(mostrar);
}

void frobs::DBObs_RowColChange() {
    const QModelIndex actual = ui->DBObs->currentIndex();
    codObservador_ = actual.isValid() ? DtObs->index(actual.row(), 0).data().toString() : QString();
    if (codObservador_.isEmpty()) {
        MostrarBotones(false);
        ui->Lbcode->clear();
        return;
    }
    MostrarBotones(true);
    ui->Txnomobs->setText(DtObs->index(actual.row(), 2).data().toString());
    ui->Txcognom->setText(DtObs->index(actual.row(), 3).data().toString());
    ui->Lbcode->setText(codObservador_);
}

void frobs::DBObs_DblClick() {
    if (ui->cdAct->isEnabled()) cdAct_Click();
}

void frobs::CdSel_Click() {
    if (codObservador_.isEmpty()) return;
    if (!solicitante_ || !alElegir_) {
        MessageService::Mostrar(this,
                                QStringLiteral("La ventana que pidió el observador ya no está "
                                               "abierta: no se puede enviar el observador %1.")
                                    .arg(codObservador_),
                                QStringLiteral("Seleccionar"), QMessageBox::Warning);
        Descargar();
        return;
    }
    const AlElegir alElegir = alElegir_;
    const QString codigo = codObservador_;
    const QString nombre = ui->Txnomobs->text() + u' ' + ui->Txcognom->text();
    // The list closes first, so that the requester takes the focus back.
    Descargar();
    alElegir(codigo, nombre);
}

void frobs::cdAct_Click() {
    if (codObservador_.isEmpty() || ocupado_) return;
    const MessageService::UserAction accion;
    if (ChoiceService::DialogoAceptado<frmodifobs>(this, codObservador_)) CdBuscar_Click();
}

void frobs::CdNou_Click() {
    if (ocupado_) return;
    const MessageService::UserAction accion;
    if (ChoiceService::DialogoAceptado<frinsObs>(this)) CdBuscar_Click();
}

void frobs::CdSup_Click() {
    if (codObservador_.isEmpty() || ocupado_) return;
    const MessageService::UserAction accion;
    const QString codigo = codObservador_;
    const auto respuesta =
        MessageService::Mostrar(this,
                                QStringLiteral("El Observador ") + codigo +
                                    QStringLiteral(" se borrará de la Base de Datos. Continuar ? "),
                                QStringLiteral("Suprimir Factura"), QMessageBox::NoIcon,
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (respuesta == QMessageBox::Yes) {
        ocupado_ = true;
        QPointer<frobs> vivo(this);
        ObserverStore observadores;
        bool ok = false;
        {
            Screen::RelojArena reloj;
            ok = observadores.Suprimir(codigo);
            if (ok) ModBaseDatos::Esperar(2);
        }
        // The pause lets events run; the user may have closed the list meanwhile.
        if (!vivo) return;
        ocupado_ = false;
        if (!ok)
            MessageService::MostrarFallo(this, observadores.error(),
                                         QStringLiteral("Observador no suprimido"));
    }
    CdBuscar_Click();
}

void frobs::Tornar_Click() {
    Descargar();
}

void frobs::Descargar() {
    Screen::CerrarHijo(this);
}
