#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

// What a photograph says about itself: the file's kind and the Exif a camera or phone wrote
// (when and where it was taken, which way up). Read through exiv2; no pixels are decoded.
namespace ExifReader {

enum class Formato { Jpeg, Png, Heic };

struct Datos {
    Formato formato = Formato::Jpeg;
    // When it was taken, as the camera's clock showed it (local time); invalid when unknown.
    QDateTime tomada;
    // The camera's offset from UTC in seconds, when it wrote one.
    std::optional<int> desfase;
    // WGS84 degrees, south and west negative; both or neither.
    std::optional<double> latitud, longitud;
    // How far the true position may lie from the point, in metres.
    std::optional<double> precision;
    // Exif orientation, 1 (upright) to 8; 6 is turned a quarter clockwise to stand up.
    int orientacion = 1;

    bool TienePosicion() const { return latitud.has_value() && longitud.has_value(); }
    // The moment as stored: ISO 8601, with the offset when known ("2024-05-03T10:15:00+02:00").
    QString FechaIso() const;
};

// The largest file taken for a photograph.
constexpr qint64 kMaximoBytes = 100 * 1024 * 1024;

// The Exif of the image bytes; `nombre` names the file in the reason. Refuses (nothing, the
// reason in Spanish) what is not a JPEG, PNG or HEIC image, and an image whose metadata are
// damaged. An image without Exif is accepted with nothing known.
std::optional<Datos> Leer(const QByteArray &bytes, const QString &nombre, QString *error);

// The file read whole (within kMaximoBytes) into *bytes, then Leer.
std::optional<Datos> LeerArchivo(const QString &ruta, QByteArray *bytes, QString *error);

// The Exif of `origen` written into the JPEG `destino` (a reduced copy of it), upright
// (orientation 1), with the new size and without the old thumbnail. False with *error.
bool CopiarExif(const QByteArray &origen, QByteArray *destino, int ancho, int alto, QString *error);

// The same Exif with the position taken out (photos of sensitive records); false with
// *error when the bytes cannot be rewritten.
bool QuitarPosicion(QByteArray *jpeg, QString *error);

} // namespace ExifReader
