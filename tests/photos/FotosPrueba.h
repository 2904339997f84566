#pragma once

// Photographs written by the tests themselves: a picture drawn with Qt, then the Exif a
// camera would write, set through exiv2.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QString>
#include <cmath>
#include <optional>

#include <exiv2/exiv2.hpp>

namespace FotosPrueba {

struct Exif {
    QString fecha;   // "2024:05:03 10:15:30" as cameras write it
    QString desfase; // "+02:00"
    std::optional<double> latitud, longitud, precision;
    int orientacion = 0; // 0: not written
    QString marca;       // anything, so that the Exif block is not empty
};

// Degrees as cameras write them: degrees, minutes and seconds to the ten-thousandth.
inline Exiv2::URationalValue Grados(double v) {
    v = std::abs(v);
    const int g = int(v);
    const int m = int((v - g) * 60);
    const double s = ((v - g) * 60 - m) * 60;
    Exiv2::URationalValue r;
    r.value_ = {{uint32_t(g), 1}, {uint32_t(m), 1}, {uint32_t(std::lround(s * 10000)), 10000}};
    return r;
}

// A picture whose left half is red and right half blue, so that turns can be seen.
inline QImage Dibujo(int ancho, int alto) {
    QImage i(ancho, alto, QImage::Format_RGB32);
    i.fill(Qt::blue);
    QPainter(&i).fillRect(0, 0, ancho / 2, alto, Qt::red);
    return i;
}

inline QByteArray Codificar(const QImage &imagen, const char *formato = "jpeg") {
    QByteArray b;
    QBuffer buf(&b);
    buf.open(QIODevice::WriteOnly);
    imagen.save(&buf, formato, 95);
    return b;
}

inline QByteArray ConExif(QByteArray bytes, const Exif &e) {
    auto imagen = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(bytes.data()),
                                            long(bytes.size()));
    Exiv2::ExifData exif;
    if (!e.marca.isEmpty()) exif["Exif.Image.Make"] = e.marca.toStdString();
    if (!e.fecha.isEmpty()) exif["Exif.Photo.DateTimeOriginal"] = e.fecha.toStdString();
    if (!e.desfase.isEmpty()) {
        Exiv2::AsciiValue v(e.desfase.toStdString());
        exif.add(Exiv2::ExifKey(0x9011, "Photo"), &v);
    }
    if (e.latitud) {
        exif["Exif.GPSInfo.GPSLatitudeRef"] = *e.latitud < 0 ? "S" : "N";
        exif["Exif.GPSInfo.GPSLatitude"] = Grados(*e.latitud);
        exif["Exif.GPSInfo.GPSLongitudeRef"] = *e.longitud < 0 ? "W" : "E";
        exif["Exif.GPSInfo.GPSLongitude"] = Grados(*e.longitud);
    }
    if (e.precision) {
        Exiv2::URationalValue p;
        p.value_ = {{uint32_t(std::lround(*e.precision * 100)), 100}};
        exif.add(Exiv2::ExifKey(0x001f, "GPSInfo"), &p);
    }
    if (e.orientacion) exif["Exif.Image.Orientation"] = uint16_t(e.orientacion);
    imagen->setExifData(exif);
    imagen->writeMetadata();
    Exiv2::BasicIo &io = imagen->io();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf d = io.read(long(io.size()));
    return QByteArray(reinterpret_cast<const char *>(d.pData_), d.size_);
}

inline QByteArray Foto(const Exif &e, int ancho = 64, int alto = 48, const char *formato = "jpeg") {
    return ConExif(Codificar(Dibujo(ancho, alto), formato), e);
}

// The Exif block's TIFF header broken: the byte-order mark of its first bytes.
inline QByteArray Danada(QByteArray jpeg) {
    const qsizetype i = jpeg.indexOf(QByteArray("Exif\0\0", 6));
    if (i >= 0) jpeg.replace(i + 6, 4, "XX\0\0");
    return jpeg;
}

} // namespace FotosPrueba
