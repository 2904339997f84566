#pragma once

#include "atlas/AtlasStore.h"
#include "atlas/MapGrid.h"

#include <QImage>
#include <QPointF>
#include <QTransform>
#include <QWidget>

// The map on screen: the wheel zooms about the pointer, dragging pans, hovering a square
// tells its code and counts, a click chooses it.
class MapView : public QWidget {
    Q_OBJECT
public:
    explicit MapView(QWidget *parent = nullptr);

    void Poner(const MapGrid *grid, const MapResult *resultado);
    // The square under a point of the widget, or -1.
    int CuadradoEn(const QPointF &punto) const;
    // Where a square's centre is drawn now.
    QPointF PuntoDe(int cuadrado) const;
    // The hover text of a square.
    QString TextoCuadrado(int cuadrado) const;
    double zoom() const { return zoom_; }

signals:
    void cuadradoElegido(int cuadrado);

protected:
    void paintEvent(QPaintEvent *) override;
    void wheelEvent(QWheelEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    bool event(QEvent *e) override;

private:
    QTransform Transformacion() const;
    QImage Capa(const QTransform &t,
                void (*dibujar)(QPainter &, const QTransform &, const MapGrid &)) const;

    const MapGrid *grid_ = nullptr;
    const MapResult *resultado_ = nullptr;
    double zoom_ = 1;
    QPointF desplaza_;
    QPointF pulsado_, ultimo_;
    bool arrastrando_ = false;
    // What does not change with the records, kept while the view stays where it is.
    QImage fondo_, encima_;
    QTransform capasT_;
    QSize capasTam_;
};
