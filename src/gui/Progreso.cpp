#include "Progreso.h"

#include <QApplication>
#include <QProgressDialog>

namespace {

int gCancelarEn = 0;
QList<Progreso::Visto> gVistos;

// Reports closer than this only count: redrawing on every row would slow the task itself.
constexpr qint64 kIntervaloMs = 100;
constexpr int kEscala = 1000;

} // namespace

Progreso::Progreso(QWidget *padre, const QString &texto) {
    dialogo_ = new QProgressDialog(texto, QStringLiteral("Cancelar"), 0, kEscala, padre);
    dialogo_->setObjectName(QStringLiteral("progreso"));
    dialogo_->setWindowTitle(QStringLiteral("Tritodex"));
    dialogo_->setWindowModality(Qt::ApplicationModal);
    dialogo_->setMinimumDuration(2000);
    dialogo_->setAutoClose(false);
    dialogo_->setAutoReset(false);
    dialogo_->setValue(0);
    QObject::connect(dialogo_, &QProgressDialog::canceled, [this] { cancelado_ = true; });
    cancelarEn_ = std::exchange(gCancelarEn, 0);
    indice_ = gVistos.size();
    gVistos.append({texto, 0, false});
    reloj_.start();
}

Progreso::~Progreso() {
    if (dialogo_) {
        dialogo_->hide();
        delete dialogo_;
    }
}

void Progreso::Texto(const QString &texto) {
    if (dialogo_) dialogo_->setLabelText(texto);
    if (indice_ >= 0 && indice_ < gVistos.size()) gVistos[indice_].texto = texto;
}

Avance Progreso::avance() {
    return [this](qint64 hecho, qint64 total) { return Informar(hecho, total); };
}

bool Progreso::Informar(qint64 hecho, qint64 total) {
    if (indice_ >= 0 && indice_ < gVistos.size()) {
        Visto &v = gVistos[indice_];
        ++v.informes;
        if (cancelarEn_ > 0 && v.informes >= cancelarEn_ && dialogo_) dialogo_->cancel();
        // QProgressDialog::cancel() raises its flag without emitting canceled().
        if (dialogo_ && dialogo_->wasCanceled()) cancelado_ = true;
        v.cancelado = cancelado_;
    }
    if (cancelado_) return false;
    const qint64 ahora = reloj_.elapsed();
    if (ultimo_ >= 0 && ahora - ultimo_ < kIntervaloMs) return true;
    ultimo_ = ahora;
    if (dialogo_) {
        if (total <= 0) {
            dialogo_->setRange(0, 0);
        } else {
            dialogo_->setRange(0, kEscala);
            const qint64 parte = std::clamp<qint64>(hecho, 0, total);
            dialogo_->setValue(int(parte * kEscala / total));
        }
    }
    // The window appears, and its button is heard, only while events are processed.
    QApplication::processEvents();
    return !cancelado_;
}

void Progreso::CancelarEn(int informe) {
    gCancelarEn = informe;
}

QList<Progreso::Visto> Progreso::Vistos() {
    return gVistos;
}

void Progreso::Limpiar() {
    gVistos.clear();
}
