#include "frobs.h"

#include "ObserverStore.h"
#include "data/ModBaseDatos.h"
#include "frinsObs.h"
#include "frmodifobs.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"
#include "gui/TitleImage.h"
#include "ui_frobs.h"

#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QRegularExpression>
#include <QSqlQueryModel>

namespace {
std::function<int(QDialog *)> &MostrarDialogo() {
    static std::function<int(QDialog *)> mostrar = Screen::MostrarModal;
    return mostrar;
}
} // namespace

void frobs::setMostrarDialogo(std::function<int(QDialog *)> mostrar) {
    MostrarDialogo() = mostrar ? std::move(mostrar) : Screen::MostrarModal;
}

frobs::frobs(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::frobs>()) {
    ui->setupUi(this);
    DtObs = new QSqlQueryModel(this);
    DtObs->setObjectName(QStringLiteral("DtObs"));
    ui->DBObs->setModel(DtObs);
    ui->Image1->setPixmap(TitleImage().scaledToWidth(180, Qt::SmoothTransformation));
    for (QWidget *w : {static_cast<QWidget *>(ui->Txnomobs), static_cast<QWidget *>(ui->Txcognom),
                       static_cast<QWidget *>(ui->Lbori), static_cast<QWidget *>(ui->CdSel)})
        w->setVisible(false);

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
    QFont negrita = ui->DBObs->horizontalHeader()->font();
    negrita.setBold(true);
    ui->DBObs->horizontalHeader()->setFont(negrita);
    CargarObservadores(QString(), QString());
}

void frobs::ModoSeleccion(const QString &origen) {
    ui->Lbori->setText(origen);
    ui->CdSel->setVisible(true);
}

frobs *frobs::AbrirSeleccion(const QString &origen) {
    auto *lista = qobject_cast<frobs *>(Screen::BuscarFormulario(QStringLiteral("frobs")));
    if (!lista) {
        lista = new frobs;
        Screen::MostrarHijo(lista);
    } else if (auto *sub = qobject_cast<QMdiSubWindow *>(lista->parentWidget())) {
        if (QMdiArea *area = sub->mdiArea()) area->setActiveSubWindow(sub);
    }
    lista->ModoSeleccion(origen);
    lista->activateWindow();
    return lista;
}

void frobs::CargarObservadores(const QString &codigo, const QString &nombre) {
    const QString anterior = codObservador_;
    QString error;
    QSqlQuery consulta = ObserverStore::Buscar(codigo, nombre, &error);
    if (consulta.isActive()) {
        DtObs->setQuery(std::move(consulta));
        // Every row at once: the list is short and no read stays open under later writes.
        while (DtObs->canFetchMore())
            DtObs->fetchMore();
    } else {
        DtObs->clear();
    }
    const QStringList titulos = {QStringLiteral("Código"),     QStringLiteral("Email"),
                                 QStringLiteral("Nombre"),     QStringLiteral("Apellidos"),
                                 QStringLiteral("generacion"), QStringLiteral("Entidad"),
                                 QStringLiteral("provincia")};
    for (int i = 0; i < titulos.size() && i < DtObs->columnCount(); ++i)
        DtObs->setHeaderData(i, Qt::Horizontal, titulos[i]);

    // The observer that was current stays current while it is listed.
    int fila = -1;
    for (int r = 0; !anterior.isEmpty() && r < DtObs->rowCount() && fila < 0; ++r)
        if (DtObs->index(r, 0).data().toString() == anterior) fila = r;
    if (fila >= 0)
        ui->DBObs->setCurrentIndex(DtObs->index(fila, 0));
    else
        ui->DBObs->selectionModel()->clear();
    DBObs_RowColChange();

    if (!error.isEmpty()) MessageService::MostrarFallo(this, error, QStringLiteral("Observadores"));
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
    static const QRegularExpression etiqueta(QStringLiteral("^(alta|modif)([1-4])$"));
    const QRegularExpressionMatch m = etiqueta.match(ui->Lbori->text());
    if (!m.hasMatch()) {
        Descargar();
        return;
    }
    const QString nombreForm = m.captured(1) == QLatin1String("alta") ? QStringLiteral("newobs")
                                                                      : QStringLiteral("frmodif");
    const QString n = m.captured(2);
    QWidget *destino = Screen::BuscarFormulario(nombreForm);
    auto *codigo = destino ? destino->findChild<QLineEdit *>(QStringLiteral("Txobs") + n) : nullptr;
    auto *nombre = destino ? destino->findChild<QLabel *>(QStringLiteral("Lbobs") + n) : nullptr;
    if (!codigo || !nombre) {
        MessageService::Mostrar(
            this,
            QStringLiteral("La ventana que pidió el observador ya no está abierta: "
                           "no se puede enviar el observador %1.")
                .arg(codObservador_),
            QStringLiteral("Seleccionar"), QMessageBox::Warning);
        Descargar();
        return;
    }
    codigo->setText(codObservador_);
    nombre->setText(ui->Txnomobs->text() + u' ' + ui->Txcognom->text());
    // Slots 3 and 4 spell their buttons with a small s.
    const QString boton =
        (n.toInt() <= 2 ? QStringLiteral("CdSelobs") : QStringLiteral("Cdselobs")) + n;
    Descargar();
    if (auto *sub = qobject_cast<QMdiSubWindow *>(destino->parentWidget()))
        if (QMdiArea *area = sub->mdiArea()) area->setActiveSubWindow(sub);
    destino->activateWindow();
    if (auto *b = destino->findChild<QWidget *>(boton)) b->setFocus(Qt::OtherFocusReason);
}

void frobs::cdAct_Click() {
    if (codObservador_.isEmpty() || ocupado_) return;
    const MessageService::UserAction accion;
    QPointer<frobs> vivo(this);
    int resultado = QDialog::Rejected;
    {
        frmodifobs dialogo(codObservador_, this);
        // An observer gone since the list was read is reported by the form; the list is
        // read again then too.
        resultado = dialogo.Cargado() ? MostrarDialogo()(&dialogo) : QDialog::Accepted;
    }
    if (vivo && resultado == QDialog::Accepted) CdBuscar_Click();
}

void frobs::CdNou_Click() {
    if (ocupado_) return;
    const MessageService::UserAction accion;
    QPointer<frobs> vivo(this);
    int resultado = QDialog::Rejected;
    {
        frinsObs dialogo(this);
        resultado = MostrarDialogo()(&dialogo);
    }
    if (vivo && resultado == QDialog::Accepted) CdBuscar_Click();
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
                                QMessageBox::Yes | QMessageBox::No);
    if (respuesta == QMessageBox::Yes) {
        ocupado_ = true;
        QPointer<frobs> vivo(this);
        ResultadoObservador r;
        {
            Screen::RelojArena reloj;
            r = ObserverStore::Suprimir(codigo);
            if (r) ModBaseDatos::Esperar(2);
        }
        // The pause lets events run; the user may have closed the list meanwhile.
        if (!vivo) return;
        ocupado_ = false;
        if (!r)
            MessageService::MostrarFallo(this, r.error, QStringLiteral("Observador no suprimido"));
    }
    CdBuscar_Click();
}

void frobs::Tornar_Click() {
    Descargar();
}

void frobs::Descargar() {
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}
