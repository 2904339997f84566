#include "app/principal.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tritodex"));
    principal ventana;
    ventana.Form_Load();
    ventana.showMaximized();
    return QApplication::exec();
}
