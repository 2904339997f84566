#include "frfitxer.h"

#include "ArchiveWriter.h"
#include "DarwinCoreArchive.h"
#include "ExportStore.h"
#include "PhotoArchive.h"
#include "data/ArchivoComprobado.h"
#include "data/Clock.h"
#include "data/ModBaseDatos.h"
#include "data/ModConex.h"
#include "frsensibles.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Progreso.h"
#include "gui/Screen.h"
#include "gui/TitleImage.h"
#include "ui_frfitxer.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>

namespace {
const QString kTitulo = QStringLiteral("Ficheros ASCII");
constexpr int kRuta = Qt::UserRole;
} // namespace

frfitxer::frfitxer(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::frfitxer>()) {
    ui->setupUi(this);
    ui->Image1->setPixmap(TitleImage().scaledToWidth(300, Qt::SmoothTransformation));
    ModBaseDatos::AlElegir(ui->Drive1, [this] { Drive1_Change(); });
    connect(ui->Driver1, &QListWidget::itemActivated, this, &frfitxer::Driver1_DblClick);
    connect(ui->Cdgenerar, &QPushButton::clicked, this, &frfitxer::Cdgenerar_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &frfitxer::Command2_Click);
    connect(ui->CdDwc, &QPushButton::clicked, this, &frfitxer::CdDwc_Click);
    connect(ui->CdSensibles, &QPushButton::clicked, this, &frfitxer::CdSensibles_Click);
    Form_Load();
}

frfitxer::~frfitxer() = default;

void frfitxer::Form_Load() {
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->Command2);
    CargarUnidades();
    using DarwinCoreArchive::Licencia;
    for (Licencia l : {Licencia::CcBy, Licencia::Cc0, Licencia::CcByNc})
        ui->Cblicencia->addItem(DarwinCoreArchive::NombreLicencia(l), int(l));
    ui->Cblicencia->setCurrentIndex(0);
}

void frfitxer::CargarUnidades() {
    // The home folder first, then every mounted volume that holds folders.
    QStringList textos{QDir::homePath() + QStringLiteral(" (carpeta personal)")};
    QStringList rutas{QDir::homePath()};
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes()) {
        const QString raiz = v.rootPath();
        if (!v.isValid() || !v.isReady() || !QFileInfo(raiz).isDir() || rutas.contains(raiz))
            continue;
        rutas << raiz;
        textos << (v.name().isEmpty() ? raiz : raiz + QStringLiteral(" [") + v.name() + u']');
    }
    ModBaseDatos::Rellenar(ui->Drive1, textos);
    for (int i = 0; i < rutas.size(); ++i)
        ui->Drive1->setItemData(i, rutas[i], kRuta);
    ui->Drive1->setCurrentIndex(0);
}

void frfitxer::Drive1_Change() {
    const QString raiz = ui->Drive1->currentData(kRuta).toString();
    // A volume that cannot be read (no medium, no permission) leaves the home folder open.
    if (raiz.isEmpty() || !AbrirCarpeta(raiz)) AbrirCarpeta(QDir::homePath());
}

bool frfitxer::AbrirCarpeta(const QString &ruta) {
    QDir dir(ruta);
    if (!dir.exists() || !dir.isReadable()) return false;
    carpeta_ = QDir::cleanPath(dir.absolutePath());
    ui->Lbruta->setText(QDir::toNativeSeparators(carpeta_));
    ui->Driver1->clear();
    if (!dir.isRoot()) {
        auto *arriba = new QListWidgetItem(QStringLiteral(".."), ui->Driver1);
        QDir padre(carpeta_);
        padre.cdUp();
        arriba->setData(kRuta, padre.absolutePath());
    }
    const QFileInfoList hijas = dir.entryInfoList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QFileInfo &hija : hijas)
        (new QListWidgetItem(hija.fileName(), ui->Driver1))
            ->setData(kRuta, hija.absoluteFilePath());
    return true;
}

void frfitxer::Driver1_DblClick() {
    const QListWidgetItem *item = ui->Driver1->currentItem();
    if (item && !AbrirCarpeta(item->data(kRuta).toString())) Screen::Pitido();
}

void frfitxer::Cdgenerar_Click() {
    const MessageService::UserAction accion;
    const QDate hoy = Clock::Hoy();
    const QString periodo = hoy.toString(QStringLiteral("yyMM"));
    int sustituidos = 0;
    const bool sinRechazadas = ui->ChRechazadas->isChecked();
    std::optional<Aviso> aviso;
    {
        Screen::RelojArena reloj;
        Progreso progreso(this, QStringLiteral("Generando los ficheros para la asociación..."));
        const ModConex::UnaPasada pasada;
        aviso = Exportar(periodo, sinRechazadas, &sustituidos, progreso.avance());
    }
    // Stopped by the user: nothing was written, and that needs no message.
    if (aviso && aviso->texto == Avances::kCancelado) return;
    if (aviso && aviso->falloBaseDatos) {
        MessageService::MostrarFallo(this, aviso->texto, aviso->titulo);
        return;
    }
    if (aviso) {
        MessageService::Mostrar(this, aviso->texto, aviso->titulo, aviso->icono);
        return;
    }
    QString texto = QStringLiteral("Los ficheros han sido generados");
    if (sustituidos > 0)
        texto += sustituidos == 1
                     ? QStringLiteral("\n\nUn valor tenía caracteres que no existen en "
                                      "Windows-1252: se han escrito como «?».")
                     : QStringLiteral("\n\n%1 valores tenían caracteres que no existen en "
                                      "Windows-1252: se han escrito como «?».")
                           .arg(sustituidos);
    if (sinRechazadas && rechazadas_ > 0)
        texto += rechazadas_ == 1
                     ? QStringLiteral("\n\nSe ha dejado fuera una observación rechazada.")
                     : QStringLiteral("\n\nSe han dejado fuera %1 observaciones rechazadas.")
                           .arg(rechazadas_);
    if (ui->ChFotos->isChecked()) {
        // The text files stay as they are whatever happens to the photos.
        int fotos = 0;
        QString error;
        bool ok = false;
        {
            Screen::RelojArena reloj;
            Progreso progreso(this, QStringLiteral("Generando el archivo de fotos..."));
            ok = PhotoArchive::Escribir(carpeta_, periodo, sinRechazadas, &fotos, &error,
                                        progreso.avance());
        }
        const QString archivo =
            QDir::toNativeSeparators(QDir(carpeta_).filePath(PhotoArchive::Nombre(periodo)));
        if (!ok && error == Avances::kCancelado)
            texto += QStringLiteral("\n\nNo se ha generado el archivo de fotos: se ha cancelado.");
        else if (!ok)
            texto += QStringLiteral("\n\nNo se ha podido generar el archivo de fotos %1: %2")
                         .arg(archivo, error);
        else if (fotos == 0)
            texto += QStringLiteral("\n\nNinguna observación exportada tiene fotos: no se ha "
                                    "generado el archivo de fotos.");
        else
            texto += QStringLiteral("\n\nLas fotos (%1) están en %2.").arg(fotos).arg(archivo);
        if (!ok && error != Avances::kCancelado) {
            MessageService::Mostrar(this, texto, kTitulo, QMessageBox::Warning);
            return;
        }
    }
    MessageService::Mostrar(this, texto, kTitulo, QMessageBox::Information);
}

std::optional<frfitxer::Aviso> frfitxer::Exportar(const QString &periodo, bool sinRechazadas,
                                                  int *sustituidos, const Avance &avance) {
    using Tabla = ExportStore::Tabla;
    struct Fichero {
        Tabla tabla;
        QString nombre;
        QString vacia;
    };
    const QList<Fichero> ficheros = {
        {Tabla::Observaciones, QStringLiteral("obs") + periodo + QStringLiteral(".txt"),
         QStringLiteral("No hay ninguna observación con su localidad que exportar.")},
        {Tabla::Observadores, QStringLiteral("ors") + periodo + QStringLiteral(".txt"),
         QStringLiteral("La tabla de observadores está vacía: no hay observadores que exportar.")},
        {Tabla::Motivos, QStringLiteral("mot") + periodo + QStringLiteral(".txt"),
         QStringLiteral("La tabla de motivos está vacía: no hay motivos que exportar.")},
    };
    const QString carpeta = carpeta_;
    const QDir dir(carpeta);
    ExportStore almacen;
    almacen.ExcluirRechazadas(sinRechazadas);
    const auto rechazadas = almacen.ContarRechazadas(true);
    if (!rechazadas) return Aviso{almacen.error(), kTitulo, QMessageBox::Warning, true};
    rechazadas_ = *rechazadas;

    // Every table is looked at before any file is written: an empty one stops the export
    // with nothing half done.
    QStringList vacias;
    for (const Fichero &f : ficheros) {
        const auto hay = almacen.TieneFilas(f.tabla);
        if (!hay) return Aviso{almacen.error(), kTitulo, QMessageBox::Warning, true};
        if (!*hay) vacias << f.vacia;
    }
    if (!vacias.isEmpty())
        return Aviso{vacias.join(u'\n') + QStringLiteral("\n\nNo se ha generado ningún fichero."),
                     kTitulo, QMessageBox::Warning};

    // The files are made in a hidden folder beside their place and moved there together
    // once all are written: a cancel or a failure leaves the folder as it was.
    const auto crear = [&](int codigo) {
        const QString ruta = dir.filePath(ficheros[0].nombre);
        const bool disco = codigo == 0 || codigo == ENOSPC || codigo == EDQUOT;
        return Aviso{disco ? Causas::AlEscribir(ruta, codigo)
                           : QStringLiteral("No se puede crear el archivo %1: %2.")
                                 .arg(QDir::toNativeSeparators(ruta), Causas::DeErrno(codigo)),
                     QStringLiteral("Crear archivo de texto"), QMessageBox::Warning};
    };
    errno = 0;
    QTemporaryDir temporal(dir.filePath(QStringLiteral(".tritodex-XXXXXX")));
    if (!temporal.isValid()) return crear(errno);
    const auto cancelado = [] { return Aviso{Avances::kCancelado, kTitulo, QMessageBox::NoIcon}; };
    // Four steps: the three files and the archive.
    constexpr qint64 kPaso = 1000, kTotal = 4 * kPaso;
    QList<ArchiveWriter::Entrada> entradas;
    for (int i = 0; i < ficheros.size(); ++i) {
        const Fichero &f = ficheros[i];
        const QString ruta = dir.filePath(f.nombre), provisional = temporal.filePath(f.nombre);
        if (!Avances::Seguir(avance, i * kPaso, kTotal)) return cancelado();
        QSqlQuery consulta = almacen.Consultar(f.tabla);
        if (!consulta.isActive())
            return Aviso{QStringLiteral("No se ha podido leer lo que va al archivo %1: %2")
                             .arg(QDir::toNativeSeparators(ruta), almacen.error()),
                         kTitulo, QMessageBox::Warning, true};
        int cambiados = 0;
        QString error;
        // Rows in an unknown number: the bar moves within the file's step only as a sign of life.
        const Avance filas = [&](qint64, qint64) {
            return Avances::Seguir(avance, i * kPaso + kPaso / 2, kTotal);
        };
        if (!ModBaseDatos::EscribirArchivoTexto(&consulta, provisional, true, QStringLiteral(";"),
                                                &error, &cambiados, filas)) {
            if (error == Avances::kCancelado) return cancelado();
            // The user knows the file by its own name, not by the hidden folder's.
            error.replace(QDir::toNativeSeparators(provisional), QDir::toNativeSeparators(ruta));
            return Aviso{error, QStringLiteral("Crear archivo de texto"), QMessageBox::Warning};
        }
        *sustituidos += cambiados;
        entradas.append({f.nombre, provisional});
    }

    const QString archivo = dir.filePath(QStringLiteral("TDX_") + periodo + QStringLiteral(".zip"));
    if (!Avances::Seguir(avance, 3 * kPaso, kTotal)) return cancelado();
    QString errorArchivo;
    const bool empaquetado = ArchiveWriter::Empaquetar(
        archivo, entradas, &errorArchivo, ArchiveWriter::Modo::Anadir,
        [&](qint64 hecho, qint64 total) {
            return Avances::Seguir(avance, 3 * kPaso + (total > 0 ? hecho * kPaso / total : 0),
                                   kTotal);
        });
    if (!empaquetado && errorArchivo == Avances::kCancelado) return cancelado();
    // Renaming within one folder takes no room: the three files arrive together.
    for (const ArchiveWriter::Entrada &e : entradas) {
        const QString ruta = dir.filePath(e.nombre);
        if (std::rename(QFile::encodeName(e.ruta).constData(),
                        QFile::encodeName(ruta).constData()) != 0)
            return Aviso{Causas::AlEscribir(ruta, errno), QStringLiteral("Crear archivo de texto"),
                         QMessageBox::Warning};
    }
    if (!empaquetado)
        return Aviso{errorArchivo +
                         QStringLiteral("\n\nLos tres ficheros de texto sí se han generado y "
                                        "se conservan en %1.")
                             .arg(QDir::toNativeSeparators(carpeta)),
                     kTitulo, QMessageBox::Warning};
    return std::nullopt;
}

void frfitxer::CdDwc_Click() {
    const MessageService::UserAction accion;
    const QDate hoy = Clock::Hoy();
    const auto licencia = DarwinCoreArchive::Licencia(ui->Cblicencia->currentData().toInt());
    const QString titulo = QStringLiteral("Darwin Core (GBIF)");
    DarwinCoreArchive::Resumen resumen;
    QString error;
    bool ok = false;
    {
        Screen::RelojArena reloj;
        Progreso progreso(this, QStringLiteral("Generando el archivo Darwin Core..."));
        const ModConex::UnaPasada pasada;
        ok = DarwinCoreArchive::Exportar(carpeta_, hoy, licencia, &resumen, &error,
                                         progreso.avance());
    }
    if (!ok && error == Avances::kCancelado) return;
    if (!ok) {
        MessageService::Mostrar(this, error + QStringLiteral("\n\nNo se ha generado el archivo."),
                                titulo, QMessageBox::Warning);
        return;
    }
    const auto Observaciones = [](int n) {
        return n == 1 ? QStringLiteral("1 observación") : QStringLiteral("%1 observaciones").arg(n);
    };
    QString texto = QStringLiteral("Se ha generado el archivo %1 con %2 (licencia %3).")
                        .arg(QDir::toNativeSeparators(
                                 QDir(carpeta_).filePath(DarwinCoreArchive::NombreArchivo(hoy))),
                             Observaciones(resumen.registros), ui->Cblicencia->currentText());
    if (resumen.generalizados > 0)
        texto +=
            QStringLiteral("\n\nDe especies sensibles o de sus localidades: %1, en el centro de su "
                           "cuadrado UTM de "
                           "10 km y sin el nombre de la localidad.")
                .arg(Observaciones(resumen.generalizados));
    if (resumen.rechazadas > 0)
        texto += QStringLiteral("\n\nRechazadas: %1, que no se exportan.")
                     .arg(Observaciones(resumen.rechazadas));
    if (resumen.sinPosicion > 0)
        texto += QStringLiteral("\n\nSin coordenadas: %1, porque su localidad no tiene huso con "
                                "coordenadas o un cuadrado válido.")
                     .arg(Observaciones(resumen.sinPosicion));
    MessageService::Mostrar(this, texto, titulo, QMessageBox::Information);
}

void frfitxer::CdSensibles_Click() {
    frsensibles::Abrir(this);
}

void frfitxer::Command2_Click() {
    Screen::CerrarHijo(this);
}
