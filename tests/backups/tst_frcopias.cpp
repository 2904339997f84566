#include "support/Files.h"
#include "support/FullDisk.h"
#include "support/TestDatabase.h"
#include "support/User.h"

#include "backups/frcopias.h"
#include "data/Backups.h"
#include "data/SchemaUpgrade.h"
#include "gui/MessageService.h"
#include "gui/Progreso.h"

#include <QDir>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace Qt::StringLiterals;

// The backups window as a user meets it: copies listed with their dates and contents, one
// made on demand, a copy put back after the question, a damaged or newer one refused, both
// stopped half way, and a copies folder that cannot be written.
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
    // Big enough for a copy and a restore in several steps.
    QVERIFY(bd.Ejecutar(u"CREATE TABLE relleno AS SELECT zeroblob(500000) AS b"_s));
    QVERIFY(bd.Ejecutar(u"INSERT INTO observacion (especie) VALUES ('SALSAL'), ('BUFSPI')"_s));
    QString error;
    QVERIFY(Backups::Hacer(&error, QDateTime(QDate(2026, 1, 5), QTime(9, 0))));
    QVERIFY(bd.Ejecutar(u"DELETE FROM observacion WHERE especie = 'BUFSPI'"_s));
    frcopias f;
    f.show();
    QWidget *ventana = &f;
    auto *lista = f.findChild<QTableWidget *>(u"DBcopias"_s);
    const auto pulsar = [&](const char *boton,
                            std::initializer_list<QMessageBox::StandardButton> respuestas = {}) {
        User::Responder(respuestas);
        QTest::mouseClick(ventana->findChild<QPushButton *>(QString::fromLatin1(boton)),
                          Qt::LeftButton);
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
    QVERIFY(
        pulsar("CdRestaurar", {QMessageBox::No})
            .startsWith(u"Los datos actuales se sustituirán por los de la copia del 05/01/2026"_s));
    QCOMPARE(MessageService::Ultimo().porDefecto, QMessageBox::No); // Enter keeps the data
    QCOMPARE(bd.Contar(u"observacion"_s), 1);
    lista->selectRow(1);
    QCOMPARE(pulsar("CdRestaurar", {QMessageBox::Yes}),
             u"Se han restaurado los datos de la copia del 05/01/2026 09:00:00."_s);
    QCOMPARE(bd.Contar(u"observacion"_s), 2);
    QCOMPARE(Filas(lista), (QStringList{hoy + u"|1"_s, hoy + u"|1"_s, u"05/01/2026|2"_s}));

    // A damaged copy shows as such and is refused before the question; so is one made by a
    // newer program.
    QVERIFY(Files::Write(QDir(Backups::Carpeta()).filePath(u"Tritodex_2025-12-31_230000.mdb"_s),
                         QByteArray(8192, 'x')));
    QVERIFY(bd.Ejecutar(u"PRAGMA user_version = %1"_s.arg(SchemaUpgrade::kVersionActual + 1)));
    QVERIFY(Backups::Hacer(&error, QDateTime(QDate(2026, 1, 1), QTime(9, 0))));
    QVERIFY(bd.Ejecutar(u"PRAGMA user_version = %1"_s.arg(SchemaUpgrade::kVersionActual)));
    f.close();
    frcopias g;
    g.show();
    ventana = &g;
    lista = g.findChild<QTableWidget *>(u"DBcopias"_s);
    QCOMPARE(Filas(lista).mid(2),
             (QStringList{u"05/01/2026|2"_s, u"01/01/2026|2"_s, u"31/12/2025|dañada"_s}));
    for (const int fila : {4, 3}) {
        lista->selectRow(fila);
        QVERIFY(pulsar("CdRestaurar").startsWith(u"No se puede restaurar esa copia"_s));
        QCOMPARE(MessageService::Mostrados().size(), 1);
    }
    QVERIFY2(MessageService::Ultimo().texto.contains(u"es de una versión más reciente del "
                                                     "programa"_s),
             qPrintable(MessageService::Ultimo().texto));
    QCOMPARE(bd.Contar(u"observacion"_s), 2);

    // Both stopped with Cancelar: a copy leaves no file and says nothing; a restore leaves the
    // data as they were and says so.
    const QStringList antes = Filas(lista);
    const auto archivos = [] { return QDir(Backups::Carpeta()).entryList(QDir::Files); };
    const QStringList guardados = archivos();
    Progreso::Limpiar();
    Progreso::CancelarEn(2);
    QCOMPARE(pulsar("CdCopia"), QString());
    QVERIFY(Progreso::Vistos().size() == 1 && Progreso::Vistos().first().cancelado);
    QCOMPARE(Progreso::Vistos().first().texto, u"Haciendo la copia de seguridad..."_s);
    QCOMPARE(archivos(), guardados);
    QVERIFY(bd.Ejecutar(u"DELETE FROM observacion WHERE especie = 'BUFSPI'"_s));
    lista->selectRow(2);
    Progreso::CancelarEn(2);
    QCOMPARE(pulsar("CdRestaurar", {QMessageBox::Yes}),
             u"No se ha restaurado la copia: los datos actuales no han cambiado."_s);
    QCOMPARE(MessageService::Ultimo().icono, QMessageBox::Information);
    QVERIFY(Progreso::Vistos().last().cancelado && bd.Contar(u"observacion"_s) == 1);
    QCOMPARE(archivos(), guardados);
    QCOMPARE(Filas(lista), antes);

    // The copies' folder on a full disk: the copy says why it cannot be made.
    FullDisk disco(Backups::Carpeta(), 64);
    QVERIFY2(disco.ok(), qPrintable(disco.error()));
    QVERIFY2(pulsar("CdCopia").startsWith(u"No se ha podido hacer la copia de seguridad: El disco "
                                          "está lleno: no se ha podido escribir el archivo "_s),
             qPrintable(MessageService::Ultimo().texto));
    QCOMPARE(MessageService::Ultimo().icono, QMessageBox::Warning);
    QCOMPARE(archivos(), QStringList());
}

QTEST_MAIN(tst_frcopias)
#include "tst_frcopias.moc"
