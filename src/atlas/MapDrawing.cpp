#include "MapDrawing.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace MapDrawing {

namespace {

// A shape of the map's plane, placed by t as it is copied.
QPolygonF Poligono(const PoligonoMapa &p, const QTransform &t) {
    QPolygonF r;
    r.reserve(qsizetype(p.size()));
    for (const MapPoint &q : p)
        r << t.map(QPointF(q.x, q.y));
    return r;
}

} // namespace

QColor ColorClase(bool unaEspecie, int clase) {
    // Even the lowest class stands out from the land, on screen and in a grey print: each
    // class differs from the one below it (the land below the lowest) by a luminance
    // contrast of 1.4 or more.
    static const QColor recientes[3] = {QColor(0xfd, 0xae, 0x61), QColor(0xe8, 0x55, 0x3a),
                                        QColor(0xa5, 0x0f, 0x15)};
    static const QColor riqueza[ClasesMapa::kClasesRiqueza] = {
        QColor(0x9f, 0xcd, 0x4c), QColor(0x5d, 0xb1, 0x58), QColor(0x2e, 0x8b, 0x47),
        QColor(0x17, 0x69, 0x3a), QColor(0x00, 0x44, 0x1b)};
    if (unaEspecie) return recientes[std::clamp(clase, 0, 2)];
    return riqueza[std::clamp(clase, 0, ClasesMapa::kClasesRiqueza - 1)];
}

QList<QPair<QColor, QString>> Leyenda(bool unaEspecie, const ClasesMapa &clases) {
    QList<QPair<QColor, QString>> r;
    if (unaEspecie) {
        r << qMakePair(ColorClase(true, 0),
                       QStringLiteral("Último registro antes de %1").arg(clases.corte1))
          << qMakePair(ColorClase(true, 1), QStringLiteral("Último registro de %1 a %2")
                                                .arg(clases.corte1)
                                                .arg(clases.corte2 - 1))
          << qMakePair(ColorClase(true, 2),
                       QStringLiteral("Último registro desde %1").arg(clases.corte2));
    } else {
        for (int c = 0; c < ClasesMapa::kClasesRiqueza; ++c)
            r << qMakePair(ColorClase(false, c),
                           ClasesMapa::RangoRiqueza(c) +
                               (c == 0 ? QStringLiteral(" especie") : QStringLiteral(" especies")));
    }
    return r;
}

QTransform Ajustar(const MapGrid &grid, const QRectF &destino) {
    const MapRect e = grid.Extension();
    const double ancho = e.x1 - e.x0, alto = e.y1 - e.y0;
    if (ancho <= 0 || alto <= 0 || destino.isEmpty()) return QTransform();
    const double escala = std::min(destino.width() / ancho, destino.height() / alto);
    const double mx = destino.left() + (destino.width() - ancho * escala) / 2;
    const double my = destino.top() + (destino.height() - alto * escala) / 2;
    // x' = (x - x0) * s + mx; y' = (y1 - y) * s + my
    return QTransform(escala, 0, 0, -escala, mx - e.x0 * escala, my + e.y1 * escala);
}

namespace {

QPainterPath Tierra(const QTransform &t, const MapGrid &grid) {
    QPainterPath tierra;
    tierra.setFillRule(Qt::OddEvenFill);
    for (const MapGrid::Contorno &c : grid.Contornos())
        tierra.addPolygon(Poligono(c.anillo, t));
    return tierra;
}

} // namespace

void Fondo(QPainter &p, const QTransform &t, const MapGrid &grid) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf4, 0xf1, 0xea));
    p.drawPath(Tierra(t, grid));
    p.restore();
}

void Celdas(QPainter &p, const QTransform &t, const MapGrid &grid, const MapResult &r) {
    // One shape a square: the raster engine fills a small convex polygon far faster than
    // one path of a colour's every square.
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    for (const MapResult::Celda &c : r.celdas) {
        p.setBrush(ColorClase(r.unaEspecie, c.clase));
        p.drawPolygon(Poligono(grid.Cuadrados()[size_t(c.cuadrado)].poligono, t));
    }
    p.restore();
}

void Encima(QPainter &p, const QTransform &t, const MapGrid &grid) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    // The grid, lightly, as one shape.
    QPainterPath malla;
    for (const MapGrid::Cuadrado &c : grid.Cuadrados())
        malla.addPolygon(Poligono(c.poligono, t));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(150, 150, 150, 110), 0));
    p.drawPath(malla);
    // Province lines over the squares, so the land's shape stays readable.
    p.setPen(QPen(QColor(90, 90, 90), 0));
    p.drawPath(Tierra(t, grid));
    const MapRect rc = grid.Recuadro();
    p.setPen(QPen(QColor(60, 60, 60), 0));
    p.drawRect(t.mapRect(QRectF(QPointF(rc.x0, rc.y0), QPointF(rc.x1, rc.y1))).normalized());
    p.restore();
}

void Mensaje(QPainter &p, const QTransform &t, const MapGrid &grid, const MapResult &r) {
    if (r.registros != 0) return;
    p.save();
    const MapRect e = grid.Extension();
    const QRectF zona = t.mapRect(QRectF(QPointF(e.x0, e.y0), QPointF(e.x1, e.y1))).normalized();
    QFont f = p.font();
    f.setPointSizeF(std::max(8.0, zona.height() / 25));
    p.setFont(f);
    p.setPen(QColor(120, 0, 0));
    p.drawText(zona, Qt::AlignCenter, QStringLiteral("Sin registros"));
    p.restore();
}

void Dibujar(QPainter &p, const QTransform &t, const MapGrid &grid, const MapResult *r) {
    Fondo(p, t, grid);
    if (r) Celdas(p, t, grid, *r);
    Encima(p, t, grid);
    if (r) Mensaje(p, t, grid, *r);
}

QRectF ZonaMapa(const QRectF &pagina) {
    const double margen = pagina.height() / 40, lineaTitulo = pagina.height() / 22;
    const double anchoLeyenda = pagina.width() * 0.26;
    const double arriba = pagina.top() + 2 * margen + lineaTitulo;
    return QRectF(pagina.left() + margen, arriba, pagina.width() - 3 * margen - anchoLeyenda,
                  pagina.bottom() - margen - arriba);
}

void Pagina(QPainter &p, const QRectF &pagina, const MapGrid &grid, const MapResult &r,
            const ClasesMapa &clases, const QString &titulo) {
    p.save();
    p.fillRect(pagina, Qt::white);
    const double margen = pagina.height() / 40;
    const double lineaTitulo = pagina.height() / 22;
    QFont f = p.font();
    f.setPixelSize(std::max(6, int(lineaTitulo * 0.6)));
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::black);
    const QRectF zonaTitulo(pagina.left() + margen, pagina.top() + margen,
                            pagina.width() - 2 * margen, lineaTitulo);
    p.drawText(zonaTitulo, Qt::AlignLeft | Qt::AlignVCenter, titulo);

    const double anchoLeyenda = pagina.width() * 0.26;
    const QRectF zonaMapa = ZonaMapa(pagina);
    Dibujar(p, Ajustar(grid, zonaMapa), grid, &r);

    // The legend and the counts.
    f.setBold(false);
    const double linea = std::max(8.0, pagina.height() / 34);
    f.setPixelSize(std::max(5, int(linea * 0.55)));
    p.setFont(f);
    double y = zonaMapa.top();
    const double x = zonaMapa.right() + margen;
    for (const auto &[color, texto] : Leyenda(r.unaEspecie, clases)) {
        p.setPen(QColor(90, 90, 90));
        p.setBrush(color);
        p.drawRect(QRectF(x, y + linea * 0.15, linea * 0.7, linea * 0.7));
        p.setPen(Qt::black);
        p.drawText(QRectF(x + linea, y, anchoLeyenda - linea, linea), Qt::AlignVCenter, texto);
        y += linea;
    }
    y += linea / 2;
    const QList<QPair<QString, int>> cuentas = {
        {QStringLiteral("Cuadrados con registros"), int(r.celdas.size())},
        {QStringLiteral("Registros"), r.registros},
        {QStringLiteral("Especies"), r.especies},
        {QStringLiteral("Sin cuadrícula de 10 km"), r.sinCuadricula},
        {QStringLiteral("Con cuadrado desconocido"), r.desconocidos}};
    for (const auto &[texto, n] : cuentas) {
        p.drawText(QRectF(x, y, anchoLeyenda, linea), Qt::AlignVCenter,
                   QStringLiteral("%1: %2").arg(texto).arg(n));
        y += linea;
    }
    y += linea / 2;
    f.setPixelSize(std::max(5, int(linea * 0.4)));
    p.setFont(f);
    p.drawText(QRectF(x, y, anchoLeyenda, linea * 2), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("Cuadrículas UTM 10 km ETRS89. Límites: © Instituto Geográfico "
                              "Nacional (CC BY 4.0), es-atlas."));
    p.restore();
}

} // namespace MapDrawing
