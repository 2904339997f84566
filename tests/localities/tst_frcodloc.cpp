#include "Localidades.h"

#include "localities/frcodloc.h"

class tst_frcodloc : public QObject {
    Q_OBJECT
private slots:
    void aceptarYRechazar();
};

void tst_frcodloc::aceptarYRechazar() {
    TestDatabase bd;
    // An empty locality table accepts the proposed code unchanged.
    frcodloc vacia;
    vacia.CodigoPropuesto = u"JPG0"_s;
    vacia.show();
    QCOMPARE(Texto(&vacia, u"Txloc"_s), u"JPG0"_s);
    Clic(&vacia, u"Command1"_s);
    QVERIFY(vacia.result() == QDialog::Accepted && MessageService::Mostrados().isEmpty());
    QCOMPARE(vacia.CodigoAceptado(), u"JPG0"_s);
    bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad) VALUES ('JPG7', 'Prado')"_s);
    frcodloc prompt;
    prompt.CodigoPropuesto = u"JPG7"_s;
    prompt.show();
    // The stored code, at once the empty field, then the stored code in other case (which
    // the database takes for the same): each refused, the field emptied, the prompt open.
    const QString existe = u"Código Existente|Este código ya existe en la Base de Datos"_s;
    const QList<QPair<QString, QString>> casos = {
        {{}, existe},
        {{}, u"Código obligatorio|El campo código no puede quedar vacio"_s},
        {u"jpg7"_s, existe},
    };
    for (const auto &[codigo, aviso] : casos) {
        QTest::keyClicks(Control<QLineEdit>(&prompt, u"Txloc"_s), codigo);
        Clic(&prompt, u"Command1"_s);
        QCOMPARE(Aviso(), aviso);
        QVERIFY(Texto(&prompt, u"Txloc"_s).isEmpty() && prompt.isVisible());
    }
    QCOMPARE(MessageService::Ultimo().icono, QMessageBox::Warning);

    // Blanks are a code like any other, taken as typed.
    QTest::keyClicks(Control<QLineEdit>(&prompt, u"Txloc"_s), u" JPG7 "_s);
    QTest::keyClick(Control(&prompt, u"Command1"_s), Qt::Key_Space);
    QVERIFY(prompt.result() == QDialog::Accepted && MessageService::Mostrados().size() == 3);
    QCOMPARE(prompt.CodigoAceptado(), u" JPG7 "_s);
}

QTEST_MAIN(tst_frcodloc)
#include "tst_frcodloc.moc"
