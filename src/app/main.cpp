#include "app/Startup.h"
#include "app/principal.h"
#include "data/DatabaseSettings.h"
#include "data/Instalacion.h"
#include "data/ModConex.h"
#include "gui/MessageService.h"

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstring>

namespace {

bool Opcion(int argc, char *argv[], const char *nombre) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], nombre) == 0) return true;
    return false;
}

// Where this copy of the program keeps and finds things, for the user who looks for their
// data and for the installed-package checks.
int MostrarCarpetas(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const Instalacion::Carpetas &c = Instalacion::Actuales();
    const auto Linea = [](const char *que, const QString &ruta) {
        std::printf("%s: %s\n", que, qPrintable(QDir::toNativeSeparators(ruta)));
    };
    std::printf("Modo: %s\n", c.modo == Instalacion::Modo::Usuario ? "usuario" : "portátil");
    Linea("Base de datos", ModConex::RutaBaseDatos());
    Linea("Copias de seguridad", ModConex::CarpetaDatos() + QStringLiteral("/copias"));
    Linea("Documento de ayuda", Instalacion::DocumentoAyuda());
    Linea("Traducción de Qt", Instalacion::TraduccionQt());
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    if (Opcion(argc, argv, "--version")) {
        std::printf("Tritodex %s\n", qPrintable(Version::Programa()));
        return 0;
    }
    if (Opcion(argc, argv, "--carpetas")) return MostrarCarpetas(argc, argv);
    QApplication app(argc, argv);
    Startup::PrepararAplicacion();
    // The database chosen in the settings, or for this run the environment's TRITODEX_DB.
    QString aviso;
    ModConex::setServidor(DatabaseSettings::ParaEstaSesion(&aviso));
    if (!aviso.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(aviso));
    // An installed program starts each user's own database from its seed.
    QString error;
    if (!Instalacion::PrepararDatos(Instalacion::Actuales(), &error) && !ModConex::EsServidor())
        MessageService::Mostrar(nullptr, error, QStringLiteral("Tritodex"), QMessageBox::Warning);
    principal ventana;
    ventana.Form_Load();
    ventana.showMaximized();
    return QApplication::exec();
}
