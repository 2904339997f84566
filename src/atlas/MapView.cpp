#include "MapView.h"

#include "atlas/MapDrawing.h"

#include <QDate>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

MapView::MapView(QWidget *parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumSize(300, 250);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xdd, 0xe8, 0xf0));
    setPalette(pal);
}

void MapView::Poner(const MapGrid *grid, const MapResult *resultado) {
    grid_ = grid;
    resultado_ = resultado;
    fondo_ = encima_ = QImage();
    update();
}

QTransform MapView::Transformacion() const {
    if (!grid_) return QTransform();
    return MapDrawing::Ajustar(*grid_, QRectF(rect()).adjusted(4, 4, -4, -4)) *
           QTransform(zoom_, 0, 0, zoom_, desplaza_.x(), desplaza_.y());
}

int MapView::CuadradoEn(const QPointF &punto) const {
    if (!grid_) return -1;
    bool invertible = false;
    const QPointF q = Transformacion().inverted(&invertible).map(punto);
    return invertible ? grid_->CuadradoEn({q.x(), q.y()}) : -1;
}

QPointF MapView::PuntoDe(int cuadrado) const {
    if (!grid_ || cuadrado < 0 || size_t(cuadrado) >= grid_->Cuadrados().size()) return {};
    const MapPoint c = grid_->Cuadrados()[size_t(cuadrado)].centro;
    return Transformacion().map(QPointF(c.x, c.y));
}

QString MapView::TextoCuadrado(int cuadrado) const {
    if (!grid_ || cuadrado < 0) return QString();
    const MapGrid::Cuadrado &c = grid_->Cuadrados()[size_t(cuadrado)];
    QString texto = QStringLiteral("%1 (huso %2)").arg(c.codigo).arg(c.huso);
    const MapResult::Celda *celda = resultado_ ? resultado_->CeldaDe(cuadrado) : nullptr;
    if (!celda) return texto + QStringLiteral("\nSin registros");
    texto +=
        QStringLiteral("\nRegistros: %1\nEspecies: %2").arg(celda->registros).arg(celda->especies);
    const QDate d = QDate::fromString(celda->ultima.left(10), Qt::ISODate);
    if (d.isValid())
        texto += QStringLiteral("\nÚltimo registro: ") + d.toString(QStringLiteral("dd/MM/yyyy"));
    return texto;
}

QImage MapView::Capa(const QTransform &t,
                     void (*dibujar)(QPainter &, const QTransform &, const MapGrid &)) const {
    const qreal dpr = devicePixelRatioF();
    QImage capa(size() * dpr, QImage::Format_ARGB32_Premultiplied);
    capa.setDevicePixelRatio(dpr);
    capa.fill(Qt::transparent);
    QPainter p(&capa);
    dibujar(p, t, *grid_);
    return capa;
}

void MapView::paintEvent(QPaintEvent *) {
    if (!grid_) return;
    const QTransform t = Transformacion();
    if (fondo_.isNull() || t != capasT_ || size() != capasTam_) {
        fondo_ = Capa(t, MapDrawing::Fondo);
        encima_ = Capa(t, MapDrawing::Encima);
        capasT_ = t;
        capasTam_ = size();
    }
    QPainter p(this);
    p.drawImage(QPointF(0, 0), fondo_);
    if (resultado_) MapDrawing::Celdas(p, t, *grid_, *resultado_);
    p.drawImage(QPointF(0, 0), encima_);
    if (resultado_) MapDrawing::Mensaje(p, t, *grid_, *resultado_);
}

void MapView::wheelEvent(QWheelEvent *e) {
    const double f = std::pow(1.0015, e->angleDelta().y());
    const double nuevo = std::clamp(zoom_ * f, 1.0, 60.0);
    const double real = nuevo / zoom_;
    const QPointF m = e->position();
    // The point under the pointer stays under it.
    desplaza_ = m - (m - desplaza_) * real;
    zoom_ = nuevo;
    if (zoom_ == 1.0) desplaza_ = QPointF();
    update();
    e->accept();
}

void MapView::mousePressEvent(QMouseEvent *e) {
    if (e->button() != Qt::LeftButton) return;
    pulsado_ = ultimo_ = e->position();
    arrastrando_ = false;
}

void MapView::mouseMoveEvent(QMouseEvent *e) {
    if (e->buttons() & Qt::LeftButton) {
        if ((e->position() - pulsado_).manhattanLength() > 4) arrastrando_ = true;
        if (arrastrando_) {
            desplaza_ += e->position() - ultimo_;
            ultimo_ = e->position();
            update();
        }
    }
}

void MapView::mouseReleaseEvent(QMouseEvent *e) {
    if (e->button() != Qt::LeftButton) return;
    if (!arrastrando_) {
        const int c = CuadradoEn(e->position());
        if (c >= 0) emit cuadradoElegido(c);
    }
    arrastrando_ = false;
}

bool MapView::event(QEvent *e) {
    if (e->type() == QEvent::ToolTip) {
        auto *h = static_cast<QHelpEvent *>(e);
        const QString texto = TextoCuadrado(CuadradoEn(h->pos()));
        if (texto.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(h->globalPos(), texto, this);
        return true;
    }
    return QWidget::event(e);
}
