// Photographs read as records of the import: the Exif gives the date, time and position.
#include "import/ImportReader.h"
#include "photos/ExifReader.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

namespace Import {

Reading LeerFotos(const QStringList &rutas, QStringList *omitidas, const Avance &avance) {
    QStringList archivos;
    for (const QString &ruta : rutas) {
        if (!QFileInfo(ruta).isDir()) {
            archivos << ruta;
            continue;
        }
        // A folder: its photographs by name, not what else it holds.
        const QDir dir(ruta);
        for (const QString &n : dir.entryList({QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"),
                                               QStringLiteral("*.png"), QStringLiteral("*.heic")},
                                              QDir::Files, QDir::Name | QDir::IgnoreCase))
            archivos << dir.filePath(n);
    }
    Reading l;
    l.formato = Format::Fotos;
    for (qsizetype i = 0; i < archivos.size(); ++i) {
        if (!Avances::Seguir(avance, i, archivos.size())) {
            l.registros.clear();
            l.error = Avances::kCancelado;
            return l;
        }
        QByteArray bytes;
        QString error;
        const auto d = ExifReader::LeerArchivo(archivos[i], &bytes, &error);
        if (!d) {
            *omitidas << error;
            continue;
        }
        if (!d->TienePosicion()) {
            *omitidas << QStringLiteral("La foto %1 no tiene posición (GPS).")
                             .arg(QFileInfo(archivos[i]).fileName());
            continue;
        }
        Record r;
        r.linea = int(i + 1);
        r.fecha = d->tomada.date();
        if (d->tomada.isValid()) r.hora = d->tomada.toString(QStringLiteral("HH:mm"));
        r.geograficas = true;
        r.lat = *d->latitud;
        r.lon = *d->longitud;
        if (d->precision && *d->precision > 0)
            r.incertidumbre = int(std::ceil(std::min(*d->precision, 1e9)));
        r.foto = archivos[i];
        l.registros << r;
    }
    l.ok = true;
    return l;
}

} // namespace Import
