#include "gui/TitleImage.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>

namespace {

// A marbled newt seen from above, head to the right, drawn around the origin.
void PintarTriton(QPainter &p) {
    const QColor verde(70, 110, 40), oscuro(30, 40, 20), vientre(225, 120, 30);
    QPainterPath cola;
    cola.moveTo(-40, -9);
    cola.cubicTo(-90, -20, -130, 5, -175, -12);
    cola.cubicTo(-135, 15, -90, 12, -40, 9);
    cola.closeSubpath();
    QPainterPath cuerpo;
    cuerpo.addEllipse(QPointF(0, 0), 52, 15);
    QPainterPath cabeza;
    cabeza.addEllipse(QPointF(58, 0), 20, 14);
    p.setPen(QPen(oscuro, 2));
    // Legs, splayed as in a walking newt.
    for (const auto &[x, s] : {std::pair{30, 1}, {30, -1}, {-28, 1}, {-28, -1}}) {
        QPainterPath pata;
        pata.moveTo(x, 8 * s);
        pata.cubicTo(x + 10, 26 * s, x + 22, 30 * s, x + 26, 38 * s);
        p.setPen(QPen(verde.darker(120), 7, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(pata);
        p.setPen(QPen(oscuro, 2));
        for (int d = -1; d <= 1; ++d)
            p.drawLine(QPointF(x + 26, 38 * s), QPointF(x + 30 + 4 * d, (44 + 2 * d) * s));
    }
    p.setPen(QPen(oscuro, 2));
    p.setBrush(verde);
    p.drawPath(cola);
    p.drawPath(cuerpo);
    p.drawPath(cabeza);
    // Orange dorsal stripe and dark marbling.
    p.setPen(QPen(vientre, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(-120, -3), QPointF(60, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(oscuro);
    const QPointF manchas[] = {{-30, -8}, {-12, 7},  {8, -9},   {24, 6}, {40, -6},
                               {-60, 4},  {-85, -4}, {-105, 5}, {52, 7}, {-45, 8}};
    for (const QPointF &m : manchas)
        p.drawEllipse(m, 5, 3.5);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(66, -8), 2.5, 2.5);
    p.drawEllipse(QPointF(66, 8), 2.5, 2.5);
}

QImage Pintar() {
    QImage imagen(709, 271, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&imagen);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient cielo(0, 0, 0, 271);
    cielo.setColorAt(0, QColor(232, 226, 170));
    cielo.setColorAt(0.55, QColor(170, 170, 90));
    cielo.setColorAt(1, QColor(96, 104, 44));
    p.fillRect(imagen.rect(), cielo);

    // Sierra in the distance, then a nearer hill.
    p.setPen(Qt::NoPen);
    QPainterPath sierra;
    sierra.moveTo(0, 170);
    const int picos[][2] = {{60, 120},  {130, 150}, {210, 95},  {290, 140}, {360, 110},
                            {450, 150}, {520, 100}, {610, 135}, {709, 115}};
    for (const auto &pt : picos)
        sierra.lineTo(pt[0], pt[1]);
    sierra.lineTo(709, 271);
    sierra.lineTo(0, 271);
    p.setBrush(QColor(120, 128, 70, 200));
    p.drawPath(sierra);
    QPainterPath colina;
    colina.moveTo(0, 210);
    colina.cubicTo(200, 160, 420, 230, 709, 185);
    colina.lineTo(709, 271);
    colina.lineTo(0, 271);
    p.setBrush(QColor(80, 92, 38));
    p.drawPath(colina);

    // A pond with reeds, where the newt walks out.
    QRadialGradient agua(QPointF(560, 238), 120);
    agua.setColorAt(0, QColor(120, 160, 170));
    agua.setColorAt(1, QColor(60, 90, 90));
    p.setBrush(agua);
    p.drawEllipse(QPointF(560, 240), 135, 26);
    p.setPen(QPen(QColor(60, 70, 25), 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 9; ++i) {
        const qreal x = 440 + i * 9 + (i % 3) * 4;
        p.drawLine(QPointF(x, 240), QPointF(x - 6 + i % 4 * 3, 178 + (i % 4) * 9));
    }

    p.save();
    p.translate(250, 232);
    p.rotate(-6);
    p.scale(0.8, 0.8);
    PintarTriton(p);
    p.restore();

    QFont titulo(QStringLiteral("DejaVu Serif"), 50, QFont::Bold);
    titulo.setItalic(true);
    p.setFont(titulo);
    p.setPen(QColor(40, 48, 18, 110));
    p.drawText(QRect(33, 23, 680, 90), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Tritodex"));
    p.setPen(QColor(250, 246, 220));
    p.drawText(QRect(30, 20, 680, 90), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Tritodex"));
    QFont sub(QStringLiteral("DejaVu Sans"), 13);
    p.setFont(sub);
    p.setPen(QColor(45, 52, 20));
    p.drawText(QRect(36, 104, 660, 30), Qt::AlignLeft,
               QStringLiteral("Observaciones de anfibios y reptiles de España"));
    p.end();
    return imagen;
}

} // namespace

// Drawn once: every form that shows it opens faster.
QPixmap TitleImage() {
    static const QImage imagen = Pintar();
    return QPixmap::fromImage(imagen);
}

namespace {

// The icon on a 256-unit square, whatever the device.
void PintarIcono(QPainter &p) {
    p.setRenderHint(QPainter::Antialiasing);
    // A rounded tile of pond water under a light sky, as in the title picture.
    QLinearGradient fondo(0, 0, 0, 256);
    fondo.setColorAt(0, QColor(232, 226, 170));
    fondo.setColorAt(0.5, QColor(150, 175, 150));
    fondo.setColorAt(1, QColor(60, 90, 90));
    p.setPen(QPen(QColor(60, 70, 25), 6));
    p.setBrush(fondo);
    p.drawRoundedRect(QRectF(6, 6, 244, 244), 44, 44);
    // The newt, climbing across the tile from lower left to upper right.
    p.translate(138, 132);
    p.rotate(-38);
    p.scale(0.92, 0.92);
    PintarTriton(p);
}

} // namespace

QImage ProgramIconImage(int lado) {
    QImage imagen(lado, lado, QImage::Format_ARGB32_Premultiplied);
    imagen.fill(Qt::transparent);
    QPainter p(&imagen);
    p.scale(lado / 256.0, lado / 256.0);
    PintarIcono(p);
    p.end();
    return imagen;
}

QByteArray ProgramIconSvg() {
    QBuffer buffer;
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(256, 256));
    svg.setViewBox(QRect(0, 0, 256, 256));
    svg.setTitle(QStringLiteral("Tritodex"));
    QPainter p(&svg);
    PintarIcono(p);
    p.end();
    return buffer.data();
}

QIcon ProgramIcon() {
    QIcon icono;
    for (const int lado : {16, 24, 32, 48, 64, 128, 256})
        icono.addPixmap(QPixmap::fromImage(ProgramIconImage(lado)));
    return icono;
}
