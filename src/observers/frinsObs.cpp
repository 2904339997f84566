#include "frinsObs.h"

#include "ObserverStore.h"
#include "data/ModBaseDatos.h"
#include "data/ReferenceData.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "gui/UnsavedChanges.h"
#include "ui_frinsObs.h"

#include <QPointer>

frinsObs::frinsObs(QWidget *parent) : QDialog(parent), ui(std::make_unique<Ui::frinsObs>()) {
    ui->setupUi(this);
    connect(ui->CdIns, &QPushButton::clicked, this, &frinsObs::CdIns_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &frinsObs::Command2_Click);
    ModBaseDatos::LimitarLongitud(ui->Txcod, 7);
    for (QLineEdit *campo : {ui->Txnomobs, ui->Txcognom, ui->Txentidad})
        ModBaseDatos::LimitarLongitud(campo, 50);
    ModBaseDatos::LimitarLongitud(ui->Txmail, 70);
    Form_Load();
    new UnsavedChanges(this);
}

frinsObs::~frinsObs() = default;

void frinsObs::Form_Load() {
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->Command2);
    Screen::Centrar(this);
    QString error;
    ui->Cbprov->addItem(QString());
    ReferenceData referencias;
    ui->Cbprov->addItems(referencias.Provincias());
    ModBaseDatos::InformarError(this, referencias);
    ui->Cbprov->setCurrentIndex(0);
}

void frinsObs::reject() {
    // Not while a save is under way: its pauses let the Escape key through.
    if (!ocupado_) QDialog::reject();
}

void frinsObs::Command2_Click() {
    reject();
}

QString frinsObs::ProblemaCodigo(const QString &codigo) {
    if (codigo.isEmpty())
        return QStringLiteral("El código del observador no puede estar formado solo por espacios.");
    // Half a surrogate pair is no character at all.
    bool imprimible = codigo.isValidUtf16();
    for (const char32_t c : codigo.toUcs4()) {
        const auto categoria = QChar::category(c);
        if (!QChar::isPrint(c) || categoria == QChar::Separator_Line ||
            categoria == QChar::Separator_Paragraph)
            imprimible = false;
    }
    if (imprimible) return QString();
    return QStringLiteral("El código del observador contiene caracteres no imprimibles "
                          "(saltos de línea, tabuladores u otros caracteres de control); "
                          "escríbalo solo con letras, cifras y signos visibles.");
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
    // The code is a key that is typed again to find the observer: blanks around it would
    // make it unfindable, so they go, and the confirmation shows the code as stored. The
    // other fields are stored as typed.
    const QString codigo = ui->Txcod->text().trimmed();
    ui->Txcod->setText(codigo);
    const QString problema = ProblemaCodigo(codigo);
    if (!problema.isEmpty()) {
        MessageService::Mostrar(this, problema, QStringLiteral("Observador no registrado"),
                                QMessageBox::Warning);
        return;
    }
    const Observador o{codigo,
                       ui->Txnomobs->text(),
                       ui->Txcognom->text(),
                       ui->Txentidad->text(),
                       ui->Txmail->text(),
                       ui->Cbprov->currentText()};
    ocupado_ = true;
    QPointer<frinsObs> vivo(this);
    ObserverStore observadores;
    bool ok = false;
    {
        Screen::RelojArena reloj;
        ok = observadores.Insertar(o, ui->Ckdef->isChecked());
        if (ok) ModBaseDatos::Esperar(1);
    }
    if (!vivo) return;
    if (!ok) {
        ocupado_ = false;
        if (observadores.claveDuplicada())
            MessageService::Mostrar(
                this, QStringLiteral("Ya existe un observador con este código en la BBDD."),
                QStringLiteral("Observador no registrado"), QMessageBox::Warning);
        else
            MessageService::MostrarFallo(this, observadores.error(),
                                         QStringLiteral("Observador no registrado"));
        return;
    }
    MessageService::Mostrar(this, QStringLiteral("Se ha registrado el Observador ") + o.codigo +
                                      QStringLiteral(" en la base de datos"));
    ModBaseDatos::Esperar(2);
    if (!vivo) return;
    ocupado_ = false;
    accept();
}
