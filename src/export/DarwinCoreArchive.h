#pragma once

#include "data/Avance.h"

#include <QDate>
#include <QString>
#include <QStringList>

// The observations as a Darwin Core Archive for GBIF: occurrence.txt (tab separated, one
// occurrence a line), meta.xml describing its columns and eml.xml with the dataset's
// metadata, packed into one zip. Records of sensitive species are published at the centre
// of their 10-km square, without the place's name, municipality or description. Rejected
// records stay out; the others say whether they were verified.
namespace DarwinCoreArchive {

enum class Licencia { Cc0, CcBy, CcByNc };

// The licences GBIF accepts, as the form lists them.
QString NombreLicencia(Licencia l);
QString UrlLicencia(Licencia l);

// The archive's file name for a day: "TDX_DwC_" + yyyymmdd + ".zip".
QString NombreArchivo(const QDate &dia);

// The columns of occurrence.txt, in order: Darwin Core term names.
const QStringList &Terminos();
// A term's URI.
QString Uri(const QString &termino);

struct Resumen {
    int registros = 0;
    int generalizados = 0; // sensitive records published at their 10-km square
    int sinPosicion = 0;   // records whose position could not be worked out
    int rechazadas = 0;    // rejected records, left out
};

// Writes the archive for the day into the folder, replacing one of the same name only once
// the new one is complete; false with the reason, in Spanish, in *error (Avances::kCancelado
// when the user stopped it). Nothing is left behind on failure.
bool Exportar(const QString &carpeta, const QDate &dia, Licencia licencia, Resumen *resumen,
              QString *error, const Avance &avance = {});

} // namespace DarwinCoreArchive
