#include "app/principal.h"
#include "data/DatabaseSettings.h"
#include "gui/TitleImage.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tritodex"));
    // Every window, the start-up one included, shows the program's own icon.
    QApplication::setWindowIcon(ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("tritodex"));
    // The database chosen in the settings, or for this run the environment's TRITODEX_DB.
    QString aviso;
    ModConex::setServidor(DatabaseSettings::ParaEstaSesion(&aviso));
    if (!aviso.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(aviso));
    principal ventana;
    ventana.Form_Load();
    ventana.showMaximized();
    return QApplication::exec();
}
