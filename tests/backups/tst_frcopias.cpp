#include "support/TestDatabase.h"

#include "backups/frcopias.h"
#include "data/Backups.h"
#include "gui/MessageService.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace Qt::StringLiterals;

// The backups window as a user meets it: copies listed with their dates and contents, one
// made on demand, a copy put back after the question, a damaged one refused.
class tst_frcopias : public QObject {
    Q_OBJECT
private slots:
    void sesion();
};

namespace {
QStringList Filas(const QTableWidget *t) {
    QStringList r;
    for (int f = 0; f < t->rowCount(); ++f)
        r << t->item(f, 0)->text().left(10) + u'|' + t->item(f, 2)->text();
    return r;
}
} // namespace

void tst_frcopias::sesion() {
    TestDatabase bd;
    for (const char *especie : {"SALSAL", "BUFSPI"})
        QVERIFY(bd.Ejecutar(u"INSERT INTO observacion (especie) VALUES (?)"_s,
                            {QString::fromLatin1(especie)}));
    QString error;
    QVERIFY(Backups::Hacer(&error, QDateTime(QDate(2026, 1, 5), QTime(9, 0))));
    QVERIFY(bd.Ejecutar(u"DELETE FROM observacion WHERE especie = 'BUFSPI'"_s));
    frcopias f;
    f.show();
    auto *lista = f.findChild<QTableWidget *>(u"DBcopias"_s);
    const auto pulsar = [&](const char *boton,
                            std::initializer_list<QMessageBox::StandardButton> respuestas = {}) {
        MessageService::Limpiar();
        for (const auto r : respuestas)
            MessageService::EncolarRespuesta(r);
        QTest::mouseClick(f.findChild<QPushButton *>(QString::fromLatin1(boton)), Qt::LeftButton);
        return MessageService::Mostrados().isEmpty() ? QString() : MessageService::Ultimo().texto;
    };
    QCOMPARE(Filas(lista), QStringList{u"05/01/2026|2"_s});

    // A copy now: listed first, chosen, holding what the database holds.
    QVERIFY(pulsar("CdCopia").startsWith(u"Se ha hecho la copia de seguridad "_s));
    const QString hoy = QDate::currentDate().toString(u"dd/MM/yyyy"_s);
    QCOMPARE(Filas(lista), (QStringList{hoy + u"|1"_s, u"05/01/2026|2"_s}));
    QCOMPARE(lista->currentRow(), 0);

    // The January copy put back: No changes nothing; Yes brings back the deleted observation
    // and keeps the replaced data as one more copy.
    lista->selectRow(1);
    QVERIFY(pulsar("CdRestaurar", {QMessageBox::No})
                .startsWith(u"Los datos actuales se "
                            "sustituirán por los de la copia "
                            "del 05/01/2026"_s));
    QCOMPARE(MessageService::Ultimo().porDefecto, QMessageBox::No); // Enter keeps the data
    QCOMPARE(bd.Contar(u"observacion"_s), 1);
    lista->selectRow(1);
    QCOMPARE(pulsar("CdRestaurar", {QMessageBox::Yes}),
             u"Se han restaurado los datos de la copia del 05/01/2026 09:00:00."_s);
    QCOMPARE(bd.Contar(u"observacion"_s), 2);
    QCOMPARE(Filas(lista), (QStringList{hoy + u"|1"_s, hoy + u"|1"_s, u"05/01/2026|2"_s}));

    // A damaged copy shows as such and is refused before the question.
    QFile danada(QDir(Backups::Carpeta()).filePath(u"Tritodex_2025-12-31_230000.mdb"_s));
    QVERIFY(danada.open(QIODevice::WriteOnly) && danada.write(QByteArray(8192, 'x')));
    danada.close();
    f.close();
    frcopias g;
    g.show();
    lista = g.findChild<QTableWidget *>(u"DBcopias"_s);
    QCOMPARE(Filas(lista).last(), u"31/12/2025|dañada"_s);
    lista->selectRow(lista->rowCount() - 1);
    MessageService::Limpiar();
    QTest::mouseClick(g.findChild<QPushButton *>(u"CdRestaurar"_s), Qt::LeftButton);
    QCOMPARE(MessageService::Mostrados().size(), 1);
    QVERIFY(MessageService::Ultimo().texto.startsWith(u"No se puede restaurar esa copia"_s));
    QCOMPARE(bd.Contar(u"observacion"_s), 2);
}

QTEST_MAIN(tst_frcopias)
#include "tst_frcopias.moc"
