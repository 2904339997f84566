#include "support/TestDatabase.h"

#include "gui/MessageService.h"
#include "localities/frcodloc.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class tst_frcodloc : public QObject {
    Q_OBJECT
private slots:
    void aceptarYRechazar();
};

void tst_frcodloc::aceptarYRechazar() {
    TestDatabase bd;
    {
        // An empty locality table accepts the proposed code unchanged.
        frcodloc prompt;
        prompt.CodigoPropuesto = QStringLiteral("JPG0");
        prompt.show();
        QCOMPARE(prompt.windowTitle(), QStringLiteral("Código Localidad"));
        QCOMPARE(prompt.findChild<QLabel *>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Código generado para la nueva localidad"));
        QCOMPARE(prompt.findChild<QLineEdit *>(QStringLiteral("Txloc"))->text(),
                 QStringLiteral("JPG0"));
        QTest::mouseClick(prompt.findChild<QPushButton *>(QStringLiteral("Command1")),
                          Qt::LeftButton);
        QCOMPARE(prompt.result(), int(QDialog::Accepted));
        QCOMPARE(prompt.CodigoAceptado(), QStringLiteral("JPG0"));
        QVERIFY(MessageService::Mostrados().isEmpty());
    }
    QVERIFY(bd.Ejecutar(QStringLiteral(
        "INSERT INTO localidad (cod_localidad, localidad) VALUES ('JPG7', 'Prado')")));
    frcodloc prompt;
    prompt.CodigoPropuesto = QStringLiteral("JPG7");
    prompt.show();
    QLineEdit *codigo = prompt.findChild<QLineEdit *>(QStringLiteral("Txloc"));
    QPushButton *aceptar = prompt.findChild<QPushButton *>(QStringLiteral("Command1"));

    // A stored code: refused, the field emptied, the prompt open.
    QTest::mouseClick(aceptar, Qt::LeftButton);
    QCOMPARE(MessageService::Ultimo().texto,
             QStringLiteral("Este código ya existe en la Base de Datos"));
    QCOMPARE(MessageService::Ultimo().titulo, QStringLiteral("Código Existente"));
    QCOMPARE(MessageService::Ultimo().icono, QMessageBox::Warning);
    QVERIFY(codigo->text().isEmpty());
    QVERIFY(prompt.isVisible());

    // At once again: the empty code.
    QTest::mouseClick(aceptar, Qt::LeftButton);
    QCOMPARE(MessageService::Ultimo().texto,
             QStringLiteral("El campo código no puede quedar vacio"));
    QCOMPARE(MessageService::Ultimo().titulo, QStringLiteral("Código obligatorio"));
    QVERIFY(prompt.isVisible());

    // The database takes codes in other case for the same code: refused here already.
    QTest::keyClicks(codigo, QStringLiteral("jpg7"));
    QTest::mouseClick(aceptar, Qt::LeftButton);
    QCOMPARE(MessageService::Ultimo().texto,
             QStringLiteral("Este código ya existe en la Base de Datos"));

    // Blanks are a code like any other, taken as typed.
    QTest::keyClicks(codigo, QStringLiteral(" JPG7 "));
    QTest::keyClick(aceptar, Qt::Key_Space);
    QCOMPARE(prompt.result(), int(QDialog::Accepted));
    QCOMPARE(prompt.CodigoAceptado(), QStringLiteral(" JPG7 "));
    QCOMPARE(MessageService::Mostrados().size(), 3);
}

QTEST_MAIN(tst_frcodloc)
#include "tst_frcodloc.moc"
