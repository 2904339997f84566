#include "app/Startup.h"

#include "data/Instalacion.h"
#include "gui/TitleImage.h"

#include <QApplication>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <cstdio>

void Startup::PrepararAplicacion() {
    QApplication::setApplicationName(QStringLiteral("Tritodex"));
    // Every window, the start-up one included, shows the program's own icon.
    QApplication::setWindowIcon(ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("tritodex"));

    const QLocale espanol(QLocale::Spanish, QLocale::Spain);
    QLocale::setDefault(espanol);
    static QPointer<QTranslator> qt;
    if (qt) return;
    auto *traductor = new QTranslator(qApp);
    const QString ruta = Instalacion::TraduccionQt();
    if (traductor->load(ruta)) {
        QCoreApplication::installTranslator(traductor);
        qt = traductor;
    } else {
        // The program works without it, with Qt's buttons and dialogs in English.
        std::fprintf(stderr, "Tritodex: no Spanish translation of Qt in %s\n", qPrintable(ruta));
        delete traductor;
    }
}
