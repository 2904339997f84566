#include "Localidades.h"

#include "gui/ChoiceService.h"
#include "observations/newobs.h"

#include <QDateEdit>

// The square controls on a form: what the fields show after the derivation is what the
// squares come from and what is stored.
class tst_UtmSquareControls : public QObject {
    Q_OBJECT
private slots:
    void cerosALaIzquierda();
};

void tst_UtmSquareControls::cerosALaIzquierda() {
    // The new locality's code prompt, answered with the code proposed.
    ChoiceService::Prueba().codigoLocalidad = [](QWidget *, const QString &p) {
        return std::optional(p);
    };
    TestDatabase bd(TestDatabase::Datos::Reales);
    bd.Ejecutar(u"INSERT INTO observador (cod_observador, nombre, email) "
                "VALUES ('JPG', 'Juan', 'j@x.es')"_s);
    newobs f;
    f.show();
    const auto dejar = [&](const QString &campo, const QString &texto) {
        Escribir(&f, campo, texto);
        User::SalirDe(Control<QWidget>(&f, campo));
    };
    Escribir(&f, u"Txobs1"_s, u"JPG"_s);
    Control<QDateEdit>(&f, u"Txdata"_s)->setDate(QDate(2024, 5, 3));
    Escribir(&f, u"Cbespecie"_s, u"salsal"_s);
    dejar(u"Cbloc"_s, u"Sol"_s);
    Elegir(&f, u"Cbhuso"_s, u"30"_s);
    dejar(u"Txlong"_s, u"0440316"_s);
    dejar(u"Txlat"_s, u"04474268"_s);
    QCOMPARE(Texto(&f, u"Txlong"_s) + u' ' + Texto(&f, u"Txlat"_s) + u' ' + Texto(&f, u"cb10k"_s) +
                 u' ' + Texto(&f, u"tx1k"_s),
             u"440316 4474268 VK47 VK4074"_s);
    // VK47 offers Madrid's municipality.
    Elegir(&f, u"Cbprov"_s, u"Madrid"_s);
    Elegir(&f, u"Cbmuni"_s, u"Madrid"_s);
    Clic(&f, u"Cbnueva"_s);
    QCOMPARE(Aviso().section(u'|', 1), u"Se ha registrado la observación en la base de datos"_s);
    QCOMPARE(bd.Valor(u"SELECT printf('%d %d %s %s', utmx, utmy, utm10k, utm1k) "
                      "FROM localidad"_s)
                 .toString(),
             u"440316 4474268 VK47 VK4074"_s);
}

QTEST_MAIN(tst_UtmSquareControls)
#include "tst_UtmSquareControls.moc"
