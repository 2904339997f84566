#include "Instalacion.h"

#include "ArchivoComprobado.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStandardPaths>

#include <optional>

namespace {
const QString kBaseDatos = QStringLiteral("Tritodex.mdb");
const QString kTraduccion = QStringLiteral("qtbase_es.qm");
} // namespace

Instalacion::Carpetas Instalacion::Resolver(const QString &programa, const QString &datosUsuario) {
    const QDir dir(programa);
    Carpetas c;
    const QString compartida = QDir::cleanPath(dir.filePath(QStringLiteral("../share/tritodex")));
    c.compartida = QFileInfo(compartida).isDir() ? compartida : QDir::cleanPath(programa);
    // A database beside the program wins; without one and without a seed to start the
    // user's from, the program's folder stays the place, as it always was.
    const bool instalado = !QFileInfo::exists(dir.filePath(kBaseDatos)) &&
                           QFileInfo::exists(compartida + u'/' + kBaseDatos);
    c.modo = instalado ? Modo::Usuario : Modo::Portatil;
    c.datos = instalado ? QDir::cleanPath(datosUsuario + QStringLiteral("/Tritodex"))
                        : QDir::cleanPath(programa);
    return c;
}

namespace {
std::optional<Instalacion::Carpetas> &Guardadas() {
    static std::optional<Instalacion::Carpetas> carpetas;
    return carpetas;
}
} // namespace

const Instalacion::Carpetas &Instalacion::Actuales() {
    auto &carpetas = Guardadas();
    if (!carpetas)
        carpetas = Resolver(QCoreApplication::applicationDirPath(),
                            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    return *carpetas;
}

void Instalacion::setActuales(const Carpetas &carpetas) {
    Guardadas() = carpetas;
}

QString Instalacion::DocumentoAyuda() {
    return Actuales().compartida + QStringLiteral("/Tritodex.pdf");
}

QString Instalacion::TraduccionQt() {
    const QString propia = Actuales().compartida + QStringLiteral("/translations/") + kTraduccion;
    if (QFileInfo::exists(propia)) return propia;
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath) + u'/' + kTraduccion;
}

bool Instalacion::PrepararDatos(const Carpetas &carpetas, QString *error) {
    if (carpetas.modo != Modo::Usuario) return true;
    const QString destino = carpetas.datos + u'/' + kBaseDatos;
    if (QFileInfo::exists(destino)) return true;
    if (!QDir().mkpath(carpetas.datos)) {
        *error = QStringLiteral("No se ha podido crear la carpeta de datos %1.")
                     .arg(QDir::toNativeSeparators(carpetas.datos));
        return false;
    }
    const QString semilla = carpetas.compartida + u'/' + kBaseDatos;
    QFile origen(semilla);
    if (!origen.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("No se puede leer la base de datos inicial %1: %2.")
                     .arg(QDir::toNativeSeparators(semilla), origen.errorString());
        return false;
    }
    // Written whole or not at all: a half copy would pass for the user's database.
    ArchivoComprobado copia(destino);
    if (!copia.Abrir(error)) return false;
    while (!origen.atEnd()) {
        const QByteArray trozo = origen.read(1 << 20);
        if (trozo.isEmpty() && origen.error() != QFileDevice::NoError) {
            copia.Descartar();
            *error = QStringLiteral("No se puede leer la base de datos inicial %1: %2.")
                         .arg(QDir::toNativeSeparators(semilla), origen.errorString());
            return false;
        }
        copia.Escribir(trozo);
    }
    return copia.Confirmar(error);
}

QString Version::Programa() {
    return QStringLiteral(TRITODEX_VERSION);
}
