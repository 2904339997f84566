#include "Observadores.h"

#include "observers/frinsObs.h"

#include <QComboBox>

class tst_frinsObs : public QObject {
    Q_OBJECT
private slots:
    void insercion();
    void codigoYLongitudes();
};

namespace {
void Insertar(QWidget *d, const QStringList &valores, bool predeterminado) {
    Rellenar(d, valores);
    Predeterminado(d, predeterminado);
    Clic(d, "CdIns");
}
} // namespace

void tst_frinsObs::insercion() {
    TestDatabase bd;
    bd.Ejecutar(u"INSERT INTO observador (cod_observador, nombre, email) VALUES "
                "('ÁLV75', 'Ángela', 'a@x.es')"_s);
    frinsObs d;
    d.show();
    // The message names the last empty one of code, first name, organisation and mail.
    const QList<QPair<QStringList, QString>> faltan = {
        {{"", "", "", "", ""}, "Mail"},
        {{"", "", "", "", "m@x.es"}, "Entidad"},
        {{"", "", "", "SHE", "m@x.es"}, "Nombre observador"},
        {{"", "Ana", "Ruiz", "SHE", "m@x.es"}, "Código Observador"},
        {{"AR1", "Ana", "", "SHE", ""}, "Mail"},
    };
    for (const auto &[valores, campo] : faltan) {
        MessageService::Limpiar();
        Insertar(&d, valores, false);
        QCOMPARE(MessageService::Mostrados().size(), 1);
        QCOMPARE(Aviso(), u"Datos incompletos|El campo "_s + campo + u" es obligatorio."_s);
    }

    // A taken code, in other case and with an accented capital, even with the default box:
    // the stored one and the default are left as they were.
    User::Elegir(Control<QComboBox>(&d, "Cbprov"), u"Ávila"_s);
    Insertar(&d, {"álv75", "D'Arcy", "O'Neill", "Soc. d'Herpetologia", "o'n@x.ie"}, true);
    QCOMPARE(Aviso(),
             u"Observador no registrado|Ya existe un observador con este código en la BBDD."_s);
    QCOMPARE(Fila(bd, u"ÁLV75"_s), u"Ángela|||a@x.es||"_s);
    // When the default cannot be set the observer is not stored either; nor is anything on
    // a file that cannot be written.
    bd.Ejecutar(u"CREATE TRIGGER bloqueo BEFORE UPDATE ON DefaultObs "
                "BEGIN SELECT RAISE(ABORT, 'bloqueado'); END"_s);
    Insertar(&d, {"O'N1"}, true);
    QVERIFY2(Aviso().startsWith(u"Observador no registrado|"_s) && Aviso().contains(u"bloqueado"_s),
             qPrintable(Aviso()));
    QCOMPARE(Fila(bd, u"O'N1"_s), QString());
    SoloLectura(true);
    Clic(&d, "CdIns");
    QCOMPARE(Aviso(), u"Observador no registrado|No se puede escribir en la base de datos: el "
                      "archivo es de solo lectura."_s);
    QCOMPARE(Fila(bd, u"O'N1"_s), QString());
    QVERIFY(d.isVisible());

    // Then stored as typed, quotes included, and made the default.
    SoloLectura(false);
    bd.Ejecutar(u"DROP TRIGGER bloqueo"_s);
    Clic(&d, "CdIns");
    QCOMPARE(Aviso(), u"Tritodex|Se ha registrado el Observador O'N1 en la base de datos"_s);
    QCOMPARE(Fila(bd, u"O'N1"_s), u"D'Arcy|O'Neill|Soc. d'Herpetologia|o'n@x.ie|Ávila|O'N1"_s);
    QVERIFY(!d.isVisible());

    // Blanks count as filled, surname and province may stay empty, the code takes 7
    // characters, and the box left clear leaves the default alone.
    frinsObs otro;
    otro.show();
    Insertar(&otro, {"BLA19801", " ", "", " ", "b@x.es"}, false);
    QCOMPARE(Fila(bd, u"BLA1980"_s), u" || |b@x.es||O'N1"_s);
    // Empty fields are stored as empty texts, not nulls.
    QCOMPARE(bd.Valor(u"SELECT apellido || provincia FROM observador "
                      "WHERE cod_observador = 'BLA1980'"_s),
             QVariant(u""_s));
}

void tst_frinsObs::codigoYLongitudes() {
    TestDatabase bd;
    // Limits count characters, a frog being one however it is stored; a character typed
    // into a full field beeps; a paste that does not fit is refused whole and said so.
    const QString rana = u"🐸"_s, enie49 = QString(49, u'ñ'), a69 = QString(69, u'a');
    struct Caso {
        const char *campo;
        QString antes, pegado, tecleado, esperado;
    };
    const QList<Caso> casos = {
        {"Txcod", "", "ABCDEF" + rana, "", "ABCDEF" + rana + "|0|"},
        {"Txcod", "ABCDEF" + rana, "", "X", "ABCDEF" + rana + "|1|"},
        {"Txcod", "AB", "CDEFG" + rana, "", "AB|0|" + NoCabe(7)},
        {"Txnomobs", enie49, rana, "", enie49 + rana + "|0|"},
        {"Txmail", a69, "@x", "", a69 + "|0|" + NoCabe(70)},
    };
    frinsObs d;
    d.show();
    for (const Caso &c : casos)
        QCOMPARE(Editar(Control<QLineEdit>(&d, c.campo), c.antes, c.pegado, c.tecleado),
                 c.esperado);

    // The code is stored without the blanks around it, never with unprintable characters.
    const QString noImprimible =
        u"Observador no registrado|El código del observador contiene caracteres no "
        "imprimibles (saltos de línea, tabuladores u otros caracteres de control); escríbalo "
        "solo con letras, cifras y signos visibles."_s;
    const QList<QPair<QString, QString>> codigos = {
        {"ABCDEF" + rana,
         "Tritodex|Se ha registrado el Observador ABCDEF" + rana + " en la base de datos"},
        {" AB12 ", u"Tritodex|Se ha registrado el Observador AB12 en la base de datos"_s},
        {"   ", u"Observador no registrado|El código del observador no puede estar formado solo "
                "por espacios."_s},
        {"A\tB", noImprimible},
        {"A\nB", noImprimible},
        {"A\x07", noImprimible},
        {"A\u200BB", noImprimible},
        {u"AB"_s + rana.front(), noImprimible},
    };
    for (const auto &[codigo, aviso] : codigos) {
        frinsObs nuevo;
        nuevo.show();
        Rellenar(&nuevo, {"", "Ana", "", "SHE", "a@x.es"});
        Pegar(Control<QLineEdit>(&nuevo, "Txcod"), codigo);
        Clic(&nuevo, "CdIns");
        QCOMPARE(Aviso(), aviso);
    }
    QCOMPARE(bd.Valor(u"SELECT group_concat(cod_observador, '|') FROM "
                      "(SELECT cod_observador FROM observador ORDER BY 1)"_s)
                 .toString(),
             u"AB12|ABCDEF"_s + rana);
}

QTEST_MAIN(tst_frinsObs)
#include "tst_frinsObs.moc"
