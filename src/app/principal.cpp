#include "principal.h"

#include "atlas/frfenologia.h"
#include "atlas/frmapa.h"
#include "backups/frcopias.h"
#include "data/Backups.h"
#include "data/Clock.h"
#include "data/Instalacion.h"
#include "data/ModBaseDatos.h"
#include "data/ModConex.h"
#include "export/frfitxer.h"
#include "frbasedatos.h"
#include "frspini.h"
#include "frsplash.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Progreso.h"
#include "gui/Screen.h"
#include "gui/UnsavedChanges.h"
#include "import/frimportar.h"
#include "localities/frloc.h"
#include "observations/BinStore.h"
#include "observations/frcons.h"
#include "observations/frlista.h"
#include "observations/frmotivos.h"
#include "observations/frpapelera.h"
#include "observations/frverificar.h"
#include "observations/newobs.h"
#include "observers/frobs.h"
#include "ui_principal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QPointer>

#ifndef TRITODEX_WEB_URL
#define TRITODEX_WEB_URL "https://www.gbif.es/"
#endif

principal::principal(QWidget *parent) : QMainWindow(parent), ui(std::make_unique<Ui::principal>()) {
    ui->setupUi(this);
    setCentralWidget(ui->areaPrincipal);
    Screen::setAreaPrincipal(ui->areaPrincipal);
    new_ = new QAction(QStringLiteral("Nueva"), this);
    new_->setObjectName(QStringLiteral("new"));
    new_->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    ui->obs->insertAction(ui->cons, new_);
    lista_ = new QAction(QStringLiteral("Lista de especies de una visita"), this);
    lista_->setObjectName(QStringLiteral("lista"));
    ui->obs->insertAction(ui->cons, lista_);
    ui->obs->menuAction()->setObjectName(QStringLiteral("obs"));
    ui->param->menuAction()->setObjectName(QStringLiteral("param"));
    ui->varis->menuAction()->setObjectName(QStringLiteral("varis"));

    connect(new_, &QAction::triggered, this, &principal::new_Click);
    connect(lista_, &QAction::triggered, this, &principal::lista_Click);
    connect(ui->cons, &QAction::triggered, this, &principal::cons_Click);
    connect(ui->papelera, &QAction::triggered, this, &principal::papelera_Click);
    connect(ui->verificar, &QAction::triggered, this, &principal::verificar_Click);
    connect(ui->mapa, &QAction::triggered, this, &principal::mapa_Click);
    connect(ui->fenologia, &QAction::triggered, this, &principal::fenologia_Click);
    connect(ui->importar, &QAction::triggered, this, &principal::importar_Click);
    connect(ui->observ, &QAction::triggered, this, &principal::observ_Click);
    connect(ui->loc, &QAction::triggered, this, &principal::loc_Click);
    connect(ui->motivo, &QAction::triggered, this, &principal::motivo_Click);
    connect(ui->copias, &QAction::triggered, this, &principal::copias_Click);
    connect(ui->basedatos, &QAction::triggered, this, &principal::basedatos_Click);
    connect(ui->fitxer, &QAction::triggered, this, &principal::fitxer_Click);
    connect(ui->help, &QAction::triggered, this, &principal::help_Click);
    connect(ui->acerca, &QAction::triggered, this, &principal::acerca_Click);
    connect(ui->web, &QAction::triggered, this, &principal::web_Click);
    connect(ui->sortir, &QAction::triggered, this, &principal::sortir_Click);
}

principal::~principal() = default;

void principal::Form_Load() {
    auto *inicio = new frspini;
    inicio->setAttribute(Qt::WA_DeleteOnClose);
    inicio->show();
    {
        Screen::RelojArena reloj;
        inicio->repaint();
        QApplication::processEvents();
        // The cause in plain words: the user can only mend what is named.
        ModConex::Resultado conectado = ModBaseDatos::Conectar(inicio);
        if (!conectado && ModConex::EsServidor()) {
            // A server out of reach: the local file is offered for this session.
            if (MessageService::Mostrar(
                    inicio,
                    QStringLiteral("Problema de Conexión con la base de datos\n\n%1\n\n¿Usar "
                                   "en esta sesión el archivo local (Tritodex.mdb)?")
                        .arg(conectado.motivo),
                    QStringLiteral("Tritodex"), QMessageBox::Question,
                    QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
                ModConex::Desconectar();
                ModConex::setServidor(std::nullopt);
                conectado = ModConex::Conectar();
                if (!conectado)
                    MessageService::Mostrar(
                        inicio, QStringLiteral("Problema de Conexión con la base de datos\n\n") +
                                    conectado.motivo);
            }
        } else if (!conectado)
            MessageService::Mostrar(
                inicio,
                QStringLiteral("Problema de Conexión con la base de datos\n\n") + conectado.motivo);
        else if (!conectado.aviso.isEmpty())
            MessageService::Mostrar(inicio, conectado.aviso, QStringLiteral("Tritodex"),
                                    QMessageBox::Warning);
        ProtegerDatos(inicio, conectado.danado);
        // After the day's copy, so that what is emptied is still in it.
        if (conectado && !conectado.soloLectura) VaciarPapelera(inicio);
        ModBaseDatos::Esperar(3);
    }
    inicio->close();
    ui->areaPrincipal->setBackground(Screen::Color(Screen::kColorFormulario));
}

void principal::ProtegerDatos(QWidget *ventana, bool danado) {
    // A server's data are kept by its own backups, not by copies of a local file.
    if (ModConex::EsServidor()) return;
    const QString titulo = QStringLiteral("Copias de seguridad");
    if (ModConex::DatabaseConnection().isOpen()) {
        QString error;
        bool ok = false;
        {
            Progreso progreso(ventana, QStringLiteral("Haciendo la copia de seguridad..."));
            ok = Backups::Automatica(&error, QDateTime::currentDateTime(), progreso.avance());
        }
        // A copy the user stopped is made at the next start.
        if (!ok && error != Avances::kCancelado)
            MessageService::Mostrar(ventana,
                                    QStringLiteral("No se ha podido hacer la copia de seguridad "
                                                   "automática de los datos: %1")
                                        .arg(error),
                                    titulo, QMessageBox::Warning);
        return;
    }
    if (!danado) return;
    // The newest copy that is itself sound.
    QString motivo;
    for (const Backups::Copia &c : Backups::Listar()) {
        if (!Backups::Restaurable(c.ruta, &motivo)) continue;
        const QString fecha = c.fecha.toString(QStringLiteral("dd/MM/yyyy HH:mm"));
        if (MessageService::Mostrar(ventana,
                                    QStringLiteral("La copia de seguridad más reciente en buen "
                                                   "estado es del %1. ¿Restaurarla? El archivo "
                                                   "dañado se guardará en la carpeta de copias.")
                                        .arg(fecha),
                                    titulo, QMessageBox::Question,
                                    QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::No) != QMessageBox::Yes)
            return;
        QString error;
        bool ok = false;
        {
            Progreso progreso(ventana, QStringLiteral("Restaurando la copia de seguridad..."));
            ok = Backups::Restaurar(c.ruta, &error, progreso.avance());
        }
        if (ok)
            MessageService::Mostrar(ventana,
                                    QStringLiteral("Se han restaurado los datos de la copia del "
                                                   "%1.")
                                        .arg(fecha),
                                    titulo);
        else if (error == Avances::kCancelado)
            MessageService::Mostrar(ventana,
                                    QStringLiteral("No se ha restaurado la copia: los datos "
                                                   "actuales no han cambiado."),
                                    titulo, QMessageBox::Information);
        else
            MessageService::Mostrar(
                ventana, QStringLiteral("No se ha podido restaurar la copia: %1").arg(error),
                titulo, QMessageBox::Warning);
        return;
    }
    // Without a sound copy there is nothing to offer: the refusal has said what is wrong.
}

void principal::VaciarPapelera(QWidget *ventana) {
    BinStore papelera;
    if (!papelera.VaciarAntiguas(Clock::Ahora()))
        MessageService::Mostrar(ventana,
                                QStringLiteral("No se han podido vaciar de la papelera las "
                                               "observaciones borradas hace más de %1 días: %2")
                                    .arg(BinStore::kDiasGuardada)
                                    .arg(papelera.error()),
                                QStringLiteral("Papelera"), QMessageBox::Warning);
}

bool principal::CerrarFormularios() {
    // Every window holding unsaved changes asks before any window closes: a "No" leaves
    // them all as they are.
    for (QWidget *w : Screen::VentanasAbiertas())
        if (w != this && w->windowTitle() != windowTitle() && !UnsavedChanges::ConfirmarCierre(w))
            return false;
    // The bound keeps a window that keeps coming back from looping for ever.
    for (int vuelta = 0; vuelta < 200; ++vuelta) {
        QWidget *otra = nullptr;
        for (QWidget *w : Screen::VentanasAbiertas())
            if (w != this && w->windowTitle() != windowTitle()) {
                otra = w;
                break;
            }
        if (!otra) return true;
        auto *sub = qobject_cast<QMdiSubWindow *>(otra->parentWidget());
        QWidget *ventana = sub ? static_cast<QWidget *>(sub) : otra;
        // A window that refuses (its own question answered No) stays, and so do the rest.
        if (!ventana->close()) return false;
        if (ventana->isVisible()) ventana->hide();
    }
    return false;
}

void principal::AbrirFormulario(const std::function<QWidget *()> &crear) {
    // Opening a form is one action: its lists, read one by one, report one failure.
    const MessageService::UserAction accion;
    if (!CerrarFormularios()) return;
    Screen::MostrarHijo(crear());
}

void principal::new_Click() {
    AbrirFormulario([] { return new newobs; });
}

void principal::lista_Click() {
    AbrirFormulario([] { return new frlista; });
}

void principal::cons_Click() {
    AbrirFormulario([] { return new frcons; });
}

void principal::papelera_Click() {
    AbrirFormulario([] { return new frpapelera; });
}

void principal::verificar_Click() {
    AbrirFormulario([] { return new frverificar; });
}

void principal::mapa_Click() {
    AbrirFormulario([] { return new frmapa; });
}

void principal::importar_Click() {
    AbrirFormulario([] { return new frimportar; });
}

void principal::fenologia_Click() {
    AbrirFormulario([] { return new frfenologia; });
}

void principal::observ_Click() {
    AbrirFormulario([] { return new frobs; });
}

void principal::loc_Click() {
    AbrirFormulario([] { return new frloc; });
}

void principal::motivo_Click() {
    AbrirFormulario([] { return new frmotivos; });
}

void principal::copias_Click() {
    AbrirFormulario([] { return new frcopias; });
}

void principal::basedatos_Click() {
    AbrirFormulario([] { return new frbasedatos; });
}

void principal::fitxer_Click() {
    AbrirFormulario([] { return new frfitxer; });
}

void principal::help_Click() {
    const QString ruta = Instalacion::DocumentoAyuda();
    if (!QFileInfo::exists(ruta)) {
        MessageService::Mostrar(this,
                                QStringLiteral("No se encuentra el documento de ayuda %1.")
                                    .arg(QDir::toNativeSeparators(ruta)),
                                QStringLiteral("Tutorial"), QMessageBox::Warning);
        return;
    }
    if (!ChoiceService::Abrir(QUrl::fromLocalFile(ruta)))
        MessageService::Mostrar(this,
                                QStringLiteral("No hay ningún programa para abrir el documento de "
                                               "ayuda %1.")
                                    .arg(QDir::toNativeSeparators(ruta)),
                                QStringLiteral("Tutorial"), QMessageBox::Warning);
}

void principal::acerca_Click() {
    if (!CerrarFormularios()) return;
    auto *acerca = new frsplash;
    acerca->setAttribute(Qt::WA_DeleteOnClose);
    acerca->show();
}

void principal::web_Click() {
    ChoiceService::Abrir(QUrl(QStringLiteral(TRITODEX_WEB_URL)));
}

void principal::sortir_Click() {
    close();
}

void principal::closeEvent(QCloseEvent *evento) {
    if (!CerrarFormularios()) {
        evento->ignore();
        return;
    }
    const auto r = MessageService::Mostrar(this, QStringLiteral("Salir de la aplicación?"),
                                           QStringLiteral("Salir"), QMessageBox::Question,
                                           QMessageBox::Yes | QMessageBox::No);
    if (r == QMessageBox::Yes)
        evento->accept();
    else
        evento->ignore();
}
