#include "support/TestDatabase.h"
#include "support/User.h"

#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "observations/newobs.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// The square controls on a form: what the fields show after the derivation is what the
// squares come from and what is stored.
class tst_UtmSquareControls : public QObject {
    Q_OBJECT
private slots:
    void cerosALaIzquierda();

private:
    // The new locality's code prompt, answered with the code proposed.
    static void ResponderCodigo() {
        ChoiceService::Prueba().codigoLocalidad = [](QWidget *, const QString &p) {
            return std::optional(p);
        };
    }
};

void tst_UtmSquareControls::cerosALaIzquierda() {
    MessageService::setModoPrueba(true);
    ResponderCodigo();
    TestDatabase bd(TestDatabase::Datos::Reales);
    QVERIFY(bd.Ejecutar(QStringLiteral("INSERT INTO observador (cod_observador, nombre, email) "
                                       "VALUES ('JPG', 'Juan', 'j@x.es')")));
    newobs f;
    f.show();
    auto campo = [&](const char *nombre) {
        return f.findChild<QWidget *>(QString::fromLatin1(nombre));
    };
    auto texto = [&](const char *nombre) {
        QWidget *w = campo(nombre);
        if (auto *l = qobject_cast<QLineEdit *>(w)) return l->text();
        return qobject_cast<QComboBox *>(w)->currentText();
    };
    User::Escribir(campo("Txobs1"), QStringLiteral("JPG"));
    User::Escribir(campo("Cbespecie"), QStringLiteral("salsal"));
    User::Escribir(campo("Cbloc"), QStringLiteral("Sol"));
    User::SalirDe(campo("Cbloc"));
    User::Elegir(qobject_cast<QComboBox *>(campo("Cbhuso")), QStringLiteral("30"));
    User::Escribir(campo("Txlong"), QStringLiteral("0440316"));
    User::SalirDe(campo("Txlong"));
    User::Escribir(campo("Txlat"), QStringLiteral("04474268"));
    User::SalirDe(campo("Txlat"));
    QCOMPARE(texto("Txlong"), QStringLiteral("440316"));
    QCOMPARE(texto("Txlat"), QStringLiteral("4474268"));
    QCOMPARE(texto("cb10k"), QStringLiteral("VK47"));
    QCOMPARE(texto("tx1k"), QStringLiteral("VK4074"));
    // The province and municipality lists are those of VK47.
    User::Elegir(qobject_cast<QComboBox *>(campo("Cbprov")), QStringLiteral("Madrid"));
    QVERIFY(qobject_cast<QComboBox *>(campo("Cbmuni"))->findText(QStringLiteral("Madrid")) >= 0);
    User::Elegir(qobject_cast<QComboBox *>(campo("Cbmuni")), QStringLiteral("Madrid"));
    QTest::mouseClick(qobject_cast<QPushButton *>(campo("Cbnueva")), Qt::LeftButton);
    QCOMPARE(MessageService::Ultimo().texto,
             QStringLiteral("Se ha registrado la observación en la base de datos"));
    QCOMPARE(bd.Valor(QStringLiteral("SELECT printf('%d %d %s %s', utmx, utmy, utm10k, utm1k) "
                                     "FROM localidad"))
                 .toString(),
             QStringLiteral("440316 4474268 VK47 VK4074"));
}

QTEST_MAIN(tst_UtmSquareControls)
#include "tst_UtmSquareControls.moc"
