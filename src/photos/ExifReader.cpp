#include "ExifReader.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <exiv2/exiv2.hpp>

#include <cmath>
#include <mutex>

namespace ExifReader {
namespace {

// exiv2 reports damage through its log (and goes on with what it could read): the
// messages of one reading are counted here instead of being printed.
thread_local int danos = 0;

void Registro(int nivel, const char *texto) {
    const std::string s = texto ? texto : "";
    // Warnings about a maker's private notes are common in sound files: only a block that
    // could not be decoded at all counts, besides errors.
    if (nivel >= Exiv2::LogMsg::error || s.find("Failed to decode") != std::string::npos) ++danos;
}

void Preparar() {
    static std::once_flag una;
    std::call_once(una, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
        Exiv2::LogMsg::setHandler(Registro);
        Exiv2::enableBMFF(true);
    });
}

std::optional<Formato> FormatoDe(const QByteArray &b) {
    if (b.startsWith("\xFF\xD8\xFF")) return Formato::Jpeg;
    if (b.startsWith("\x89PNG\r\n\x1A\n")) return Formato::Png;
    if (b.size() >= 12 && b.mid(4, 4) == "ftyp") {
        const QByteArray marca = b.mid(8, 4);
        for (const char *m : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"})
            if (marca == m) return Formato::Heic;
    }
    return std::nullopt;
}

// Whether the JPEG carries an Exif segment (APP1 "Exif\0\0") before its image data.
bool JpegConExif(const QByteArray &b) {
    qsizetype i = 2;
    while (i + 4 <= b.size()) {
        if (uchar(b[i]) != 0xFF) return false;
        const uchar marca = uchar(b[i + 1]);
        if (marca == 0xFF) {
            ++i;
            continue;
        }
        if (marca == 0xDA || marca == 0xD9) return false;
        const int largo = (uchar(b[i + 2]) << 8) | uchar(b[i + 3]);
        if (marca == 0xE1 && b.mid(i + 4, 6) == QByteArray("Exif\0\0", 6)) return true;
        if (largo < 2) return false;
        i += 2 + largo;
    }
    return false;
}

const Exiv2::Exifdatum *Buscar(const Exiv2::ExifData &exif, const Exiv2::ExifKey &clave) {
    const auto it = exif.findKey(clave);
    return it == exif.end() ? nullptr : &*it;
}

QString Texto(const Exiv2::Exifdatum *d) {
    if (!d) return {};
    return QString::fromStdString(d->toString()).remove(QChar(0)).trimmed();
}

// A rational of the datum as a number; nothing when it is not one.
std::optional<double> Racional(const Exiv2::Exifdatum &d, long n) {
    if (d.count() <= n) return std::nullopt;
    const Exiv2::Rational r = d.toRational(n);
    if (r.second == 0) return std::nullopt;
    if (d.typeId() == Exiv2::unsignedRational)
        return double(uint32_t(r.first)) / double(uint32_t(r.second));
    return double(r.first) / double(r.second);
}

// Degrees, minutes and seconds with their hemisphere; false when damaged.
bool Coordenada(const Exiv2::ExifData &exif, const char *valor, const char *referencia,
                const char *negativa, double limite, std::optional<double> *grados) {
    const auto *v = Buscar(exif, Exiv2::ExifKey(valor));
    const auto *r = Buscar(exif, Exiv2::ExifKey(referencia));
    if (!v && !r) return true;
    if (!v || !r || v->count() != 3) return false;
    const QString hemisferio = Texto(r).toUpper();
    const QString norte = QString::fromLatin1(referencia).contains(QLatin1String("Latitude"))
                              ? QStringLiteral("N")
                              : QStringLiteral("E");
    if (hemisferio != norte && hemisferio != QLatin1String(negativa)) return false;
    const auto g = Racional(*v, 0), m = Racional(*v, 1), s = Racional(*v, 2);
    // Sixty seconds happen where a device rounded 59.99995 up.
    if (!g || !m || !s || *m > 60 || *s > 60 || *g < 0 || *m < 0 || *s < 0) return false;
    const double total = *g + *m / 60 + *s / 3600;
    if (!std::isfinite(total) || total > limite) return false;
    *grados = hemisferio == QLatin1String(negativa) ? -total : total;
    return true;
}

bool Fecha(const Exiv2::ExifData &exif, Datos *d) {
    const QString texto = Texto(Buscar(exif, Exiv2::ExifKey("Exif.Photo.DateTimeOriginal")));
    // Cameras that do not know the time write blanks or zeros.
    QString sinCeros = texto;
    sinCeros.remove(u'0').remove(u':').remove(u' ');
    if (sinCeros.isEmpty()) return true;
    const QDateTime t =
        QDateTime::fromString(texto.left(19), QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    if (!t.isValid()) return false;
    d->tomada = t;
    const QString desfase = Texto(Buscar(exif, Exiv2::ExifKey(0x9011, "Photo")));
    if (desfase.isEmpty()) return true;
    static const QRegularExpression forma(QStringLiteral("^([+-])(\\d\\d):(\\d\\d)$"));
    const auto m = forma.match(desfase);
    if (!m.hasMatch() || m.captured(2).toInt() > 14 || m.captured(3).toInt() > 59) return false;
    const int segundos = (m.captured(2).toInt() * 60 + m.captured(3).toInt()) * 60;
    d->desfase = m.captured(1) == QLatin1String("-") ? -segundos : segundos;
    return true;
}

bool Interpretar(const Exiv2::ExifData &exif, Datos *d) {
    if (!Fecha(exif, d)) return false;
    if (!Coordenada(exif, "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef", "S", 90,
                    &d->latitud) ||
        !Coordenada(exif, "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLongitudeRef", "W", 180,
                    &d->longitud))
        return false;
    if (d->latitud.has_value() != d->longitud.has_value()) return false;
    if (const auto *e = Buscar(exif, Exiv2::ExifKey(0x001f, "GPSInfo"))) {
        const auto p = Racional(*e, 0);
        if (!p || *p < 0 || !std::isfinite(*p)) return false;
        d->precision = *p;
    }
    if (const auto *o = Buscar(exif, Exiv2::ExifKey("Exif.Image.Orientation"))) {
        if (o->count() < 1) return false;
        const long v = o->toLong(0);
        if (v < 1 || v > 8) return false;
        d->orientacion = int(v);
    }
    return true;
}

QString Danado(const QString &nombre) {
    return QStringLiteral("La foto %1 está dañada: sus datos (Exif) o su imagen no se pueden "
                          "leer.")
        .arg(nombre);
}

QByteArray Bytes(Exiv2::Image &imagen) {
    Exiv2::BasicIo &io = imagen.io();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf buf = io.read(long(io.size()));
    return QByteArray(reinterpret_cast<const char *>(buf.pData_), buf.size_);
}

Exiv2::Image::AutoPtr Abrir(const QByteArray &bytes) {
    return Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(bytes.constData()),
                                     long(bytes.size()));
}

} // namespace

QString Datos::FechaIso() const {
    if (!tomada.isValid()) return {};
    QString s = tomada.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    if (desfase) {
        const int m = std::abs(*desfase) / 60;
        s += QStringLiteral("%1%2:%3")
                 .arg(QChar(*desfase < 0 ? u'-' : u'+'))
                 .arg(m / 60, 2, 10, QLatin1Char('0'))
                 .arg(m % 60, 2, 10, QLatin1Char('0'));
    }
    return s;
}

std::optional<Datos> Leer(const QByteArray &bytes, const QString &nombre, QString *error) {
    Preparar();
    const auto formato = FormatoDe(bytes);
    if (!formato) {
        *error = QStringLiteral("El archivo %1 no es una foto: el programa lee fotos JPEG, PNG "
                                "y HEIC.")
                     .arg(nombre);
        return std::nullopt;
    }
    if (bytes.size() > kMaximoBytes) {
        *error = QStringLiteral("El archivo %1 es demasiado grande para ser una foto (más de "
                                "%2 MB).")
                     .arg(nombre)
                     .arg(kMaximoBytes / (1024 * 1024));
        return std::nullopt;
    }
    Datos d;
    d.formato = *formato;
    danos = 0;
    try {
        auto imagen = Abrir(bytes);
        if (!imagen.get()) throw Exiv2::Error(Exiv2::kerMemoryContainsUnknownImageType);
        imagen->readMetadata();
        const Exiv2::ExifData &exif = imagen->exifData();
        const bool esperado = *formato != Formato::Jpeg || !JpegConExif(bytes) || !exif.empty();
        if (danos > 0 || !esperado || !Interpretar(exif, &d)) {
            *error = Danado(nombre);
            return std::nullopt;
        }
    } catch (const std::exception &) {
        *error = Danado(nombre);
        return std::nullopt;
    }
    return d;
}

std::optional<Datos> LeerArchivo(const QString &ruta, QByteArray *bytes, QString *error) {
    const QString nombre = QFileInfo(ruta).fileName();
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("No se puede leer el archivo %1: %2").arg(nombre, f.errorString());
        return std::nullopt;
    }
    if (f.size() > kMaximoBytes) {
        *error = QStringLiteral("El archivo %1 es demasiado grande para ser una foto (más de "
                                "%2 MB).")
                     .arg(nombre)
                     .arg(kMaximoBytes / (1024 * 1024));
        return std::nullopt;
    }
    *bytes = f.read(kMaximoBytes + 1);
    if (f.error() != QFileDevice::NoError) {
        *error = QStringLiteral("No se puede leer el archivo %1: %2").arg(nombre, f.errorString());
        return std::nullopt;
    }
    return Leer(*bytes, nombre, error);
}

bool CopiarExif(const QByteArray &origen, QByteArray *destino, int ancho, int alto,
                QString *error) {
    Preparar();
    try {
        auto leida = Abrir(origen);
        leida->readMetadata();
        Exiv2::ExifData exif = leida->exifData();
        if (exif.empty()) return true;
        Exiv2::ExifThumb(exif).erase();
        exif["Exif.Image.Orientation"] = uint16_t(1);
        exif["Exif.Photo.PixelXDimension"] = uint32_t(ancho);
        exif["Exif.Photo.PixelYDimension"] = uint32_t(alto);
        auto copia = Abrir(*destino);
        copia->readMetadata();
        copia->setExifData(exif);
        copia->writeMetadata();
        *destino = Bytes(*copia);
        return true;
    } catch (const std::exception &e) {
        *error = QStringLiteral("No se han podido copiar los datos Exif de la foto: %1")
                     .arg(QString::fromLocal8Bit(e.what()));
        return false;
    }
}

bool QuitarPosicion(QByteArray *jpeg, QString *error) {
    Preparar();
    try {
        auto imagen = Abrir(*jpeg);
        imagen->readMetadata();
        Exiv2::ExifData exif = imagen->exifData();
        for (auto it = exif.begin(); it != exif.end();)
            it = it->groupName() == "GPSInfo" || it->key() == "Exif.Image.GPSTag" ? exif.erase(it)
                                                                                  : std::next(it);
        Exiv2::XmpData xmp = imagen->xmpData();
        for (auto it = xmp.begin(); it != xmp.end();)
            it = it->key().find("GPS") != std::string::npos ? xmp.erase(it) : std::next(it);
        imagen->setExifData(exif);
        imagen->setXmpData(xmp);
        imagen->writeMetadata();
        *jpeg = Bytes(*imagen);
        return true;
    } catch (const std::exception &e) {
        *error = QStringLiteral("No se ha podido quitar la posición de la foto: %1")
                     .arg(QString::fromLocal8Bit(e.what()));
        return false;
    }
}

} // namespace ExifReader
