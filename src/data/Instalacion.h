#pragma once

#include <QString>

// Where the program finds the files it ships and where the user's data live. A program with
// a Tritodex.mdb beside it (a build, a folder install) keeps everything in its own folder, as
// it always has; one installed as a package (bin/ beside share/tritodex/ with its seed
// database) keeps each user's database in that user's own data folder and never writes
// beside itself.
namespace Instalacion {

enum class Modo { Portatil, Usuario };

struct Carpetas {
    Modo modo = Modo::Portatil;
    QString compartida; // help document, seed database, Qt's translation
    QString datos;      // the database, with copias/ and fotos/ beside it
};

// The folders of a program in `programa`, for a user whose data home is `datosUsuario`
// ($XDG_DATA_HOME, ~/.local/share by default). Paths without a trailing separator.
Carpetas Resolver(const QString &programa, const QString &datosUsuario);
// This program's, resolved once.
const Carpetas &Actuales();
void setActuales(const Carpetas &carpetas); // tests place the program where they like

QString DocumentoAyuda();
// Qt's own Spanish translation: the one shipped with the program, else Qt's.
QString TraduccionQt();

// In the user's mode, makes the data folder and puts the seed database there when it holds
// none; an existing database is never touched. False with the reason in Spanish.
bool PrepararDatos(const Carpetas &carpetas, QString *error);

} // namespace Instalacion

namespace Version {
// The program's version, as the package, the metadata and "Acerca de..." give it.
QString Programa();
} // namespace Version
