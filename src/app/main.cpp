#include "app/Startup.h"
#include "app/principal.h"
#include "data/DatabaseSettings.h"
#include "data/ModConex.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    Startup::PrepararAplicacion();
    // The database chosen in the settings, or for this run the environment's TRITODEX_DB.
    QString aviso;
    ModConex::setServidor(DatabaseSettings::ParaEstaSesion(&aviso));
    if (!aviso.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(aviso));
    principal ventana;
    ventana.Form_Load();
    ventana.showMaximized();
    return QApplication::exec();
}
