#include "frcopias.h"

#include "data/Backups.h"
#include "data/ModConex.h"
#include "gui/MessageService.h"
#include "gui/Progreso.h"
#include "gui/Screen.h"
#include "ui_frcopias.h"

#include <QDir>
#include <QHeaderView>
#include <QLocale>

namespace {
const QString kTitulo = QStringLiteral("Copias de seguridad");
constexpr int kRuta = Qt::UserRole;

QString Fecha(const QDateTime &fecha) {
    return fecha.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}
} // namespace

frcopias::frcopias(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::frcopias>()) {
    ui->setupUi(this);
    ui->DBcopias->setColumnCount(3);
    ui->DBcopias->setHorizontalHeaderLabels(
        {QStringLiteral("Fecha"), QStringLiteral("Tamaño"), QStringLiteral("Observaciones")});
    ui->DBcopias->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(ui->CdCopia, &QPushButton::clicked, this, &frcopias::CdCopia_Click);
    connect(ui->CdRestaurar, &QPushButton::clicked, this, &frcopias::CdRestaurar_Click);
    connect(ui->CdVolver, &QPushButton::clicked, this, &frcopias::CdVolver_Click);
    Form_Load();
}

frcopias::~frcopias() = default;

void frcopias::Form_Load() {
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->CdVolver);
    ui->Lbcarpeta->setText(QStringLiteral("Carpeta de las copias: %1")
                               .arg(QDir::toNativeSeparators(Backups::Carpeta())));
    CargarCopias();
}

QString frcopias::FotosQueFaltan(const Backups::Fotos &fotos) {
    if (fotos.faltan.isEmpty()) return {};
    return QStringLiteral("\n\nNo se encuentran los archivos de %1 fotos a las que se refieren "
                          "los datos (ni en la carpeta fotos ni entre las copias): %2.")
        .arg(fotos.faltan.size())
        .arg(fotos.faltan.join(QStringLiteral(", ")));
}

void frcopias::CargarCopias(const QString &actual) {
    Screen::RelojArena reloj;
    const QList<Backups::Copia> copias = Backups::Listar();
    ui->DBcopias->setRowCount(0);
    ui->DBcopias->setRowCount(int(copias.size()));
    const QLocale local(QLocale::Spanish, QLocale::Spain);
    for (int fila = 0; fila < copias.size(); ++fila) {
        const Backups::Copia &c = copias[fila];
        QString motivo;
        int observaciones = 0;
        const bool buena = Backups::Comprobar(c.ruta, &motivo, &observaciones);
        auto *fecha = new QTableWidgetItem(Fecha(c.fecha));
        fecha->setData(kRuta, c.ruta);
        ui->DBcopias->setItem(fila, 0, fecha);
        auto *tamano = new QTableWidgetItem(
            local.formattedDataSize(c.tamano, 2, QLocale::DataSizeTraditionalFormat));
        tamano->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        ui->DBcopias->setItem(fila, 1, tamano);
        auto *numero =
            new QTableWidgetItem(buena ? local.toString(observaciones) : QStringLiteral("dañada"));
        numero->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        ui->DBcopias->setItem(fila, 2, numero);
        if (c.ruta == actual) ui->DBcopias->setCurrentCell(fila, 0);
    }
    ui->CdRestaurar->setEnabled(!copias.isEmpty());
}

void frcopias::CdCopia_Click() {
    const MessageService::UserAction accion;
    QString error;
    std::optional<QString> ruta;
    Backups::Fotos fotos;
    {
        Screen::RelojArena reloj;
        Progreso progreso(this, QStringLiteral("Haciendo la copia de seguridad..."));
        ruta = Backups::Hacer(&error, QDateTime::currentDateTime(), progreso.avance(), &fotos);
    }
    // Stopped by the user, who knows no copy was made.
    if (!ruta && error == Avances::kCancelado) return;
    if (!ruta) {
        MessageService::Mostrar(
            this, QStringLiteral("No se ha podido hacer la copia de seguridad: %1").arg(error),
            kTitulo, QMessageBox::Warning);
        return;
    }
    CargarCopias(*ruta);
    MessageService::Mostrar(this,
                            QStringLiteral("Se ha hecho la copia de seguridad %1.")
                                    .arg(QDir::toNativeSeparators(*ruta)) +
                                FotosQueFaltan(fotos),
                            kTitulo);
}

void frcopias::CdRestaurar_Click() {
    const MessageService::UserAction accion;
    const QTableWidgetItem *elegida = ui->DBcopias->item(ui->DBcopias->currentRow(), 0);
    if (!elegida || !ui->DBcopias->selectionModel()->hasSelection()) {
        MessageService::Mostrar(this,
                                QStringLiteral("Elija en la lista la copia que quiere "
                                               "restaurar."),
                                kTitulo, QMessageBox::Information);
        return;
    }
    const QString ruta = elegida->data(kRuta).toString();
    const QString fecha = elegida->text();
    QString motivo;
    if (!Backups::Restaurable(ruta, &motivo)) {
        MessageService::Mostrar(this,
                                QStringLiteral("No se puede restaurar esa copia: %1 Los datos "
                                               "actuales no han cambiado.")
                                    .arg(motivo),
                                kTitulo, QMessageBox::Warning);
        return;
    }
    if (MessageService::Mostrar(this,
                                QStringLiteral("Los datos actuales se sustituirán por los de la "
                                               "copia del %1. Antes se guardará una copia de los "
                                               "datos actuales. ¿Restaurar la copia?")
                                    .arg(fecha),
                                kTitulo, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) != QMessageBox::Yes)
        return;
    QString error;
    bool ok = false;
    Backups::Fotos fotos;
    {
        Screen::RelojArena reloj;
        Progreso progreso(this, QStringLiteral("Restaurando la copia de seguridad..."));
        ok = Backups::Restaurar(ruta, &error, progreso.avance(), &fotos);
    }
    if (!ok && error == Avances::kCancelado) {
        MessageService::Mostrar(this,
                                QStringLiteral("No se ha restaurado la copia: los datos actuales "
                                               "no han cambiado."),
                                kTitulo, QMessageBox::Information);
        CargarCopias();
        return;
    }
    if (!ok) {
        MessageService::Mostrar(this,
                                QStringLiteral("No se ha podido restaurar la copia: %1").arg(error),
                                kTitulo, QMessageBox::Warning);
        CargarCopias();
        return;
    }
    CargarCopias();
    MessageService::Mostrar(
        this,
        QStringLiteral("Se han restaurado los datos de la copia del %1.").arg(fecha) +
            FotosQueFaltan(fotos),
        kTitulo);
}

void frcopias::CdVolver_Click() {
    Screen::CerrarHijo(this);
}
