#pragma once

#include "data/Avance.h"

#include <QList>
#include <QString>

// Packs files into a zip archive. Entries of the same names are replaced and any other
// entry of an existing archive is kept. The archive is written under a temporary name and
// renamed over the old one only when complete, so a failure leaves the old one as it was.
namespace ArchiveWriter {

struct Entrada {
    QString nombre; // the entry's name inside the archive
    QString ruta;   // the file it is read from
};

enum class Modo {
    Anadir,    // other entries of an existing archive are kept
    Sustituir, // the archive holds only these entries
};

// False and the reason, in Spanish and naming the archive, in *error on failure
// (Avances::kCancelado when the user stopped it); the old archive is then as it was.
bool Empaquetar(const QString &archivo, const QList<Entrada> &entradas, QString *error,
                Modo modo = Modo::Anadir, const Avance &avance = {});

} // namespace ArchiveWriter
