#include "Observadores.h"

#include "observers/frmodifobs.h"

class tst_frmodifobs : public QObject {
    Q_OBJECT
private slots:
    void sesion();

private:
    // What the form shows: code, the four fields, the province ("-" when none is chosen) and
    // the default box.
    static QString Formulario(QWidget *d) {
        auto *provincia = Control<QComboBox>(d, "Cbprov");
        return Textos(d, {"Lbcode", "Txnomobs", "Txcognom", "Txentidad", "Txmail"}) + u'|' +
               (provincia->currentIndex() < 0 ? u"-"_s : provincia->currentText()) + u'|' +
               QString::number(Control<QCheckBox>(d, "Ckdef")->isChecked());
    }
    static void Modificar(QWidget *d, bool predeterminado) {
        Predeterminado(d, predeterminado);
        Clic(d, "cdAct");
    }
};

void tst_frmodifobs::sesion() {
    TestDatabase bd;
    Poblar(bd);
    const QString rana = u"ABCDEF🐸"_s, largo = QString(60, u'n');
    bd.Ejecutar(u"INSERT INTO observador (cod_observador, nombre, email) VALUES (?, ?, ?)"_s,
                {rana, largo, "r@x.es"});
    bd.Ejecutar(u"UPDATE DefaultObs SET cd_obs = 'jpg1980'"_s);
    // Nulls load empty; a blank or missing province leaves none chosen, one in other case is
    // the list's, one the list lacks is kept; the default's code compares ignoring case; a
    // code ending in a frog is found.
    for (const QString &esperado :
         {u"JPG1980|Juan|Pérez García|SHE|jpg@x.es|Madrid|1"_s, u"ROD90|Rodrigo|||rod@x.es|-|0"_s,
          u"XA1|Luis|Martínez|AHE|luis@x.es|-|0"_s, u"ONE61|Seán|O'Neill|AHE|sean@x.ie|Ávila|0"_s,
          u"ALV75|Ángela|Álvarez|SHE|angela@x.es|Lisboa|0"_s,
          rana + u'|' + largo + u"|||r@x.es|-|0"_s}) {
        frmodifobs d(esperado.section(u'|', 0, 0));
        QCOMPARE(Formulario(&d) + (d.Cargado() ? QString() : u" (sin cargar)"_s), esperado);
    }
    QVERIFY(MessageService::Mostrados().isEmpty());
    frmodifobs nadie(u"NADIE"_s);
    QVERIFY(!nadie.Cargado());
    QCOMPARE(Aviso(),
             u"Tritodex|Error al intentar encontrar este observador en la base de datos"_s);

    // A stored name longer than its field may be shortened, not lengthened.
    frmodifobs deRana(rana);
    deRana.show();
    auto *nombre = Control<QLineEdit>(&deRana, "Txnomobs");
    QCOMPARE(Editar(nombre, "", "x"), largo + "|1|");
    QCOMPARE(Editar(nombre, "xy", ""), largo + "|0|" + NoCabe(50));
    QTest::keyClick(nombre, Qt::Key_Backspace);
    Modificar(&deRana, false);
    QCOMPARE(Fila(bd, rana), QString(59, u'n') + u"|||r@x.es||jpg1980"_s);

    // With both empty only the first name is reported; blanks alone are refused too.
    MessageService::Limpiar();
    frmodifobs d(u"X_1"_s);
    d.show();
    Rellenar(&d, {"", "  ", "Ruiz", "SHE", ""});
    Modificar(&d, false);
    QCOMPARE(Aviso(), u"Nom obligatori|El nommbre del observador es obligatorio."_s);
    Rellenar(&d, {"", "Anna", "Ruiz", "SHE", "  "});
    Modificar(&d, false);
    QCOMPARE(QString::number(MessageService::Mostrados().size()) + Aviso(),
             u"2MAIL obligatorio|El mail del observador es obligatorio"_s);

    // When the default cannot be set the change is not stored either; nor is anything on a
    // file that cannot be written.
    const QString antes = u"Ana|Ruiz|SHE|ana@x.es|Cádiz|jpg1980"_s;
    Rellenar(&d, {"", "Anna", "O'Neill", "", "a@x.es"});
    User::Elegir(Control<QComboBox>(&d, "Cbprov"), QString());
    bd.Ejecutar(u"CREATE TRIGGER bloqueo BEFORE UPDATE ON DefaultObs "
                "BEGIN SELECT RAISE(ABORT, 'bloqueado'); END"_s);
    Modificar(&d, true);
    QVERIFY2(Aviso().startsWith(u"Observador no modificado|"_s) && Aviso().contains(u"bloqueado"_s),
             qPrintable(Aviso()));
    QCOMPARE(Fila(bd, u"X_1"_s), antes);
    SoloLectura(true);
    Modificar(&d, false);
    QCOMPARE(Aviso(), u"Observador no modificado|No se puede escribir en la base de datos: el "
                      "archivo es de solo lectura."_s);
    QVERIFY(Fila(bd, u"X_1"_s) == antes && d.isVisible());

    // Saved: organisation and province may be emptied; others are left alone.
    SoloLectura(false);
    bd.Ejecutar(u"DROP TRIGGER bloqueo"_s);
    Modificar(&d, false);
    QCOMPARE(Aviso(), u"Tritodex|Actualización realizada"_s);
    QCOMPARE(Fila(bd, u"X_1"_s), u"Anna|O'Neill||a@x.es||jpg1980"_s);
    QCOMPARE(Fila(bd, u"XA1"_s), u"Luis|Martínez|AHE|luis@x.es|  |jpg1980"_s);
    QVERIFY(!d.isVisible());

    // The default left checked is not rewritten; another left clear changes nothing;
    // another checked becomes the default; the default cleared leaves none.
    auto guardar = [&](const QString &codigo, bool marcar) {
        frmodifobs otro(codigo);
        otro.show();
        Modificar(&otro, marcar);
        return otro.isVisible() ? u"sin guardar"_s : Fila(bd, codigo).section(u'|', 5);
    };
    // (A braced list is evaluated in order.)
    QCOMPARE(QStringList({guardar(u"JPG1980"_s, true), guardar(u"XA1"_s, false),
                          guardar(u"XA1"_s, true), guardar(u"XA1"_s, false)}),
             QStringList({u"jpg1980"_s, u"jpg1980"_s, u"XA1"_s, QString()}));

    // Removed since the form loaded: told, and not made the default.
    frmodifobs ido(u"ROD90"_s);
    ido.show();
    bd.Ejecutar(u"DELETE FROM observador WHERE cod_observador = 'ROD90'"_s);
    Modificar(&ido, true);
    QCOMPARE(Aviso(), u"Observador no modificado|Error al intentar encontrar este observador en "
                      "la base de datos"_s);
    QCOMPARE(bd.Valor(u"SELECT cd_obs FROM DefaultObs"_s).toString(), QString());
}

QTEST_MAIN(tst_frmodifobs)
#include "tst_frmodifobs.moc"
