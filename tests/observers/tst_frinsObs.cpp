#include "Observadores.h"

#include "observers/frinsObs.h"

class tst_frinsObs : public QObject {
    Q_OBJECT
private slots:
    void sesion();

private:
    static void Insertar(QWidget *d, const QStringList &valores, bool predeterminado) {
        Rellenar(d, valores);
        Predeterminado(d, predeterminado);
        Clic(d, "CdIns");
    }
};

void tst_frinsObs::sesion() {
    TestDatabase bd;
    bd.Ejecutar(u"INSERT INTO observador (cod_observador, nombre, email) VALUES "
                "('ÁLV75', 'Ángela', 'a@x.es')"_s);
    frinsObs d;
    d.show();
    // One message, naming the last empty one of code, first name, organisation and mail.
    const QList<QPair<QStringList, QString>> faltan = {
        {{"", "", "", "", ""}, "Mail"},
        {{"", "", "", "", "m@x.es"}, "Entidad"},
        {{"", "", "", "SHE", "m@x.es"}, "Nombre observador"},
        {{"", "Ana", "Ruiz", "SHE", "m@x.es"}, "Código Observador"},
    };
    for (const auto &[valores, campo] : faltan) {
        MessageService::Limpiar();
        Insertar(&d, valores, false);
        QCOMPARE(MessageService::Mostrados().size(), 1);
        QCOMPARE(Aviso(), u"Datos incompletos|El campo "_s + campo + u" es obligatorio."_s);
    }

    // The code's limit counts characters: a frog ending a 7-character code fits and a key
    // more beeps; a paste that would split it is refused whole and said so.
    const QString rana = u"🐸"_s;
    auto *codigo = Control<QLineEdit>(&d, "Txcod");
    QCOMPARE(Editar(codigo, "ABCDEF" + rana, ""), "ABCDEF" + rana + "|0|");
    QCOMPARE(Editar(codigo, "", "X"), "ABCDEF" + rana + "|1|");
    codigo->setText(u"AB"_s);
    QCOMPARE(Editar(codigo, "CDEFG" + rana, ""), "AB|0|" + NoCabe(7));

    // Blanks alone and unprintable characters, half a frog among them, are refused.
    const QString noImprimible =
        u"Observador no registrado|El código del observador contiene caracteres no "
        "imprimibles (saltos de línea, tabuladores u otros caracteres de control); escríbalo "
        "solo con letras, cifras y signos visibles."_s;
    const QList<QPair<QString, QString>> malos = {
        {"   ", u"Observador no registrado|El código del observador no puede estar formado solo "
                "por espacios."_s},
        {"A\tB", noImprimible},
        {u"AB"_s + rana.front(), noImprimible},
    };
    for (const auto &[texto, aviso] : malos) {
        codigo->clear();
        Pegar(codigo, texto);
        Clic(&d, "CdIns");
        QCOMPARE(Aviso(), aviso);
    }

    // A taken code in other case, with an accented capital, even with the default box: the
    // stored one and the default are left as they were.
    User::Elegir(Control<QComboBox>(&d, "Cbprov"), u"Ávila"_s);
    Insertar(&d, {"álv75", "D'Arcy", "O'Neill", "Soc. d'Herpetologia", "o'n@x.ie"}, true);
    QCOMPARE(Aviso(),
             u"Observador no registrado|Ya existe un observador con este código en la BBDD."_s);
    QCOMPARE(Fila(bd, u"ÁLV75"_s), u"Ángela|||a@x.es||"_s);
    // When the default cannot be set the observer is not stored either.
    bd.Ejecutar(u"CREATE TRIGGER bloqueo BEFORE UPDATE ON DefaultObs "
                "BEGIN SELECT RAISE(ABORT, 'bloqueado'); END"_s);
    Insertar(&d, {" O'N1 "}, true);
    QVERIFY2(Aviso().startsWith(u"Observador no registrado|"_s) && Aviso().contains(u"bloqueado"_s),
             qPrintable(Aviso()));
    QVERIFY(Fila(bd, u"O'N1"_s).isEmpty() && d.isVisible());

    // Then stored, the code without the blanks around it, and made the default.
    bd.Ejecutar(u"DROP TRIGGER bloqueo"_s);
    Clic(&d, "CdIns");
    QCOMPARE(Aviso(), u"Tritodex|Se ha registrado el Observador O'N1 en la base de datos"_s);
    QCOMPARE(Fila(bd, u"O'N1"_s), u"D'Arcy|O'Neill|Soc. d'Herpetologia|o'n@x.ie|Ávila|O'N1"_s);
    QVERIFY(!d.isVisible());

    // Blanks count as filled, surname and province may stay empty (stored as empty texts,
    // not nulls), a typed code stops at 7 characters, and the box left clear leaves the
    // default alone.
    frinsObs otro;
    otro.show();
    Insertar(&otro, {"BLA19801", " ", "", " ", "b@x.es"}, false);
    QCOMPARE(Fila(bd, u"BLA1980"_s), u" || |b@x.es||O'N1"_s);
    QCOMPARE(bd.Valor(u"SELECT typeof(apellido) || typeof(provincia) FROM observador "
                      "WHERE cod_observador = 'BLA1980'"_s)
                 .toString(),
             u"texttext"_s);
}

QTEST_MAIN(tst_frinsObs)
#include "tst_frinsObs.moc"
