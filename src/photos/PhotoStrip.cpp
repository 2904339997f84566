#include "PhotoStrip.h"

#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Progreso.h"
#include "gui/Screen.h"
#include "observers/ObserverStore.h"
#include "photos/PhotoViewer.h"
#include "ui_PhotoStrip.h"

#include <QBuffer>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QMimeData>
#include <QPixmap>
#include <QSettings>

namespace {
std::optional<PhotoStore::Opciones> &OpcionesPrueba() {
    static std::optional<PhotoStore::Opciones> opciones;
    return opciones;
}

QIcon Miniatura(const QByteArray &bytes, int lado) {
    QBuffer b;
    b.setData(bytes);
    QImageReader lector(&b);
    lector.setAutoTransform(true);
    const QSize tamano = lector.size();
    // JPEG decodes straight at the small size.
    if (tamano.isValid())
        lector.setScaledSize(tamano.scaled(lado, lado, Qt::KeepAspectRatio).expandedTo({1, 1}));
    return QIcon(QPixmap::fromImage(lector.read()));
}
} // namespace

PhotoStrip::PhotoStrip(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::PhotoStrip>()) {
    ui->setupUi(this);
    setAcceptDrops(true);
    ui->Lsfotos->setAcceptDrops(false);
    connect(ui->CdFotos, &QPushButton::clicked, this, &PhotoStrip::CdFotos_Click);
    connect(ui->CdQuitarFoto, &QPushButton::clicked, this, &PhotoStrip::CdQuitarFoto_Click);
    connect(ui->CdVerFoto, &QPushButton::clicked, this, &PhotoStrip::CdVerFoto_Click);
    connect(ui->Lsfotos, &QListWidget::itemActivated, this, &PhotoStrip::CdVerFoto_Click);
    ui->ChOriginales->setChecked(OpcionesActuales().originales);
    connect(ui->ChOriginales, &QCheckBox::toggled, this, &PhotoStrip::GuardarOriginales);
    const auto elegida = [this] {
        const bool hay = ui->Lsfotos->currentRow() >= 0;
        ui->CdQuitarFoto->setEnabled(hay);
        ui->CdVerFoto->setEnabled(hay);
    };
    connect(ui->Lsfotos, &QListWidget::currentRowChanged, this, elegida);
    elegida();
    Resumir();
}

PhotoStrip::~PhotoStrip() = default;

PhotoStore::Opciones PhotoStrip::OpcionesActuales() {
    if (OpcionesPrueba()) return *OpcionesPrueba();
    PhotoStore::Opciones o;
    const QSettings ajustes(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tritodex"),
                            QStringLiteral("Tritodex"));
    o.originales = ajustes.value(QStringLiteral("fotos/originales"), false).toBool();
    o.licencia = ajustes.value(QStringLiteral("fotos/licencia"), o.licencia).toString();
    o.autor = ajustes.value(QStringLiteral("fotos/autor")).toString();
    if (o.autor.isEmpty()) {
        // The default observer took them, unless the user says otherwise.
        ObserverStore observadores;
        const QString codigo = observadores.CodigoPredeterminado();
        if (const auto obs = codigo.isEmpty() ? std::nullopt : observadores.Cargar(codigo))
            o.autor = (obs->nombre + u' ' + obs->apellido).trimmed();
    }
    return o;
}

void PhotoStrip::GuardarPredeterminados(const QString &autor, const QString &licencia) {
    if (OpcionesPrueba()) {
        OpcionesPrueba()->autor = autor;
        OpcionesPrueba()->licencia = licencia;
        return;
    }
    QSettings ajustes(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tritodex"),
                      QStringLiteral("Tritodex"));
    ajustes.setValue(QStringLiteral("fotos/autor"), autor);
    ajustes.setValue(QStringLiteral("fotos/licencia"), licencia);
}

void PhotoStrip::GuardarOriginales(bool si) {
    if (OpcionesPrueba()) {
        OpcionesPrueba()->originales = si;
        return;
    }
    QSettings ajustes(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tritodex"),
                      QStringLiteral("Tritodex"));
    ajustes.setValue(QStringLiteral("fotos/originales"), si);
}

void PhotoStrip::setOpciones(const std::optional<PhotoStore::Opciones> &opciones) {
    OpcionesPrueba() = opciones;
}

void PhotoStrip::Resumir() {
    // What UnsavedChanges compares: the photos, their order, author and licence.
    QStringList resumen;
    for (const Foto &f : std::as_const(fotos_))
        resumen << f.sha256 + u'|' + f.autor + u'|' + f.licencia;
    ui->Lsfotos->setProperty("resumenCambios", resumen.join(u';'));
}

void PhotoStrip::Poner(const Foto &f, const QByteArray &bytes) {
    auto *item = new QListWidgetItem(Miniatura(bytes, ui->Lsfotos->iconSize().width()), f.nombre,
                                     ui->Lsfotos);
    item->setToolTip(f.nombre);
    fotos_ << f;
}

void PhotoStrip::Mostrar(const QList<Foto> &fotos) {
    Vaciar();
    Screen::RelojArena reloj;
    PhotoStore almacen;
    QStringList faltan;
    for (const Foto &f : fotos) {
        const auto bytes = almacen.Bytes(f.sha256);
        if (!bytes) faltan << f.nombre;
        Poner(f, bytes.value_or(QByteArray()));
    }
    Resumir();
    if (!faltan.isEmpty())
        MessageService::Mostrar(this,
                                QStringLiteral("No se encuentran las imágenes de estas fotos: %1. "
                                               "%2")
                                    .arg(faltan.join(QStringLiteral(", ")), almacen.error()),
                                QStringLiteral("Fotos"), QMessageBox::Warning);
}

void PhotoStrip::Vaciar() {
    ui->Lsfotos->clear();
    fotos_.clear();
    Resumir();
}

void PhotoStrip::Anadir(const QStringList &rutas) {
    if (rutas.isEmpty()) return;
    const bool vacia = fotos_.isEmpty();
    const PhotoStore::Opciones opciones = OpcionesActuales();
    QStringList rechazadas;
    {
        Progreso progreso(window(), QStringLiteral("Añadiendo fotos..."));
        const Avance avance = progreso.avance();
        for (qsizetype i = 0; i < rutas.size(); ++i) {
            if (!Avances::Seguir(avance, i, rutas.size())) break;
            QString error;
            const auto f = PhotoStore::Preparar(rutas[i], opciones, &error);
            if (!f) {
                rechazadas << error;
                continue;
            }
            const bool repetida = std::any_of(fotos_.cbegin(), fotos_.cend(),
                                              [&](const Foto &o) { return o.sha256 == f->sha256; });
            if (repetida) {
                rechazadas
                    << QStringLiteral("La foto %1 ya está en esta observación.").arg(f->nombre);
                continue;
            }
            Poner(*f, f->bytes);
        }
    }
    Resumir();
    if (!rechazadas.isEmpty())
        MessageService::Mostrar(
            this, QStringLiteral("No se han añadido estas fotos:\n\n") + rechazadas.join(u'\n'),
            QStringLiteral("Fotos"), QMessageBox::Warning);
    if (vacia && !fotos_.isEmpty() && alPrimera_) alPrimera_(fotos_.first());
}

void PhotoStrip::CdFotos_Click() {
    const MessageService::UserAction accion;
    Anadir(ChoiceService::ArchivosParaAbrir(
        this, QStringLiteral("Añadir fotos"),
        QStringLiteral("Fotos (*.jpg *.jpeg *.JPG *.JPEG *.png *.PNG *.heic *.HEIC);;Todos los "
                       "archivos (*)")));
}

void PhotoStrip::CdQuitarFoto_Click() {
    const int fila = ui->Lsfotos->currentRow();
    if (fila < 0) return;
    delete ui->Lsfotos->takeItem(fila);
    fotos_.removeAt(fila);
    Resumir();
}

void PhotoStrip::CdVerFoto_Click() {
    const int fila = ui->Lsfotos->currentRow();
    if (fila < 0) return;
    const MessageService::UserAction accion;
    QByteArray bytes = fotos_[fila].bytes;
    if (bytes.isEmpty()) {
        PhotoStore almacen;
        const auto leidos = almacen.Bytes(fotos_[fila].sha256);
        if (!leidos) {
            MessageService::Mostrar(this, almacen.error(), QStringLiteral("Fotos"),
                                    QMessageBox::Warning);
            return;
        }
        bytes = *leidos;
    }
    QPointer<PhotoStrip> vivo(this);
    ChoiceService::EnMonton<PhotoViewer> visor(fotos_[fila], bytes, this);
    if (ChoiceService::MostrarDialogo(visor.get()) != QDialog::Accepted || !vivo || !visor) return;
    const Foto leida = visor->Leida();
    fotos_[fila].autor = leida.autor;
    fotos_[fila].licencia = leida.licencia;
    if (visor->Predeterminados()) GuardarPredeterminados(leida.autor, leida.licencia);
    Resumir();
}

void PhotoStrip::dragEnterEvent(QDragEnterEvent *e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void PhotoStrip::dropEvent(QDropEvent *e) {
    QStringList rutas;
    for (const QUrl &u : e->mimeData()->urls())
        if (u.isLocalFile()) rutas << u.toLocalFile();
    e->acceptProposedAction();
    const MessageService::UserAction accion;
    Anadir(rutas);
}
