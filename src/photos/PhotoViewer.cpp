#include "PhotoViewer.h"

#include "data/ModBaseDatos.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "ui_PhotoViewer.h"

#include <QPixmap>

namespace {
QString Grados(double v) {
    return QString::number(v, 'f', 6);
}
} // namespace

PhotoViewer::PhotoViewer(const Foto &foto, const QByteArray &bytes, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::PhotoViewer>()), foto_(foto) {
    ui->setupUi(this);
    setWindowTitle(foto.nombre);
    imagen_ = QImage::fromData(bytes);
    const QDateTime t = foto.Tomada();
    QString fecha = t.isValid() ? t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) : QString();
    if (t.isValid() && foto.fecha.size() > 19)
        fecha += QStringLiteral(" (UTC%1)").arg(foto.fecha.mid(19));
    ui->Lbfecha->setText(t.isValid() ? fecha : QStringLiteral("desconocida"));
    QString posicion = QStringLiteral("desconocida");
    if (foto.TienePosicion()) {
        posicion = QStringLiteral("%1, %2").arg(Grados(*foto.latitud), Grados(*foto.longitud));
        if (foto.incertidumbre)
            posicion += QStringLiteral(" (± %1 m)").arg(QString::number(*foto.incertidumbre));
    }
    ui->Lbposicion->setText(posicion);
    ui->Txautor->setText(foto.autor);
    ui->Txlicencia->setText(foto.licencia);
    ModBaseDatos::LimitarLongitud(ui->Txautor, ModBaseDatos::kMaximoTexto);
    ModBaseDatos::LimitarLongitud(ui->Txlicencia, ModBaseDatos::kMaximoTexto);
    connect(ui->CdAmpliar, &QPushButton::clicked, this, &PhotoViewer::CdAmpliar_Click);
    connect(ui->CdReducir, &QPushButton::clicked, this, &PhotoViewer::CdReducir_Click);
    connect(ui->CdAjustar, &QPushButton::clicked, this, &PhotoViewer::CdAjustar_Click);
    connect(ui->CdAceptar, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->CdCancelar, &QPushButton::clicked, this, &QDialog::reject);
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->CdCancelar);
    CdAjustar_Click();
}

PhotoViewer::~PhotoViewer() = default;

Foto PhotoViewer::Leida() const {
    Foto f = foto_;
    f.autor = ui->Txautor->text();
    f.licencia = ui->Txlicencia->text();
    return f;
}

bool PhotoViewer::Predeterminados() const {
    return ui->ChPredeterminados->isChecked();
}

void PhotoViewer::Escalar(double escala) {
    if (imagen_.isNull()) return;
    escala_ = std::clamp(escala, 0.05, 8.0);
    const QSize tamano = (QSizeF(imagen_.size()) * escala_).toSize().expandedTo(QSize(1, 1));
    ui->Imagen->setPixmap(QPixmap::fromImage(
        imagen_.scaled(tamano, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    ui->Imagen->resize(tamano);
    ui->Lbzoom->setText(QStringLiteral("%1 %").arg(qRound(escala_ * 100)));
}

void PhotoViewer::CdAmpliar_Click() {
    Escalar(escala_ * 1.25);
}

void PhotoViewer::CdReducir_Click() {
    Escalar(escala_ / 1.25);
}

void PhotoViewer::CdAjustar_Click() {
    if (imagen_.isNull()) return;
    const QSize visible = ui->Marco->viewport()->size() - QSize(4, 4);
    Escalar(std::min({1.0, double(visible.width()) / imagen_.width(),
                      double(visible.height()) / imagen_.height()}));
}
