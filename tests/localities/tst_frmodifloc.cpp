#include "Localidades.h"

#include "localities/frmodifloc.h"

#include <QClipboard>
#include <QGuiApplication>

class tst_frmodifloc : public QObject {
    Q_OBJECT
private slots:
    void sesion();

private:
    // The change form of a stored locality, by its code, shown.
    static std::unique_ptr<frmodifloc> Abrir(const TestDatabase &bd, const QString &codigo) {
        auto f = std::make_unique<frmodifloc>(
            bd.Valor(u"SELECT id_localidad FROM localidad WHERE cod_localidad = ?"_s, {codigo})
                .toString());
        f->show();
        return f;
    }
};

void tst_frmodifloc::sesion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    Poblar(bd);

    // Null coordinates show empty and a missing zone as the blank entry; an unchanged save
    // writes the coordinates back as nulls.
    auto d = Abrir(bd, u"BA2"_s);
    QVERIFY(d->Cargado());
    // Code, name, easting, northing, zone, 1-km and 10-km squares, province, municipality,
    // uncertainty.
    QCOMPARE(Textos(d.get(), {"Lbcode", "Txloc", "Txutmx", "Txutmy", "Cbhuso", "txutm1k", "cb10k",
                              "Cbprov", "Cbmuni", "Txincert"}),
             u"BA2|Arroyo d'Ávila||| ||UL50|Ávila|Ávila|"_s);
    Clic(d.get(), u"cdAct"_s);
    QCOMPARE(Aviso(), u"Tritodex|Actualización realizada"_s);
    QCOMPARE(Fila(bd, u"BA2"_s), u"BA2|Arroyo d'Ávila|5|5019|null|null| ||UL50|null"_s);
    QVERIFY(!d->isVisible());

    // Each refusal, on the form as loaded, which stays open; nothing is stored.
    const QString av1 = Fila(bd, u"AV1"_s);
    const std::pair<std::function<void(QWidget *)>, QString> casos[] = {
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
    for (const auto &[accion, aviso] : casos) {
        auto m = Abrir(bd, u"AV1"_s);
        QCOMPARE(Texto(m.get(), u"Txincert"_s), u"30"_s);
        accion(m.get());
        Clic(m.get(), u"cdAct"_s);
        QCOMPARE(Aviso() + (m->isVisible() ? QString() : u" (cerrado)"_s), aviso);
    }
    QCOMPARE(Fila(bd, u"AV1"_s), av1);
    auto m = Abrir(bd, u"AV1"_s);
    Escribir(m.get(), u"Txloc"_s, u"  Charca Nueva"_s);
    // A point's squares are those of its numbers: squares shown that are not are replaced by
    // them, for the user to read before saving again.
    Escribir(m.get(), u"Txutmx"_s, u"368725"_s);
    Clic(m.get(), u"cdAct"_s);
    QCOMPARE(Aviso(), u"Localidad no modificada|Los cuadrados UTM no eran los de las coordenadas: "
                      "el formulario muestra ahora los de ellas (UL60 y UL6803). Revíselos y "
                      "guarde de nuevo."_s);
    QCOMPARE(Textos(m.get(), {"cb10k", "txutm1k"}) + u'|' + Fila(bd, u"AV1"_s),
             u"UL60|UL6803|"_s + av1);
    Clic(m.get(), u"Command2"_s);
    QVERIFY(!m->isVisible() && Fila(bd, u"AV1"_s) == av1);

    // Asked about the point outside its municipality (the new-locality session answers No,
    // on the same panel), Yes stores it so, with the uncertainty now shown.
    auto y = Abrir(bd, u"AV1"_s);
    Elegir(y.get(), u"Cbprov"_s, u"Madrid"_s);
    Elegir(y.get(), u"Cbmuni"_s, u"Madrid"_s);
    Escribir(y.get(), u"Txincert"_s, u"8"_s);
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    Clic(y.get(), u"cdAct"_s);
    QCOMPARE(MessageService::Mostrados().at(MessageService::Mostrados().size() - 2).porDefecto,
             QMessageBox::No);
    QCOMPARE(Aviso(), u"Tritodex|Actualización realizada"_s);
    QCOMPARE(Fila(bd, u"AV1"_s), u"AV1|Charca del Sapo|28|28079|358725|4503329|30|UL5803|UL50|8"_s);

    // A square the list lacks is kept; leading blanks of the name are kept; a locality gone
    // meanwhile is said to be gone.
    auto z = Abrir(bd, u"aM2"_s);
    QCOMPARE(Texto(z.get(), u"cb10k"_s), u"ZZ99"_s);
    Escribir(z.get(), u"Txloc"_s, u" Prado Alto"_s);
    Clic(z.get(), u"cdAct"_s);
    QCOMPARE(Fila(bd, u"aM2"_s), u"aM2| Prado Alto|28|28079|null|null| ||ZZ99|null"_s);
    auto ido = Abrir(bd, u"MA'1"_s);
    bd.Ejecutar(u"DELETE FROM localidad WHERE cod_localidad = 'MA''1'"_s);
    Clic(ido.get(), u"cdAct"_s);
    QCOMPARE(
        Aviso(),
        u"Localidad no modificada|Error al intentar encontrar esta localidad en la base de datos"_s);
    QVERIFY(ido->isVisible());

    // Without a locality: said at the load, and a save is refused.
    frmodifloc nada(QString{});
    QVERIFY(!nada.Cargado());
    QCOMPARE(Aviso(), u"Tritodex|Error al intentar encontrar esta localidad en la base de datos"_s);
    Clic(&nada, u"cdAct"_s);
    QCOMPARE(Aviso(), u"Tritodex|Debes seleccionar algun registro"_s);
}

QTEST_MAIN(tst_frmodifloc)
#include "tst_frmodifloc.moc"
