#include "Observaciones.h"
#include "data/Clock.h"
#include "support/ServidorPrueba.h"
#include "support/User.h"

#include "gui/ChoiceService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/UnsavedChanges.h"
#include "observations/frlista.h"
#include "observations/newobs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimeEdit>

// The species list of a visit as a user meets it: the header typed once, the species typed
// row after row by the keyboard, the save's refusals and question answered; and what it
// stores compared, column by column, with what the observation form stores for the same
// values.
namespace {
constexpr auto Reales = TestDatabase::Datos::Reales;

const QString kLaguna =
    u"INSERT INTO localidad (id_localidad, cod_localidad, localidad, prov, muni, utmhuso, "
    "utmx, utmy, utm1k, utm10k) VALUES (900007, 'LMOD7', 'Laguna', 28, 28079, '30', 440291, "
    "4474254, 'VK4074', 'VK47')"_s;

// Every stored column but the identifier, one line per observation in the order stored.
const QString kColumnas =
    u"SELECT observador1, observador2, observador3, observador4, fecha, horaini, horafin, "
    "periodo, meteo, viento, especie, numejemp, numaprox, estadio, conducta, descripcion, "
    "motivo, habitat, localidad FROM observacion WHERE id_observacion > ? "
    "ORDER BY id_observacion"_s;

// Keys and clicks, counted as they are made.
struct Usuario {
    int teclas = 0, clics = 0;
    QWidget *Foco() { return QApplication::focusWidget(); }
    void Tecla(Qt::Key k) {
        ++teclas;
        QTest::keyClick(Foco(), k);
    }
    void Teclear(const QString &texto) {
        teclas += int(texto.size());
        QTest::keyClicks(Foco(), texto);
    }
    void Clic(QWidget *w) {
        ++clics;
        if (auto *boton = qobject_cast<QAbstractButton *>(w))
            QTest::mouseClick(boton, Qt::LeftButton);
        else
            w->setFocus(Qt::MouseFocusReason);
    }
    // A click on a save button, the box it raises answered with a click.
    QString Guardar(QWidget *boton, std::initializer_list<QMessageBox::StandardButton> r = {}) {
        User::Responder(r);
        Clic(boton);
        clics += int(MessageService::Mostrados().size());
        return Aviso();
    }
};

struct Sesion {
    Sesion() : bd(Reales) {
        for (const QString &s :
             {u"INSERT INTO observador (cod_observador, nombre, apellido, email) VALUES "
              "('JPG', 'Juan', 'Pérez', 'j@x.es'), ('ANA', 'Ana', 'Gil', 'a@x.es')"_s,
              u"UPDATE DefaultObs SET cd_obs = 'JPG'"_s, kLaguna})
            if (!bd.Ejecutar(s)) qFatal("set-up failed: %s", qPrintable(s));
        ChoiceService::Prueba().codigoLocalidad = [this](QWidget *, const QString &p) {
            propuestos << p;
            return std::optional(p);
        };
        Clock::setHoy(QDate(2024, 6, 1));
    }
    ~Sesion() { Clock::setHoy(QDate()); }
    TestDatabase bd;
    QStringList propuestos;
};

// The visit's header, as on either form: the observers, the day by the keyboard, the
// times and the conditions chosen, and the locality typed. Counted.
void Cabecera(Usuario &u, QWidget *f, const QString &localidad) {
    u.Clic(Control(f, u"Txobs2"_s));
    u.Teclear(u"ana"_s);
    u.Clic(Control(f, u"Txdata"_s));
    // The click lands on the day.
    Control<QDateEdit>(f, u"Txdata"_s)->setSelectedSection(QDateTimeEdit::DaySection);
    u.Teclear(u"3/5/2024"_s);
    Control<QTimeEdit>(f, u"Txhini"_s)->setTime(QTime(9, 30));
    Control<QTimeEdit>(f, u"Txhfi"_s)->setTime(QTime(11, 0));
    for (const char *l : {"Cbperiodo", "Cbmeteo", "Cbvents", "Cbhabitat", "Cbmotivo"}) {
        auto *lista = Control<QComboBox>(f, l);
        u.clics += 2; // opened, then an item chosen
        User::Elegir(lista, Items(lista).value(2));
    }
    u.Clic(Control(f, u"Cbloc"_s));
    u.Teclear(localidad);
    u.Tecla(Qt::Key_Tab);
}

struct Especie {
    QString codigo, numero;
    bool aprox = false;
    QString estadio, desc; // no behaviour: the observation form cannot empty its list
};

// A species row by the keyboard alone: code, Tab, number, Tab, space on the box, Tab,
// a stage by its first letters, Tab, Tab, the description, then Tab to the next row.
void PorTeclado(Usuario &u, const Especie &e) {
    u.Teclear(e.codigo);
    u.Tecla(Qt::Key_Tab);
    u.Teclear(e.numero);
    u.Tecla(Qt::Key_Tab);
    if (e.aprox) u.Tecla(Qt::Key_Space);
    u.Tecla(Qt::Key_Tab);
    if (!e.estadio.isEmpty()) {
        // Typed: the shortest beginning whose first item is the stage.
        auto *lista = qobject_cast<QComboBox *>(u.Foco());
        qsizetype n = 1;
        while (n < e.estadio.size() && lista->itemText(lista->findText(
                                           e.estadio.left(n), Qt::MatchStartsWith)) != e.estadio)
            ++n;
        u.Teclear(e.estadio.left(n));
        QCOMPARE(lista->currentText(), e.estadio);
    }
    u.Tecla(Qt::Key_Tab);
    u.Tecla(Qt::Key_Tab);
    u.Teclear(e.desc);
    u.Tecla(Qt::Key_Tab);
}

// The same species on the observation form, with "Duplicar" after each.
void EnNewobs(Usuario &u, QWidget *f, const Especie &e) {
    // Each field still holds the last species' value: selected whole (Ctrl+A), retyped.
    u.Clic(Control(f, u"Cbespecie"_s));
    Control<QComboBox>(f, u"Cbespecie"_s)->lineEdit()->selectAll();
    ++u.teclas;
    u.Teclear(e.codigo);
    u.Clic(Control(f, u"Txexemplars"_s));
    Control<QLineEdit>(f, u"Txexemplars"_s)->selectAll();
    ++u.teclas;
    if (e.numero.isEmpty())
        u.Tecla(Qt::Key_Delete);
    else
        u.Teclear(e.numero);
    if (e.aprox != Control<QCheckBox>(f, u"Check1"_s)->isChecked()) u.Clic(Control(f, u"Check1"_s));
    // Every species has a stage: "Duplicar" keeps the list's choice.
    u.clics += 2;
    User::Elegir(Control<QComboBox>(f, u"Cbestadio"_s), e.estadio);
    u.Clic(Control(f, u"Txdesc"_s));
    Control<QLineEdit>(f, u"Txdesc"_s)->selectAll();
    if (e.desc.isEmpty())
        u.Tecla(Qt::Key_Delete);
    else
        u.Teclear(e.desc);
    QCOMPARE(u.Guardar(Control(f, u"Cbguardar"_s)),
             u"Se ha registrado la observación en la base de datos"_s);
}

const QList<Especie> kCinco = {
    {u"salsal"_s, u"3"_s, false, u"Larva"_s, u"en el pilon"_s},
    {u"bufspi"_s, u"12"_s, true, u"Adulto"_s, {}},
    {u"pelper"_s, {}, false, u"Adulto"_s, u"canto"_s},
    {u"trimar"_s, u"1"_s, false, u"Larva"_s, u"it's a male"_s},
    {u"natmau"_s, u"2"_s, false, u"Juvenil"_s, {}},
};

} // namespace

class tst_frlista : public QObject {
    Q_OBJECT
private slots:
    void listaComoNewobs();
    void rechazosYRepetidas();
};

void tst_frlista::listaComoNewobs() {
    // Five species of one visit at an existing locality, by the keyboard, then one at a new
    // locality; on a fresh database the same through the observation form: the same rows.
    Usuario lista, uno;
    std::pair<int, int> cinco[2]; // clicks and keys for the five species
    QString deLista;
    const auto nueva = [](QWidget *f, Usuario &u) {
        Cabecera(u, f, u"Fuente del Berro"_s);
        User::Elegir(Control<QComboBox>(f, u"Cbhuso"_s), u"30"_s);
        User::Poner(Control(f, u"Txlong"_s), u"440291"_s);
        User::Poner(Control(f, u"Txlat"_s), u"4474254"_s);
        User::Elegir(Control<QComboBox>(f, u"Cbprov"_s), u"Madrid"_s);
        User::Elegir(Control<QComboBox>(f, u"Cbmuni"_s), u"Madrid"_s);
    };
    // What each way stored: the observations, then the localities.
    const QString lugares = u"SELECT cod_localidad, localidad, prov, muni, utmhuso, utmx, utmy, "
                            "utm1k, utm10k, incertidumbre FROM localidad ORDER BY cod_localidad"_s;
    {
        Sesion s;
        frlista f;
        User::Activar(&f); // shown and active
        QCOMPARE(Textos(&f, {"Txobs1", "Lbobs1"}), u"JPG|Juan Pérez"_s);
        Cabecera(lista, &f, u"Laguna"_s);
        lista.Clic(Control(&f, u"Cbespecie1"_s));
        for (const Especie &e : kCinco)
            PorTeclado(lista, e);
        // Each Tab at the end of a row opened the next; the sixth is empty.
        auto *rejilla = Control<QTableWidget>(&f, u"DBlista"_s);
        QCOMPARE(rejilla->rowCount(), 6);
        QVERIFY(Control(&f, u"Cbespecie6"_s)->hasFocus());
        QCOMPARE(Textos(&f, {"Cbespecie2", "Txexemplars2", "Cbestadio2", "Txdesc4"}),
                 u"BUFSPI - Bufo spinosus|12|Adulto|it's a male"_s);
        QVERIFY(UnsavedChanges::De(&f)->Pendientes());
        QCOMPARE(lista.Guardar(Control(&f, u"CdGuardar"_s)),
                 u"Se han registrado 5 observaciones en la base de datos"_s);
        QCOMPARE(s.bd.Contar(u"observacion"_s), 5);
        cinco[0] = {lista.clics, lista.teclas};
        // The grid emptied, the header kept for the next visit of the day.
        QCOMPARE(rejilla->rowCount(), 1);
        QCOMPARE(Textos(&f, {"Cbespecie1", "Txobs2", "Cbloc"}), u"|ANA|Laguna"_s);
        QCOMPARE(Control<QDateEdit>(&f, u"Txdata"_s)->date(), QDate(2024, 5, 3));
        QVERIFY(!UnsavedChanges::De(&f)->Pendientes());

        // A new locality: stored once, with the code proposed, for the one row.
        frlista otra;
        User::Activar(&otra);
        nueva(&otra, lista);
        lista.Clic(Control(&otra, u"Cbespecie1"_s));
        PorTeclado(lista, kCinco[1]);
        QCOMPARE(lista.Guardar(Control(&otra, u"CdGuardar"_s)),
                 u"Se han registrado 1 observaciones en la base de datos"_s);
        QCOMPARE(s.propuestos, QStringList{u"JPG6"_s});
        deLista = s.bd.Lineas(kColumnas, {0}) + u"\n--\n"_s + s.bd.Lineas(lugares);
    }
    Sesion s;
    // The five at the existing locality, then the one at the new locality, as above.
    for (const bool enNueva : {false, true}) {
        newobs f;
        User::Activar(&f);
        enNueva ? nueva(&f, uno) : Cabecera(uno, &f, u"Laguna"_s);
        for (const Especie &e : enNueva ? QList{kCinco[1]} : kCinco)
            EnNewobs(uno, &f, e);
        if (!enNueva) cinco[1] = {uno.clics, uno.teclas};
    }
    QCOMPARE(s.bd.Lineas(kColumnas, {0}) + u"\n--\n"_s + s.bd.Lineas(lugares), deLista);
    qInfo("Five species of one visit: the list %d clicks and %d keys; the observation form %d "
          "clicks and %d keys",
          cinco[0].first, cinco[0].second, cinco[1].first, cinco[1].second);
}

void tst_frlista::rechazosYRepetidas() {
    Sesion s;
    frlista f;
    User::Activar(&f);
    Usuario u;
    Cabecera(u, &f, u"Laguna"_s);
    u.Clic(Control(&f, u"Cbespecie1"_s));
    // A sound row, a row with a description and no species, a count too large, and an
    // empty row, opened by the Tab that left the last and left empty: its Tabs go on to
    // the save button.
    PorTeclado(u, kCinco[0]);
    PorTeclado(u, {{}, {}, false, {}, u"sin especie"_s});
    PorTeclado(u, {u"bufspi"_s, u"99999999999"_s, false, {}, {}});
    QVERIFY(Control(&f, u"Cbespecie4"_s)->hasFocus());
    for (int i = 0; i < 6; ++i)
        u.Tecla(Qt::Key_Tab);
    QVERIFY(Control(&f, u"CdGuardar"_s)->hasFocus());
    auto *rejilla = Control<QTableWidget>(&f, u"DBlista"_s);
    QCOMPARE(rejilla->rowCount(), 4);
    const auto avisos = [&] { return Valores(rejilla->model(), frlista::ColAviso).join(u'|'); };
    QCOMPARE(u.Guardar(Control(&f, u"CdGuardar"_s)),
             u"2 de las filas de la lista no se pueden registrar: se indica el motivo en cada "
             "una. No se ha registrado ninguna observación."_s);
    QCOMPARE(avisos(), u"|El campo Especie es obligatorio.|El número de ejemplares no puede ser "
                       "mayor que 2147483647.|"_s);
    QCOMPARE(s.bd.Contar(u"observacion"_s), 0);
    QVERIFY(Control(&f, u"Cbespecie2"_s)->hasFocus());

    // A species typed that is none: refused aloud on leaving, and the row still refused.
    User::Poner(Control(&f, u"Cbespecie2"_s), u"zzz"_s);
    QCOMPARE(Aviso(), u"«zzz» no es ninguna especie de la lista: elija una de las que ofrece."_s);
    QCOMPARE(Textos(&f, {"Cbespecie2"}), QString());

    // Put right: a species by another name, a count that fits.
    User::Poner(Control(&f, u"Cbespecie2"_s), u"Vipera latastei"_s);
    QCOMPARE(Textos(&f, {"Cbespecie2"}), u"VIPLAT - Vipera latastei"_s);
    // The reptile's stages only.
    const QStringList estadios = Items(Control<QComboBox>(&f, u"Cbestadio2"_s));
    QVERIFY(estadios.contains(u"Adulto"_s) && !estadios.contains(u"Larva"_s));
    User::Escribir(Control(&f, u"Txexemplars3"_s), u"7"_s);
    QCOMPARE(u.Guardar(Control(&f, u"CdGuardar"_s)),
             u"Se han registrado 3 observaciones en la base de datos"_s);
    QCOMPARE(avisos(), QString());
    QCOMPARE(Fila(s.bd, u"SELECT (SELECT count(*) FROM observacion WHERE especie = 'VIPLAT' AND "
                        "descripcion = 'sin especie'), (SELECT numejemp FROM observacion WHERE "
                        "especie = 'BUFSPI')"_s),
             u"1|7"_s);

    // Two of them again, a third new and typed twice: asked once, listing the three; No
    // stores nothing.
    u.Clic(Control(&f, u"Cbespecie1"_s));
    PorTeclado(u, kCinco[0]);
    PorTeclado(u, {u"viplat"_s, {}, false, {}, u"otra"_s});
    PorTeclado(u, kCinco[2]);
    PorTeclado(u, kCinco[2]);
    const QString pregunta =
        u"Ya existen observaciones de estas especies, estadios y conductas en esta localidad y "
        "fecha con el mismo observador:\nfila 1: SALSAL - Salamandra salamandra\nfila 2: "
        "VIPLAT - Vipera latastei\nfila 4: PELPER - Pelophylax perezi\n¿Registrarlas "
        "igualmente?"_s;
    QCOMPARE(u.Guardar(Control(&f, u"CdGuardar"_s), {QMessageBox::No}), pregunta);
    QCOMPARE(MessageService::Ultimo().porDefecto, QMessageBox::No);
    QCOMPARE(s.bd.Contar(u"observacion"_s), 3);
    QCOMPARE(Textos(&f, {"Cbespecie3"}), u"PELPER - Pelophylax perezi"_s);
    QCOMPARE(u.Guardar(Control(&f, u"CdGuardar"_s), {QMessageBox::Yes}),
             u"Se han registrado 4 observaciones en la base de datos"_s);
    QCOMPARE(s.bd.Contar(u"observacion"_s), 7);
}

QTEST_MAIN(tst_frlista)
#include "tst_frlista.moc"
