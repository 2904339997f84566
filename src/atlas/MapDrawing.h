#pragma once

#include "atlas/AtlasStore.h"
#include "atlas/MapGrid.h"

#include <QColor>
#include <QRectF>
#include <QTransform>

class QPainter;

// Drawing the distribution map: the same on screen and in the exported files.
namespace MapDrawing {

// Fill of a class: three recency colours for one species, five greens for richness.
QColor ColorClase(bool unaEspecie, int clase);
// The legend's entries: colour and text.
QList<QPair<QColor, QString>> Leyenda(bool unaEspecie, const ClasesMapa &clases);
// Plane to device, the whole map fitted into the rectangle, north up.
QTransform Ajustar(const MapGrid &grid, const QRectF &destino);
// Land, province lines, the grid lightly over the land, the filled squares and the inset's
// frame; "Sin registros" over the map when nothing passed the filters.
void Dibujar(QPainter &p, const QTransform &t, const MapGrid &grid, const MapResult *r);
// The same in layers, so that a screen can keep what does not change with the records:
// the land below the squares, the squares, the grid and lines above them, the message.
void Fondo(QPainter &p, const QTransform &t, const MapGrid &grid);
void Celdas(QPainter &p, const QTransform &t, const MapGrid &grid, const MapResult &r);
void Encima(QPainter &p, const QTransform &t, const MapGrid &grid);
void Mensaje(QPainter &p, const QTransform &t, const MapGrid &grid, const MapResult &r);
// Where a page puts the map, beside the title and the legend.
QRectF ZonaMapa(const QRectF &pagina);
// A page for the files: title, the map and the legend with the counts beside it.
void Pagina(QPainter &p, const QRectF &pagina, const MapGrid &grid, const MapResult &r,
            const ClasesMapa &clases, const QString &titulo);

} // namespace MapDrawing
