#include "frbasedatos.h"

#include "data/DatabaseSettings.h"
#include "data/SqlDialect.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "gui/UnsavedChanges.h"
#include "ui_frbasedatos.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlDatabase>

namespace {
const QString kTitulo = QStringLiteral("Base de datos");
const QString kPrueba = QStringLiteral("frbasedatos-prueba");

QString Quien(const ModConex::Servidor &s) {
    return QStringLiteral("%1 en el servidor %2").arg(s.usuario, s.Descripcion());
}
} // namespace

frbasedatos::frbasedatos(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::frbasedatos>()) {
    ui->setupUi(this);
    ModBaseDatos::FiltrarDigitos(ui->Txpuerto);
    connect(ui->OpServidor, &QRadioButton::toggled, this, &frbasedatos::OpServidor_Toggled);
    connect(ui->CdProbar, &QPushButton::clicked, this, &frbasedatos::CdProbar_Click);
    connect(ui->CdAceptar, &QPushButton::clicked, this, &frbasedatos::CdAceptar_Click);
    connect(ui->CdCancelar, &QPushButton::clicked, this, &frbasedatos::CdCancelar_Click);
    Form_Load();
    cambios_ = new UnsavedChanges(this);
}

frbasedatos::~frbasedatos() = default;

void frbasedatos::Form_Load() {
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->CdCancelar);
    // The server in use, else the one last chosen, else an empty form for a new one.
    const auto elegido = DatabaseSettings::Leida();
    const auto servidor = ModConex::ServidorActual() ? ModConex::ServidorActual() : elegido;
    const ModConex::Servidor s = servidor.value_or(ModConex::Servidor());
    ui->Txhost->setText(s.host);
    ui->Txpuerto->setText(QString::number(s.puerto));
    ui->Txbase->setText(s.base);
    ui->Txusuario->setText(s.usuario);
    if (ModConex::ServidorActual()) {
        contrasena_ = ModConex::ServidorActual()->contrasena;
        contrasenaDe_ = Quien(*ModConex::ServidorActual());
    }
    (ModConex::EsServidor() ? ui->OpServidor : ui->OpArchivo)->setChecked(true);
    OpServidor_Toggled();
    MostrarActual();
}

void frbasedatos::MostrarActual() {
    const auto s = ModConex::ServidorActual();
    ui->Lbactual->setText(
        s ? QStringLiteral("En uso: el servidor %1, usuario %2.").arg(s->Descripcion(), s->usuario)
          : QStringLiteral("En uso: el archivo local %1.")
                .arg(QDir::toNativeSeparators(ModConex::RutaBaseDatos())));
}

void frbasedatos::OpServidor_Toggled() {
    const bool servidor = ui->OpServidor->isChecked();
    for (QWidget *w : {static_cast<QWidget *>(ui->Txhost), static_cast<QWidget *>(ui->Txpuerto),
                       static_cast<QWidget *>(ui->Txbase), static_cast<QWidget *>(ui->Txusuario),
                       static_cast<QWidget *>(ui->CdProbar)})
        w->setEnabled(servidor);
}

std::optional<ModConex::Servidor> frbasedatos::Leer() {
    const QList<QPair<QLineEdit *, QString>> campos = {
        {ui->Txhost, QStringLiteral("Servidor")},
        {ui->Txpuerto, QStringLiteral("Puerto")},
        {ui->Txbase, QStringLiteral("Base de datos")},
        {ui->Txusuario, QStringLiteral("Usuario")}};
    for (const auto &[campo, nombre] : campos) {
        if (!campo->text().trimmed().isEmpty()) continue;
        MessageService::Mostrar(this, QStringLiteral("El campo %1 es obligatorio.").arg(nombre),
                                QStringLiteral("Datos incompletos"), QMessageBox::Warning);
        campo->setFocus();
        return std::nullopt;
    }
    // A name or an address, nothing the resolver would be asked about in vain.
    static const QRegularExpression nombre(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9._:-]{0,251}[A-Za-z0-9])?$"));
    static const QRegularExpression cifras(QStringLiteral("^[0-9]+$"));
    const QString host = ui->Txhost->text().trimmed();
    if (!nombre.match(host).hasMatch() || cifras.match(host).hasMatch()) {
        MessageService::Mostrar(this,
                                QStringLiteral("«%1» no es un nombre de servidor ni una "
                                               "dirección válida.")
                                    .arg(host.left(80)),
                                kTitulo, QMessageBox::Warning);
        ui->Txhost->setFocus();
        return std::nullopt;
    }
    const int puerto = ui->Txpuerto->text().toInt();
    if (puerto < 1 || puerto > 65535) {
        MessageService::Mostrar(this,
                                QStringLiteral("El puerto debe ser un número entre 1 y 65535."),
                                kTitulo, QMessageBox::Warning);
        ui->Txpuerto->setFocus();
        return std::nullopt;
    }
    ModConex::Servidor s;
    s.host = ui->Txhost->text().trimmed();
    s.puerto = puerto;
    s.base = ui->Txbase->text().trimmed();
    s.usuario = ui->Txusuario->text().trimmed();
    // A password typed for this same server and user still serves.
    if (Quien(s) == contrasenaDe_) s.contrasena = contrasena_;
    return s;
}

void frbasedatos::CdProbar_Click() {
    const MessageService::UserAction accion;
    auto s = Leer();
    if (!s) return;
    QString error, resultado;
    bool ok = false, faltaContrasena = false;
    {
        Screen::RelojArena reloj;
        ok = AbrirServidor(kPrueba, *s, &error, &faltaContrasena);
    }
    while (!ok && faltaContrasena) {
        const auto contrasena = ChoiceService::Contrasena(this, Quien(*s));
        if (!contrasena) break;
        s->contrasena = *contrasena;
        Screen::RelojArena reloj;
        ok = AbrirServidor(kPrueba, *s, &error, &faltaContrasena);
    }
    if (ok) {
        contrasena_ = s->contrasena;
        contrasenaDe_ = Quien(*s);
        QStringList tablas;
        const QSqlDatabase db = QSqlDatabase::database(kPrueba, false);
        const bool leidas = SqlDialect::Tablas(db, &tablas, &error);
        resultado = !leidas ? QStringLiteral("Se ha conectado con el servidor, pero no se pueden "
                                             "leer sus tablas: %1")
                                  .arg(error)
                    : tablas.contains(QStringLiteral("observacion"))
                        ? QStringLiteral("Conexión correcta: la base de datos %1 tiene las tablas "
                                         "de Tritodex.")
                              .arg(s->Descripcion())
                        : QStringLiteral("Conexión correcta, pero la base de datos %1 no tiene "
                                         "las tablas de Tritodex: créelas con tritodex_mkdb "
                                         "--servidor.")
                              .arg(s->Descripcion());
    }
    QSqlDatabase::database(kPrueba, false).close();
    QSqlDatabase::removeDatabase(kPrueba);
    MessageService::Mostrar(this, ok ? resultado : error, kTitulo,
                            ok ? QMessageBox::Information : QMessageBox::Warning);
}

void frbasedatos::CdAceptar_Click() {
    const MessageService::UserAction accion;
    std::optional<ModConex::Servidor> elegido;
    if (ui->OpServidor->isChecked()) {
        elegido = Leer();
        if (!elegido) return;
    }
    const auto anterior = ModConex::ServidorActual();
    ModConex::Resultado ok;
    {
        Screen::RelojArena reloj;
        ModConex::Desconectar();
        ModConex::setServidor(elegido);
        ok = ModBaseDatos::Conectar(this);
    }
    if (!ok) {
        // The database in use before stays in use; nothing of the choice is kept.
        ModConex::Desconectar();
        ModConex::setServidor(anterior);
        const ModConex::Resultado vuelta = ModConex::Conectar();
        MessageService::Mostrar(this,
                                QStringLiteral("No se puede usar esa base de datos: %1\n\n%2")
                                    .arg(ok.motivo, vuelta ? QStringLiteral("Se sigue usando la "
                                                                            "anterior.")
                                                           : vuelta.motivo),
                                kTitulo, QMessageBox::Warning);
        return;
    }
    DatabaseSettings::Guardar(elegido);
    if (ModConex::ServidorActual()) {
        contrasena_ = ModConex::ServidorActual()->contrasena;
        contrasenaDe_ = Quien(*ModConex::ServidorActual());
    }
    MostrarActual();
    cambios_->Guardado();
    QString texto = elegido ? QStringLiteral("Se usa ahora la base de datos %1 del servidor.")
                                  .arg(elegido->Descripcion())
                            : QStringLiteral("Se usa ahora el archivo local Tritodex.mdb.");
    if (!ok.aviso.isEmpty()) texto += QStringLiteral("\n\n") + ok.aviso;
    MessageService::Mostrar(this, texto, kTitulo);
    Screen::CerrarHijo(this);
}

void frbasedatos::CdCancelar_Click() {
    Screen::CerrarHijo(this);
}
