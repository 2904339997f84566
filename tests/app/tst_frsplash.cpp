#include "support/Files.h"
#include "support/TestDatabase.h"

#include "app/principal.h"
#include "data/ModBaseDatos.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QTest>

using namespace Qt::StringLiterals;

// The licence the program is released under, and the sources it ships data and code from,
// named where a user who installed it can read them.
class tst_frsplash : public QObject {
    Q_OBJECT
private slots:
    void fuentes();
};

void tst_frsplash::fuentes() {
    MessageService::setModoPrueba(true);
    ModBaseDatos::setEscalaEsperas(0.0);
    TestDatabase bd;
    principal p;
    p.show();
    p.findChild<QAction *>(u"acerca"_s)->trigger();
    QPointer<QWidget> acerca = Screen::BuscarFormulario(u"frsplash"_s);
    QVERIFY(acerca && acerca->isVisible());
    auto *fuentes = acerca->findChild<QLabel *>(u"Lbfuentes"_s);
    QVERIFY(fuentes && fuentes->isVisible());
    // Every line fits below the picture, none cut off.
    QVERIFY(fuentes->geometry().bottom() < acerca->height());
    QVERIFY(fuentes->height() >= fuentes->heightForWidth(fuentes->width()));
    // The version the build gives, and the folder of the data on show, in full.
    auto *version = acerca->findChild<QLabel *>(u"Lbversion"_s);
    QVERIFY(version && version->isVisible());
    QCOMPARE(version->text(), u"Versión " TRITODEX_VERSION ". Sus datos están en la carpeta "_s +
                                  QDir::toNativeSeparators(bd.carpeta()) + u'.');
    QVERIFY(version->geometry().bottom() < fuentes->geometry().top());
    QVERIFY(version->height() >= version->heightForWidth(version->width()));

    // The GPL 3's own text, unchanged: the digest of the FSF's file.
    QCOMPARE(QCryptographicHash::hash(Files::Read(TRITODEX_SOURCE_DIR "/LICENSE"),
                                      QCryptographicHash::Md5)
                 .toHex(),
             QByteArray("1ebbd3e34237af26da5dc08a4e440464"));
    QVERIFY(QString::fromUtf8(Files::Read(TRITODEX_SOURCE_DIR "/README.md"))
                .contains(u"GNU General Public License as published by the Free Software "
                          "Foundation, either version 3"_s));
    const QString ayuda = QString::fromUtf8(Files::Read(TRITODEX_SOURCE_DIR "/docs/Tritodex.html"))
                              .replace(u'\n', u' ');
    QVERIFY(ayuda.contains(u"Licencia y fuentes</h1>"_s));
    // Each source with its licence, in the about window and in the help document alike.
    for (const QString &n :
         u"Licencia Pública General de GNU (GPL), versión 3 o posterior|© Instituto Geográfico "
         "Nacional|CC BY 4.0|es-atlas (licencia MIT)|GeographicLib (licencia MIT)|PROJ (licencia "
         "MIT)|Qt y Qt SVG (LGPL 3 / GPL)|Qt Charts (GPL 3)|SQLite (dominio público)|libzip "
         "(licencia BSD de 3 cláusulas)|zlib (licencia zlib)"_s.split(u'|'))
        QVERIFY2(fuentes->text().contains(n) && ayuda.contains(n), qPrintable(n));
}

QTEST_MAIN(tst_frsplash)
#include "tst_frsplash.moc"
