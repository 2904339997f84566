#include "app/principal.h"
#include "gui/TitleImage.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tritodex"));
    // Every window, the start-up one included, shows the program's own icon.
    QApplication::setWindowIcon(ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("tritodex"));
    principal ventana;
    ventana.Form_Load();
    ventana.showMaximized();
    return QApplication::exec();
}
