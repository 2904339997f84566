#include "Observaciones.h"
#include "support/User.h"

#include "data/SpeciesNames.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "observations/frcons.h"
#include "observations/frmodif.h"
#include "observations/newobs.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QPointer>
#include <QPushButton>

// What a text that names no one species is told, after the text.
const QString kRechazo = u"no es ninguna especie de la lista: elija una de las que ofrece."_s;

// Species found by any of their names: scientific, older, Spanish and regional common names,
// whatever the case and accents, in the lists of the observation forms.
class tst_especies : public QObject {
    Q_OBJECT
private slots:
    void nombres();
    void altaPorNombre();
    void consultaYCambio();

private:
    // The popup under the list, and what it offers after typing, in order.
    static QAbstractItemView *Emergente(QComboBox *lista) {
        for (QCompleter *c : lista->findChildren<QCompleter *>())
            if (c->widget() == lista->lineEdit()) return c->popup();
        return nullptr;
    }
    static QStringList Ofrecidos(QComboBox *lista) {
        const QAbstractItemView *emergente = Emergente(lista);
        return emergente && emergente->isVisible() ? Valores(emergente->model(), 0) : QStringList();
    }
};

void tst_especies::nombres() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    SpeciesNames n;
    QVERIFY(n.Cargar());
    // typed, first species offered ('-' none), species named exactly ('-' none), older name
    const struct {
        const char *texto, *primera, *exacta;
        bool sinonimo;
    } casos[] = {
        {"sapo corredor", "EPICAL", "EPICAL", false},
        {"SAPO CORREDOR", "EPICAL", "EPICAL", false},
        {"  sapo   corredor ", "EPICAL", "EPICAL", false},
        {"Tritón jaspeado", "TRIMAR", "TRIMAR", false},
        {"triton jaspeado", "TRIMAR", "TRIMAR", false},
        {"rana perezi", "PELPER", "PELPER", true},
        {"Ráná Pérezi", "PELPER", "PELPER", true},
        {"perezi", "PELPER", "-", false},
        {"Blanus mariae", "BLACIN", "BLACIN", true},
        {"blamar", "BLACIN", "BLACIN", true},
        {"Podarcis atrata", "PODLIO", "PODLIO", true},
        {"Podarcis hispanica", "PODHIS", "PODHIS", true},
        {"sapo partero almogavar", "ALYALM", "ALYALM", false},
        {"Sapo partero pirenaico", "ALYALM", "ALYALM", false},
        {"lludrió llistat", "CHASTR", "CHASTR", false},
        {"pintafontes", "LISBOS", "-", false},
        {"Pelophylax", "PELGRA", "-", false},
        {"xyzzy", "-", "-", false},
        {"a", "-", "-", false},
    };
    for (const auto &c : casos) {
        const QString texto = QString::fromUtf8(c.texto);
        const auto lista = n.Buscar(texto);
        QCOMPARE(lista.isEmpty() ? u"-"_s : lista.first().codigo, QString::fromUtf8(c.primera));
        const auto exacta = n.Exacto(texto);
        QCOMPARE(exacta ? exacta->codigo : u"-"_s, QString::fromUtf8(c.exacta));
        if (exacta) QCOMPARE(exacta->sinonimo, c.sinonimo);
    }
    // Every newt that Galician calls a pintafontes, and a part of a name finds all bearers.
    QStringList pintafontes;
    for (const auto &c : n.Buscar(u"pintafontes"_s))
        pintafontes << c.codigo;
    QCOMPARE(pintafontes, (QStringList{u"LISBOS"_s, u"LISHEL"_s, u"TRIMAR"_s}));
    QCOMPARE(n.Aceptado(u"podatr"_s) + u'|' + n.Aceptado(u"PODLIO"_s), u"PODLIO|PODLIO"_s);
}

void tst_especies::altaPorNombre() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    newobs f;
    f.show();
    auto *lista = Control<QComboBox>(&f, "Cbespecie");
    const auto muestra = [&] { return Textos(&f, {"Cbespecie", "Lbespecie", "Lbsinonimo"}); };

    // Older codes are not offered for new records.
    QVERIFY(!Items(lista).join(u'\n').contains(u"BLAMAR"_s));
    QVERIFY(Items(lista).contains(u"RANPAR - Rana parvipalmata"_s));

    // A common name typed in part offers its species; the popup's choice selects it.
    User::Escribir(lista, u"sapo corr"_s);
    QCOMPARE(Ofrecidos(lista), QStringList{u"EPICAL - Epidalea calamita"_s});
    QTest::keyClick(Emergente(lista), Qt::Key_Down);
    QTest::keyClick(Emergente(lista), Qt::Key_Return);
    QCOMPARE(muestra(), u"EPICAL - Epidalea calamita|Sapo corredor|"_s);

    // Several bearers of a name part, those whose name begins with it first.
    User::Escribir(lista, u"gallipa"_s);
    QCOMPARE(Ofrecidos(lista), QStringList{u"PLEWAL - Pleurodeles waltl"_s});
    User::Escribir(lista, u"ciega"_s);
    QCOMPARE(Ofrecidos(lista),
             (QStringList{u"BLACIN - Blanus cinereus"_s, u"BLATIN - Blanus tingitanus"_s,
                          u"BLAVAN - Blanus vandellii"_s}));

    // A text that names nothing finds nothing.
    User::Escribir(lista, u"xyzzy"_s);
    QCOMPARE(Ofrecidos(lista), QStringList());

    // Typed texts: the list and the name beside it while typing, then after leaving with the
    // note on an older name ("=": as while typing, no note), and what the user was told. A
    // code completes while the text can still be one, in any case; a name typed on is never
    // turned into a code, and a text that is no one species is refused. A whole older name
    // gives its species, with the note; another choice clears it.
    const struct {
        const char *texto, *escribiendo, *dejado;
        bool avisado = false;
    } casos[] = {
        {"salsal", "SALSAL - Salamandra salamandra|Salamandra común", "="},
        {"salamandra c", "salamandra c|", " ||", true},
        {"salamandra común", "salamandra común|",
         "SALSAL - Salamandra salamandra|Salamandra común|"},
        {"sala", "SALALG - Salamandra algira|Salamandra norteafricana", "="},
        {"bufo c", "bufo c|", " ||", true},
        {"bufo calamita", "bufo calamita|",
         "EPICAL - Epidalea calamita|Sapo corredor|Bufo calamita es sinónimo de "
         "Epidalea calamita"},
        {"buf", "BUFBAL - Bufotes balearicus|Sapo verde balear", "="},
        {"BUFSPI", "BUFSPI - Bufo spinosus|Sapo común", "="},
        {"partero c", "partero c|", " ||", true},
        {"alyt", "alyt|", " ||", true},
        {"alyo", "ALYOBS - Alytes obstetricans|Sapo partero común", "="},
        {"sapo partero común", "sapo partero común|",
         "ALYOBS - Alytes obstetricans|Sapo partero común|"},
        {"Hyla m", "Hyla m|", " ||", true},
        {"xyzzy", "xyzzy|", " ||", true},
        {" ", " |", " ||"},
        {"rana perezi", "rana perezi|",
         "PELPER - Pelophylax perezi|Rana común|Rana perezi es sinónimo de Pelophylax perezi"},
        {"Blanus Mariae", "Blanus Mariae|",
         "BLACIN - Blanus cinereus|Culebrilla ciega|Blanus mariae es sinónimo de Blanus cinereus"},
        {"vipsEO", "VIPSEO - Vipera seoanei|Víbora de Seoane", "="},
    };
    for (const auto &c : casos) {
        const QString texto = QString::fromUtf8(c.texto),
                      escribiendo = QString::fromUtf8(c.escribiendo);
        MessageService::Limpiar();
        User::Escribir(lista, texto);
        QCOMPARE(Textos(&f, {"Cbespecie", "Lbespecie"}), escribiendo);
        User::SalirDe(lista);
        QCOMPARE(muestra(),
                 qstrcmp(c.dejado, "=") ? QString::fromUtf8(c.dejado) : escribiendo + u'|');
        QCOMPARE(Aviso(), c.avisado ? u"«%1» %2"_s.arg(texto, kRechazo) : QString());
    }
    // The completed tail deleted, then typing on: the user's own letters, nothing chosen.
    User::Escribir(lista, u"sala"_s);
    QTest::keyClick(lista, Qt::Key_Backspace);
    QTest::keyClicks(lista, u"mandra c"_s);
    QCOMPARE(Textos(&f, {"Cbespecie", "Lbespecie"}), u"salamandra c|"_s);
    QCOMPARE(lista->currentIndex(), -1);
}

void tst_especies::consultaYCambio() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    Observaciones o(bd);
    // A record kept under a code that is now an older name.
    QVERIFY(bd.Ejecutar(u"UPDATE observacion SET especie = 'BLAMAR' WHERE id_observacion = ?"_s,
                        {o.juliana}));
    QVERIFY(bd.Ejecutar(u"UPDATE observacion SET especie = 'BLACIN' WHERE id_observacion = ?"_s,
                        {o.alvaro}));
    frcons consulta;
    consulta.show();
    auto *lista = Control<QComboBox>(&consulta, "Cbesp");

    // The query offers the codes stored, the older one beside the current one.
    User::Escribir(lista, u"culebrilla"_s);
    QCOMPARE(Ofrecidos(lista), (QStringList{u"BLACIN"_s, u"BLAMAR"_s}));
    User::Poner(lista, u"sapo comun"_s);
    QCOMPARE(Textos(&consulta, {"Cbesp", "Lbespecie", "Lbsinonimo"}), u"BUFSPI|Sapo común|"_s);
    // Typed texts, as in the new observation: while typing, after leaving, and what was said.
    // A species never observed is no filter.
    const struct {
        const char *texto, *escribiendo, *dejado;
        bool avisado;
    } casos[] = {
        {"bufo c", "bufo c|", " |", true},
        {"buf", "BUFSPI|Sapo común", "BUFSPI|Sapo común", false},
        {"blacin", "BLACIN|Culebrilla ciega", "BLACIN|Culebrilla ciega", false},
        {"culebrilla ciega", "culebrilla ciega|", "BLACIN|Culebrilla ciega", false},
        {"partero c", "partero c|", " |", true},
        {"salamandra común", "salamandra común|", " |", true},
    };
    for (const auto &c : casos) {
        const QString texto = QString::fromUtf8(c.texto);
        MessageService::Limpiar();
        User::Escribir(lista, texto);
        QCOMPARE(Textos(&consulta, {"Cbesp", "Lbespecie"}), QString::fromUtf8(c.escribiendo));
        User::SalirDe(lista);
        QCOMPARE(Textos(&consulta, {"Cbesp", "Lbespecie"}), QString::fromUtf8(c.dejado));
        QCOMPARE(Aviso(), c.avisado ? u"«%1» %2"_s.arg(texto, kRechazo) : QString());
    }
    // Typed and never left, then "Filtrar": refused as on leaving, and no query with it.
    User::Escribir(lista, u"partero c"_s);
    MessageService::Limpiar();
    QMetaObject::invokeMethod(Control<QPushButton>(&consulta, "CdBuscar"), "click");
    QCOMPARE(Aviso(), u"«partero c» "_s + kRechazo);

    // The change form shows the older code as stored, explains it, and keeps it on saving.
    auto *rejilla = consulta.findChild<QTableView *>(u"DBObs"_s);
    User::Poner(lista, QString());
    QTest::mouseClick(Control<QPushButton>(&consulta, "CdBuscar"), Qt::LeftButton);
    Pulsar(rejilla, Ids(rejilla, ObservationStore::ColumnaId()).indexOf(o.juliana));
    QTest::mouseClick(Control<QPushButton>(&consulta, "Command1"), Qt::LeftButton);
    QPointer<frmodif> f = qobject_cast<frmodif *>(Screen::BuscarFormulario(u"frmodif"_s));
    QVERIFY(f);
    QCOMPARE(Textos(f, {"Cbespecie", "Lbsinonimo"}),
             u"BLAMAR - Blanus mariae|Blanus mariae es sinónimo de Blanus cinereus"_s);
    MessageService::Limpiar();
    QTest::mouseClick(Control<QPushButton>(f, "Cbguardar"), Qt::LeftButton);
    QCOMPARE(Fila(bd, u"SELECT especie FROM observacion WHERE id_observacion = ?"_s, {o.juliana}),
             u"BLAMAR"_s);
    if (f) f->close();
}

QTEST_MAIN(tst_especies)
#include "tst_especies.moc"
