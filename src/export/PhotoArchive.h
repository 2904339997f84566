#pragma once

#include "data/Avance.h"

#include <QString>

// The photographs of the association's export in an archive of their own beside the text
// files: each named by its observation and order (obs12_1.jpg); those of sensitive records
// leave without their position in the Exif.
namespace PhotoArchive {

// TDX_fotos_aamm.zip for the period aamm.
QString Nombre(const QString &periodo);

// Writes the archive into the folder, replacing one of the same name; *fotos counts the
// photos (none: nothing is written). False with the reason in Spanish in *error
// (Avances::kCancelado when stopped); an old archive then stays as it was. sinRechazadas
// leaves out the photos of rejected observations, as their file does.
bool Escribir(const QString &carpeta, const QString &periodo, bool sinRechazadas, int *fotos,
              QString *error, const Avance &avance = {});

} // namespace PhotoArchive
