#include "app/Startup.h"

#include "gui/TitleImage.h"

#include <QApplication>
#include <QLibraryInfo>
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
    const QString carpeta = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (traductor->load(espanol, QStringLiteral("qtbase"), QStringLiteral("_"), carpeta)) {
        QCoreApplication::installTranslator(traductor);
        qt = traductor;
    } else {
        // The program works without it, with Qt's buttons and dialogs in English.
        std::fprintf(stderr, "Tritodex: no Spanish translation of Qt (qtbase_es.qm) in %s\n",
                     qPrintable(carpeta));
        delete traductor;
    }
}
