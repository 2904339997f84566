#pragma once

#include "data/Avance.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>

// Reads the files the import takes: GPS waypoints (GPX), the observation exports of
// iNaturalist and Observation.org (CSV) and the program's own observation spreadsheet
// (.xlsx). A file is read whole or refused with the line at fault: never in part.
namespace Import {

enum class Format { Gpx, INaturalist, ObservationOrg, HojaPrograma, Fotos };

// One record as the file gives it; what it means for the database is decided later.
struct Record {
    int linea = 0;        // line of the file (CSV, GPX) or row of the sheet
    QDate fecha;          // invalid when the file gives none
    QString hora;         // hh:mm, local time; empty when none
    QStringList especies; // texts that may name the species, the most trusted first
    QVariant numero;      // null when not given
    bool aprox = false;
    bool geograficas = false; // latitude and longitude given (ETRS89/WGS84)
    double lat = 0, lon = 0;
    QString huso;           // or a UTM position, from the program's own sheet
    QVariant este, norte;   // whole metres; null when not given
    QVariant incertidumbre; // whole metres around the position; null when unknown
    QString lugar;          // the name a new locality would take
    QString descripcion;
    // Rows the platform marks as not to be taken as they stand: a position it hid (and the
    // file does not give the true one), an animal in captivity.
    bool posicionOculta = false;
    bool cautividad = false;
    // The program's own sheet: the lookup values by their column header (ESTADIO, ...).
    QHash<QString, QString> otros;
    // A photograph taken in: its file, stored with the observation.
    QString foto;
};

struct Reading {
    // Filled only when no one takes the records as they are read.
    bool ok = false;
    Format formato = Format::Gpx;
    QList<Record> registros;
    QString error; // why the file was refused, naming the line
};

// The most observation rows a sheet may hold: the program's own spreadsheet of a million
// rows is the largest it writes. Beyond it a sheet is refused, whatever it claims.
constexpr int kFilasHoja = 1000000;

// Recognises the file by its content, not its name. The file is read in pieces, never
// trusting a size it declares; the progress is told to `avance`, and a cancel gives a
// refusal with Avances::kCancelado as its reason.
Reading LeerArchivo(const QString &ruta, const Avance &avance = {});
Reading LeerDatos(const QByteArray &datos, const Avance &avance = {});
// The same, each record handed to `entregar` as soon as it is read instead of gathered in
// the result, so that a large file's records need not be held twice. False from `entregar`
// stops the reading: the result is then a refusal with no reason of its own.
using Sink = std::function<bool(Record &&)>;
Reading LeerArchivo(const QString &ruta, const Sink &entregar, const Avance &avance = {});

QString NombreFormato(Format f);

// Photographs as records: each file given, and each JPEG, PNG or HEIC file of a folder given,
// whose Exif holds a position becomes one record (its date, time, position and accuracy),
// in the order given. Those left out are listed in *omitidas with the reason, naming them.
// A cancel gives a refusal with Avances::kCancelado.
Reading LeerFotos(const QStringList &rutas, QStringList *omitidas, const Avance &avance = {});

// Text of a CSV in UTF-8 (with or without byte-order mark) or Windows-1252.
QString Decodificar(const QByteArray &datos);
// A date as exports write it: 2024-05-03, 03/05/2024, 2024-05-03 14:22:00 +0200, ...;
// the time of day too, when there is one. False when it cannot be read.
bool LeerFechaHora(const QString &texto, QDate *fecha, QString *hora);
// A decimal number with a point or a comma.
std::optional<double> LeerDecimal(const QString &texto);

} // namespace Import

Q_DECLARE_TYPEINFO(Import::Record, Q_RELOCATABLE_TYPE);
