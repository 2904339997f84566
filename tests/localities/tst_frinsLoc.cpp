#include "Localidades.h"

#include "localities/frinsLoc.h"

#include <QClipboard>
#include <QGuiApplication>

class tst_frinsLoc : public QObject {
    Q_OBJECT
private slots:
    void sesion();

private:
    // Zone, easting and northing as a user gives them: the zone typed, then each coordinate
    // pasted and left (by the keyboard alone: the observation form's session and the keyboard
    // walk, on the same panel).
    static void Coordenadas(QWidget *d, const QString &huso, const QString &x, const QString &y) {
        Escribir(d, u"Cbhuso"_s, huso);
        for (const auto &[campo, valor] : {std::pair{u"Txutmx"_s, x}, std::pair{u"Txutmy"_s, y}}) {
            auto *c = Control<QLineEdit>(d, campo);
            User::Escribir(c, QString());
            QGuiApplication::clipboard()->setText(valor);
            QTest::keyClick(c, Qt::Key_V, Qt::ControlModifier);
            User::SalirDe(c);
        }
    }
};

void tst_frinsLoc::sesion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    Poblar(bd);
    const int antes = bd.Contar(u"localidad"_s);
    frinsLoc d;
    d.show();

    // The message names the last of the missing required fields.
    const QList<QPair<QStringList, QString>> faltan = {
        {{"", ""}, "Nombre Localidad"},
        {{"", "Fuente"}, "Código Localidad"},
        {{"F1", "Fuente"}, "Municipio"},
    };
    for (const auto &[valores, campo] : faltan) {
        Escribir(&d, u"Txcod"_s, valores[0]);
        Escribir(&d, u"Txloc"_s, valores[1]);
        Clic(&d, u"CdIns"_s);
        QCOMPARE(Aviso(), u"Datos incompletos|El campo "_s + campo + u" es obligatorio."_s);
    }

    // Coordinates first. (A square outside Spain on the message line, a point's squares and
    // the lists' narrowing: tst_newobs, on the same panel, and tst_frgps on this form; the
    // squares of the point typed here are those stored below.)

    // In the Casa de Campo, whose square Pozuelo de Alarcón shares: Pozuelo, more than 250 m
    // from the point, is asked about, No by default, which keeps the form and stores nothing.
    Coordenadas(&d, u"30"_s, u"436500"_s, u"4473500"_s);
    Elegir(&d, u"Cbprov"_s, u"Madrid"_s);
    Elegir(&d, u"Cbmuni"_s, u"Pozuelo de Alarcón"_s);
    Escribir(&d, u"Txcod"_s, u"MA4"_s);
    Escribir(&d, u"Txloc"_s, u"Fuente d'Agua"_s);
    Clic(&d, u"CdIns"_s);
    QCOMPARE(Aviso(), u"Tritodex|Las coordenadas caen en el término de Madrid (Madrid), no en "
                      "Pozuelo de Alarcón. ¿Guardar igualmente?"_s);
    QCOMPARE(MessageService::Ultimo().porDefecto, QMessageBox::No);
    QCOMPARE(bd.Contar(u"localidad"_s), antes);
    QVERIFY(d.isVisible() && Texto(&d, u"Cbmuni"_s) == u"Pozuelo de Alarcón"_s);
    Coordenadas(&d, u"30"_s, u"440291"_s, u"4474254"_s);
    Elegir(&d, u"Cbprov"_s, u"Madrid"_s);
    Elegir(&d, u"Cbmuni"_s, u"Madrid"_s);

    // A code taken, in other case: said so, nothing stored, the form keeps what was typed.
    Escribir(&d, u"Txcod"_s, u"ma'1"_s);
    Escribir(&d, u"Txloc"_s, u"Fuente d'Agua"_s);
    Clic(&d, u"CdIns"_s);
    QCOMPARE(Aviso(),
             u"Localidad no registrada|Ya existe una localidad con este código en la BBDD."_s);
    QCOMPARE(bd.Contar(u"localidad"_s), antes);
    QVERIFY(d.isVisible() && Texto(&d, u"Txloc"_s) == u"Fuente d'Agua"_s);

    // Stored as typed, quotes included (the uncertainty's refusals: tst_Place and the
    // change form's session, on the same panel).
    Escribir(&d, u"Txcod"_s, u"MA'3"_s);
    Escribir(&d, u"Txincert"_s, u"25"_s);
    Clic(&d, u"CdIns"_s);
    QCOMPARE(Aviso(), u"Tritodex|Se ha registrado la Localidad MA'3 en la base de datos"_s);
    QCOMPARE(Fila(bd, u"MA'3"_s),
             u"MA'3|Fuente d'Agua|28|28079|440291|4474254|30|VK4074|VK47|25"_s);
    QVERIFY(!d.isVisible() && d.result() == QDialog::Accepted);

    // Province first: the zone typed before it is cleared; a square chosen by hand narrows the
    // provinces, keeping the choices, and the coordinates are stored as nulls.
    frinsLoc p;
    p.show();
    Escribir(&p, u"Cbhuso"_s, u"30"_s);
    Elegir(&p, u"Cbprov"_s, u"Ávila"_s);
    Escribir(&p, u"Cbmuni"_s, u"Ávila"_s);
    Elegir(&p, u"cb10k"_s, u"UL50"_s);
    QCOMPARE(Items(Control<QComboBox>(&p, "Cbprov")), QStringList{u"Ávila"_s});
    QCOMPARE(Textos(&p, {"Cbprov", "Cbmuni"}), u"Ávila|Ávila"_s);
    Escribir(&p, u"Txcod"_s, u"AV9"_s);
    Escribir(&p, u"Txloc"_s, u"Pozo"_s);
    Clic(&p, u"CdIns"_s);
    QCOMPARE(Fila(bd, u"AV9"_s), u"AV9|Pozo|5|5019|null|null|||UL50|null"_s);
}

QTEST_MAIN(tst_frinsLoc)
#include "tst_frinsLoc.moc"
