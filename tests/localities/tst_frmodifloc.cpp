#include "Localidades.h"

#include "localities/frmodifloc.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>

class tst_frmodifloc : public QObject {
    Q_OBJECT
private slots:
    void sesion();
};

namespace {
QString Id(const TestDatabase &bd, const QString &codigo) {
    return bd.Valor(u"SELECT id_localidad FROM localidad WHERE cod_localidad = ?"_s, {codigo})
        .toString();
}
// What the form shows: code, name, easting, northing, zone, 1-km and 10-km squares,
// province, municipality, uncertainty.
QString Mostrado(QWidget *d) {
    return Textos(d, {"Lbcode", "Txloc", "Txutmx", "Txutmy", "Cbhuso", "txutm1k", "cb10k", "Cbprov",
                      "Cbmuni", "Txincert"});
}
} // namespace

void tst_frmodifloc::sesion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    Poblar(bd);

    // Null coordinates show empty and a missing zone as the blank entry; an unchanged save
    // writes the coordinates back as nulls.
    frmodifloc d(Id(bd, u"BA2"_s));
    QVERIFY(d.Cargado());
    d.show();
    QCOMPARE(Mostrado(&d), u"BA2|Arroyo d'Ávila||| ||UL50|Ávila|Ávila|"_s);
    Clic(&d, u"cdAct"_s);
    QCOMPARE(Aviso(), u"Tritodex|Actualización realizada"_s);
    QCOMPARE(Fila(bd, u"BA2"_s), u"BA2|Arroyo d'Ávila|5|5019|null|null| ||UL50|null"_s);
    QVERIFY(!d.isVisible());

    // Each refusal, on the form as loaded, which stays open; nothing is stored.
    const QString av1 = Fila(bd, u"AV1"_s);
    const struct {
        std::function<void(QWidget *)> accion;
        QString aviso;
    } casos[] = {
        {[](QWidget *m) { Escribir(m, u"Txloc"_s, u"   "_s); },
         u"Nombre obligatori|El nommbre de la localidad es obligatorio."_s},
        {[](QWidget *m) { Elegir(m, u"Cbprov"_s, u"Madrid"_s); },
         u"Municipio obligatorio|El municipio es obligatorio"_s},
        {[](QWidget *m) { Elegir(m, u"cb10k"_s, u" "_s); },
         u"UTM10K obligatorio|El quadrante 10k es obligatorio"_s},
        {[](QWidget *m) {
             QGuiApplication::clipboard()->setText(u"x"_s);
             QTest::keyClick(Control<QLineEdit>(m, u"Txutmx"_s), Qt::Key_V, Qt::ControlModifier);
         },
         u"Localidad no modificada|El campo longitud (E) debe ser un número entero."_s},
        // Without its point an uncertainty describes nothing.
        {[](QWidget *m) { Escribir(m, u"Txutmy"_s, QString()); },
         u"Localidad no modificada|La incertidumbre es la de un punto: escriba sus coordenadas o "
         "deje vacía la incertidumbre."_s},
    };
    for (const auto &c : casos) {
        frmodifloc m(Id(bd, u"AV1"_s));
        m.show();
        QCOMPARE(Texto(&m, u"Txincert"_s), u"30"_s);
        c.accion(&m);
        Clic(&m, u"cdAct"_s);
        QCOMPARE(Aviso(), c.aviso);
        QVERIFY(m.isVisible());
    }
    QCOMPARE(Fila(bd, u"AV1"_s), av1);
    frmodifloc m(Id(bd, u"AV1"_s));
    m.show();
    Escribir(&m, u"Txloc"_s, u"  Charca Nueva"_s);
    // A point's squares are those of its numbers: squares shown that are not are replaced by
    // them, for the user to read before saving again.
    Escribir(&m, u"Txutmx"_s, u"368725"_s);
    Clic(&m, u"cdAct"_s);
    QCOMPARE(Aviso(), u"Localidad no modificada|Los cuadrados UTM no eran los de las coordenadas: "
                      "el formulario muestra ahora los de ellas (UL60 y UL6803). Revíselos y "
                      "guarde de nuevo."_s);
    QCOMPARE(Textos(&m, {"cb10k", "txutm1k"}), u"UL60|UL6803"_s);
    QCOMPARE(Fila(bd, u"AV1"_s), av1);
    Clic(&m, u"Command2"_s);
    QVERIFY(!m.isVisible());
    QCOMPARE(Fila(bd, u"AV1"_s), av1);

    // Asked about the point outside its municipality (the new-locality session answers No,
    // on the same panel), Yes stores it so, with the uncertainty now shown.
    frmodifloc y(Id(bd, u"AV1"_s));
    y.show();
    Elegir(&y, u"Cbprov"_s, u"Madrid"_s);
    Elegir(&y, u"Cbmuni"_s, u"Madrid"_s);
    Escribir(&y, u"Txincert"_s, u"8"_s);
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    Clic(&y, u"cdAct"_s);
    QCOMPARE(MessageService::Mostrados().at(MessageService::Mostrados().size() - 2).porDefecto,
             QMessageBox::No);
    QCOMPARE(Aviso(), u"Tritodex|Actualización realizada"_s);
    QCOMPARE(Fila(bd, u"AV1"_s), u"AV1|Charca del Sapo|28|28079|358725|4503329|30|UL5803|UL50|8"_s);

    // A square the list lacks is kept; leading blanks of the name are kept; a locality gone
    // meanwhile is said to be gone.
    frmodifloc z(Id(bd, u"aM2"_s));
    z.show();
    QCOMPARE(Texto(&z, u"cb10k"_s), u"ZZ99"_s);
    Escribir(&z, u"Txloc"_s, u" Prado Alto"_s);
    Clic(&z, u"cdAct"_s);
    QCOMPARE(Fila(bd, u"aM2"_s), u"aM2| Prado Alto|28|28079|null|null| ||ZZ99|null"_s);
    frmodifloc ido(Id(bd, u"MA'1"_s));
    ido.show();
    bd.Ejecutar(u"DELETE FROM localidad WHERE cod_localidad = 'MA''1'"_s);
    Clic(&ido, u"cdAct"_s);
    QCOMPARE(
        Aviso(),
        u"Localidad no modificada|Error al intentar encontrar esta localidad en la base de datos"_s);
    QVERIFY(ido.isVisible());

    // Without a locality: said at the load, and a save is refused.
    frmodifloc nada(QString{});
    QVERIFY(!nada.Cargado());
    QCOMPARE(Aviso(), u"Tritodex|Error al intentar encontrar esta localidad en la base de datos"_s);
    Clic(&nada, u"cdAct"_s);
    QCOMPARE(Aviso(), u"Tritodex|Debes seleccionar algun registro"_s);
}

QTEST_MAIN(tst_frmodifloc)
#include "tst_frmodifloc.moc"
