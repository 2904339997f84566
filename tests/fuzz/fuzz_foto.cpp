// A photograph's file: its kind and Exif (date, offset, position, orientation).
#include "photos/ExifReader.h"

#include "Comprobaciones.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t n) {
    QString error;
    const auto d = ExifReader::Leer(Copia(datos, n), QStringLiteral("foto.jpg"), &error);
    if (!d) {
        Exigir(error.contains(QLatin1String("foto.jpg")), "a refused photo is named");
        return 0;
    }
    Exigir(error.isEmpty(), "a photo read has no error");
    Exigir(d->latitud.has_value() == d->longitud.has_value(), "a position has both coordinates");
    if (d->TienePosicion())
        Exigir(std::isfinite(*d->latitud) && std::isfinite(*d->longitud) &&
                   std::abs(*d->latitud) <= 90 && std::abs(*d->longitud) <= 180,
               "latitude and longitude within the globe");
    Exigir(!d->precision || (std::isfinite(*d->precision) && *d->precision >= 0),
           "an accuracy is a distance");
    Exigir(d->orientacion >= 1 && d->orientacion <= 8, "an orientation is one of the eight");
    Exigir(!d->desfase || d->tomada.isValid(), "an offset belongs to a date");
    const QString iso = d->FechaIso();
    Exigir(iso.isEmpty() == !d->tomada.isValid(), "a date is written when known");
    return 0;
}
