#include "Observaciones.h"
#include "data/Clock.h"
#include "support/Files.h"
#include "support/ServidorPrueba.h"
#include "support/User.h"

#include "gui/ChoiceService.h"
#include "gui/Screen.h"
#include "observations/newobs.h"
#include "photos/FotosPrueba.h"
#include "photos/PhotoStrip.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QListWidget>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTimeEdit>

// The form as a user meets it: opened on a fresh database, driven by keys, choices and
// focus changes, its message boxes answered. Bad text in each field, and that what is
// stored is what the form showed, are proven for every field by the reliability tests.
namespace {
constexpr auto Fixture = TestDatabase::Datos::Fixture;
constexpr auto Reales = TestDatabase::Datos::Reales;
const QString kGuardada = u"Se ha registrado la observación en la base de datos"_s;
const QString kNoExiste = u"No existe ningun Observador con este código"_s;
const QString kRepetida = u"Ya existe una observación de esta especie, estadio y conducta en esta "
                          "localidad y fecha con el mismo observador. ¿Registrarla igualmente?"_s;
const QString kFechaPropuesta = u"La fecha es la que propone el formulario (01/01/%1). ¿Es la "
                                "fecha de la observación?"_s.arg(QDate::currentDate().year());

// A fresh database holding the observer JPG and what the case adds, the form open on it;
// the locality codes proposed are recorded and accepted as proposed.
struct Sesion {
    explicit Sesion(TestDatabase::Datos datos, const QStringList &sql = {})
        : bd(datos), preparada([&] {
              for (const QString &s :
                   QStringList{u"INSERT INTO observador (cod_observador, nombre, apellido, email) "
                               "VALUES ('JPG', 'Juan', 'Pérez', 'j@x.es')"_s} +
                       sql)
                  if (!bd.Ejecutar(s)) qFatal("set-up failed: %s", qPrintable(s));
              return true;
          }()) {
        f.show();
        ChoiceService::Prueba().codigoLocalidad = [this](QWidget *, const QString &p) {
            propuestos << p;
            return std::optional(p);
        };
        // Today is the day the form proposes, where a case does not say otherwise: the
        // question about the date proposed has its own cases.
        Clock::setHoy(QDate(QDate::currentDate().year(), 1, 1));
    }
    ~Sesion() { Clock::setHoy(QDate()); }
    template <typename T = QWidget> T *c(const char *nombre) { return Control<T>(&f, nombre); }
    QString Textos(std::initializer_list<QAnyStringView> nombres) { return ::Textos(&f, nombres); }
    // Typed, then left for the next control.
    void Poner(const char *campo, const QString &texto) { User::Poner(c(campo), texto); }
    void Elegir(const char *lista, const QString &texto) {
        User::Elegir(c<QComboBox>(lista), texto);
    }
    // Every message the click raised, questions included, one a line; or nothing.
    QString Guardar(const char *boton = "Cbnueva",
                    std::initializer_list<QMessageBox::StandardButton> respuestas = {}) {
        User::Responder(respuestas);
        QTest::mouseClick(c<QPushButton>(boton), Qt::LeftButton);
        QStringList r;
        for (const auto &m : MessageService::Mostrados())
            r << m.texto;
        return r.join(u'\n');
    }
    // How many localities and observations are stored, and the locality codes proposed.
    QString Cuentas() {
        return Fila(bd, u"SELECT (SELECT count(*) FROM localidad), "
                        "(SELECT count(*) FROM observacion)"_s) +
               u'|' + propuestos.join(u',');
    }
    void RellenarObservacion() {
        Poner("Txobs1", u"JPG"_s);
        Poner("Cbespecie", u"salsal"_s);
    }
    // A new locality described through zone and coordinates, by default at Madrid's Puerta
    // del Sol.
    void NuevaLocalidad(const QString &nombre, const QString &provincia = u"Madrid"_s,
                        const QString &municipio = u"Madrid"_s, const QString &este = u"440291"_s,
                        const QString &norte = u"4474254"_s) {
        Poner("Cbloc", nombre);
        Elegir("Cbhuso", u"30"_s);
        Poner("Txlong", este);
        Poner("Txlat", norte);
        Elegir("Cbprov", provincia);
        Elegir("Cbmuni", municipio);
    }

    TestDatabase bd;
    bool preparada;
    newobs f;
    QStringList propuestos;
};
} // namespace

class tst_newobs : public QObject {
    Q_OBJECT
private slots:
    void apertura();
    void observadores();
    void especieYHoras();
    void obligatorios();
    void derivacion();
    void municipioLimitaCuadrados();
    void guardarDuplicarYNueva();
    void codigoDeLocalidad();
    void localidadExistente();
    void cerrarConCampoPendiente();
    void servidorPerdido();
    void fotos();
};

void tst_newobs::apertura() {
    {
        // Nothing chosen that the user did not choose; the year's first day; the default
        // observer filled in.
        Sesion s(Fixture, {u"UPDATE DefaultObs SET cd_obs = 'JPG'"_s});
        for (const char *l : {"Cbperiodo", "Cbespecie", "Cbestadio", "Cbmotivo", "Cbprov", "cb10k",
                              "Cbloc", "Cbhuso", "Cbmuni"})
            QVERIFY2(s.c<QComboBox>(l)->currentIndex() == -1, l);
        QCOMPARE(s.c<QDateEdit>("Txdata")->date(), QDate(QDate::currentDate().year(), 1, 1));
        QCOMPARE(s.Textos({"Txobs1", "Lbobs1"}), u"JPG|Juan Pérez"_s);
        QVERIFY(MessageService::Mostrados().isEmpty());
    }
    // A default observer that is gone: said so, the field left empty.
    Sesion s(Fixture, {u"UPDATE DefaultObs SET cd_obs = 'IDO'"_s});
    QCOMPARE(Aviso() + u'|' + s.Textos({"Txobs1"}), kNoExiste + u'|');
}

void tst_newobs::observadores() {
    Sesion s(Fixture);
    // Typed in other case: found, and shown as the table holds it.
    s.Poner("Txobs2", u"jpg"_s);
    QCOMPARE(s.Textos({"Txobs2", "Lbobs2"}), u"JPG|Juan Pérez"_s);
    QVERIFY(MessageService::Mostrados().isEmpty());
    // Unknown: the message, field and label emptied, the focus back in the field.
    s.Poner("Txobs2", u"X'Y"_s);
    QCOMPARE(Aviso() + u'|' + s.Textos({"Txobs2", "Lbobs2"}), kNoExiste + u"||"_s);
    QVERIFY(s.c("Txobs2")->hasFocus());
    // Emptying a filled field empties its label.
    s.Poner("Txobs4", u"JPG"_s);
    QCOMPARE(s.Textos({"Lbobs4"}), u"Juan Pérez"_s);
    s.Poner("Txobs4", QString());
    QCOMPARE(s.Textos({"Lbobs4"}), QString());

    // Each selection button asks the observer list for its own slot, which receives the
    // observer chosen there (the list's side is proven with frobs).
    int pedidas = 0;
    ChoiceService::Prueba().observador = [&pedidas](QWidget *, auto elegir) {
        elegir(u"JPG"_s, QString::number(++pedidas));
    };
    for (const char *boton : {"CdSelobs1", "CdSelobs2", "Cdselobs3", "Cdselobs4"})
        QTest::mouseClick(s.c<QPushButton>(boton), Qt::LeftButton);
    QCOMPARE(s.Textos({"Txobs1", "Lbobs1", "Lbobs2", "Lbobs3", "Lbobs4"}), u"JPG|1|2|3|4"_s);
}

void tst_newobs::especieYHoras() {
    Sesion s(Fixture);
    // Typing completes; leaving keeps a listed species and narrows stages to its class.
    User::Escribir(s.c("Cbespecie"), u"vip"_s);
    QCOMPARE(s.Textos({"Cbespecie"}), u"VIPLAT - Vipera latastei"_s);
    User::SalirDe(s.c("Cbespecie"));
    QCOMPARE(s.Textos({"Lbespecie"}) + u'|' + Items(s.c<QComboBox>("Cbestadio")).join(u'|'),
             u"Víbora hocicuda|Huevo|Juvenil|Adulto"_s);
    // (A text that is no species, refused on leaving: tst_especies, on this form.)

    // Start later than end: leaving either field resets that field only. An end still at
    // 00:00 is never compared; equal times pass.
    auto *ini = s.c<QTimeEdit>("Txhini"), *fin = s.c<QTimeEdit>("Txhfi");
    auto dejar = [&](QTimeEdit *campo, QTime desde, QTime hasta) {
        MessageService::Limpiar();
        s.c("Txdesc")->setFocus();
        ini->setTime(desde);
        fin->setTime(hasta);
        User::SalirDe(campo);
        return Aviso() + u'|' + ini->time().toString(u"HH:mm"_s) + u'-' +
               fin->time().toString(u"HH:mm"_s);
    };
    const QString tarde = u"La hora inicial de la observación debe ser inferior a la hora final"_s;
    QCOMPARE(dejar(ini, {10, 30}, {0, 0}), u"|10:30-00:00"_s);
    QCOMPARE(dejar(fin, {10, 30}, {9, 15}), tarde + u"|10:30-00:00"_s);
    QCOMPARE(dejar(ini, {10, 30}, {9, 15}), tarde + u"|00:00-09:15"_s);
    QCOMPARE(dejar(ini, {9, 15}, {9, 15}), u"|09:15-09:15"_s);
}

void tst_newobs::obligatorios() {
    // The last missing field in the order is named; nothing is stored, no code asked for.
    Sesion s(Reales);
    QCOMPARE(s.Guardar(), u"El campo Observador es obligatorio."_s);
    QCOMPARE(MessageService::Ultimo().titulo, u"Datos incompletos"_s);

    // Everything but the municipality of a new locality, whose text is no municipality.
    s.RellenarObservacion();
    s.NuevaLocalidad(u"Fuente nueva"_s);
    User::Escribir(s.c("Cbmuni"), u"Mad"_s);
    s.c<QComboBox>("Cbmuni")->setEditText(u"Nomuni"_s);
    User::SalirDe(s.c("Cbmuni"));
    QCOMPARE(s.Textos({"Cbmuni"}), QString());
    QCOMPARE(s.Guardar(), u"El campo Municipio es obligatorio."_s);

    // A species typed by hand that matches nothing is missing.
    s.Elegir("Cbmuni", u"Madrid"_s);
    User::Escribir(s.c("Cbespecie"), u"Bufo"_s);
    s.c<QComboBox>("Cbespecie")->setEditText(u"Bufo nuevo"_s);
    User::SalirDe(s.c("Cbespecie"));
    QCOMPARE(s.Guardar(), u"El campo Especie es obligatorio."_s);
    QCOMPARE(s.Cuentas(), u"0|0|"_s);
}

void tst_newobs::derivacion() {
    Sesion s(Reales);
    s.Poner("Cbloc", u"Pozo del Tío Raimundo"_s);
    QCOMPARE(s.f.CodigoLocalidad(), u"new"_s);

    // Real points in three zones: squares derived, provinces narrowed to the square's, the
    // fields showing the numbers the squares come from (and which are stored). The zone is
    // emptied first, so that half-typed coordinates are not derived.
    struct Punto {
        QString zona, este, norte, cuadrados, provincias;
    };
    for (const Punto &p :
         {Punto{u"30"_s, u"0440291"_s, u"04474254"_s, u"VK47|VK4074"_s, u"Madrid"_s},
          Punto{u"31"_s, u"430609"_s, u"4582053"_s, u"DF38|DF3082"_s, u"Barcelona"_s},
          Punto{u"29"_s, u"591712"_s, u"4811784"_s, u"NJ91|NJ9111"_s, u"A Coruña|Lugo"_s}}) {
        s.Elegir("Cbhuso", u" "_s);
        s.Poner("Txlong", p.este);
        s.Poner("Txlat", p.norte);
        s.Elegir("Cbhuso", p.zona);
        QCOMPARE(s.Textos({"cb10k", "tx1k", "missatge", "Txlong", "Txlat"}) + u'/' +
                     Items(s.c<QComboBox>("Cbprov")).join(u'|'),
                 u"%1||%2|%3/%4"_s.arg(p.cuadrados, QString::number(p.este.toLongLong()),
                                       QString::number(p.norte.toLongLong()), p.provincias));
    }
    // Choosing the zone again derives again, and keeps the province chosen.
    s.Elegir("Cbprov", u"A Coruña"_s);
    s.c<QLineEdit>("tx1k")->clear();
    s.Elegir("Cbhuso", u"29"_s);
    QCOMPARE(s.Textos({"Cbprov", "tx1k"}), u"A Coruña|NJ9111"_s);

    // By the keyboard alone: Tab leaves each digit field, the northing's deriving the squares
    // as a click elsewhere does, and Enter is no character to refuse with a beep.
    s.Elegir("Cbhuso", u" "_s);
    const int pitidos = Screen::Pitidos();
    for (const auto &[campo, texto] :
         {std::pair{"Txexemplars", u"3"_s}, std::pair{"Txlong", u"440291"_s},
          std::pair{"Txlat", u"4474254"_s}}) {
        if (qstrcmp(campo, "Txlat") == 0) s.Elegir("Cbhuso", u"30"_s);
        User::Escribir(s.c(campo), texto);
        QTest::keyClick(s.c(campo), Qt::Key_Return);
        QTest::keyClick(s.c(campo), Qt::Key_Tab);
        QVERIFY2(!s.c(campo)->hasFocus(), campo);
    }
    QCOMPARE(Screen::Pitidos(), pitidos);
    QCOMPARE(s.Textos({"Txexemplars", "cb10k", "tx1k", "missatge"}), u"3|VK47|VK4074|"_s);
    // Shift+Tab goes back into it.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(s.c("Txlat")->hasFocus());

    // A square outside Spain: refused, the blank square chosen, whose choice empties the
    // zone and coordinates.
    s.Poner("Txlat", u"4000000"_s);
    QCOMPARE(s.Textos({"missatge", "cb10k", "Cbhuso", "Txlong", "Txlat"}),
             u"Estas coordenadas generan un UTM10 no correcto| |||"_s);
    // Escape in a digit field leaves the form as "Salir" does.
    s.c("Txexemplars")->setFocus();
    QTest::keyClick(s.c("Txexemplars"), Qt::Key_Escape);
    QVERIFY(!s.f.isVisible());
}

void tst_newobs::municipioLimitaCuadrados() {
    {
        // Two municipalities are named Torrent (València/Valencia 46244, Girona 17197): the
        // one of the province chosen, with its own squares only, is stored.
        Sesion s(Reales);
        s.RellenarObservacion();
        s.c<QDateEdit>("Txdata")->setDate(QDate(2025, 5, 4));
        s.Poner("Cbloc", u"Font de Torrent"_s);
        s.Elegir("Cbprov", u"València/Valencia"_s);
        s.Elegir("Cbmuni", u"Torrent"_s);
        QCOMPARE(Items(s.c<QComboBox>("cb10k")),
                 (QStringList{u"YJ06"_s, u"YJ16"_s, u"YJ17"_s, u"YJ26"_s, u" "_s}));
        s.Elegir("cb10k", u"YJ16"_s);
        QCOMPARE(s.Guardar(), kGuardada);
        const QString lugar = u"SELECT prov, muni, utmx, utm10k, incertidumbre FROM localidad "
                              "WHERE localidad = ?"_s;
        QCOMPARE(Fila(s.bd, lugar, {u"Font de Torrent"_s}), u"46|46244|NULL|YJ16|NULL"_s);

        // By its coordinates, in Torrent's town. A municipality chosen that lies more than
        // 250 m away is asked about (the locality forms' sessions answer it both ways): No
        // keeps the form as typed and stores nothing, no code asked for.
        s.RellenarObservacion();
        const QString nombre = u"Huerto del no"_s;
        s.NuevaLocalidad(nombre, u"València/Valencia"_s, u"Chiva"_s, u"718167"_s, u"4368340"_s);
        // The point's uncertainty goes with the new locality.
        s.Poner("Txincert", u"25"_s);
        const QString cuentas = s.Cuentas();
        QCOMPARE(s.Guardar("Cbnueva", {QMessageBox::No}),
                 u"Las coordenadas caen en el término de Torrent (València/Valencia), no en "
                 "Chiva. ¿Guardar igualmente?"_s);
        QCOMPARE(s.Cuentas(), cuentas);
        QCOMPARE(s.Textos({"Cbloc", "Txlong", "Txlat", "cb10k", "Cbprov", "Cbmuni"}),
                 nombre + u"|718167|4368340|YJ16|València/Valencia|Chiva"_s);
        // Torrent chosen: stored with its own code, nothing asked.
        s.Elegir("Cbmuni", u"Torrent"_s);
        QCOMPARE(s.Guardar("Cbnueva"), kGuardada);
        QCOMPARE(Fila(s.bd, lugar, {nombre}), u"46|46244|718167|YJ16|25"_s);
    }
    Sesion s(Reales);
    s.Poner("Cbloc", u"Arroyo"_s);
    // A province with no square: coordinates emptied, their frame disabled.
    s.c<QLineEdit>("Txlong")->setText(u"123"_s);
    s.Elegir("Cbprov", u"Madrid"_s);
    QVERIFY(!s.c("Frame1")->isEnabled());
    QCOMPARE(s.Textos({"Txlong"}), QString());

    // The municipality chosen first limits the squares on offer.
    auto *muni = s.c<QComboBox>("Cbmuni");
    User::Escribir(muni, u"Pozuelo"_s);
    QCOMPARE(muni->currentText() + u'|' + Items(s.c<QComboBox>("cb10k")).join(u'|'),
             u"Pozuelo de Alarcón|VK27|VK37| "_s);
    // With a square chosen, a province lists only its municipalities that contain it.
    s.Elegir("cb10k", u"VK37"_s);
    s.Elegir("Cbprov", u"Madrid"_s);
    QVERIFY(muni->count() > 2);
    for (int i = 0; i < muni->count() - 1; ++i)
        QVERIFY2(s.bd.Valor(u"SELECT count(*) FROM tutm10kmunis k JOIN tmunicipio m "
                            "ON m.id_muni = k.id_muni WHERE m.muni = ? AND k.utm10 = 'VK37'"_s,
                            {muni->itemText(i)})
                         .toInt() > 0,
                 qPrintable(muni->itemText(i)));
    QCOMPARE(muni->currentText(), u"Pozuelo de Alarcón"_s);
}

void tst_newobs::guardarDuplicarYNueva() {
    Sesion s(Reales, {u"INSERT INTO observador (cod_observador, nombre, apellido) "
                      "VALUES ('ANA', 'Ana', 'Gil')"_s});
    s.RellenarObservacion();
    s.Poner("Txobs3", u"ana"_s);
    s.NuevaLocalidad(u"Charca de l'Olivar"_s);
    // The date the form proposes, never changed, on another day: asked about, No by default;
    // No keeps the form with nothing stored. Once the date is changed, no question.
    Clock::setHoy(QDate(2026, 5, 20));
    QCOMPARE(s.Guardar("Cbguardar", {QMessageBox::No}), kFechaPropuesta);
    QCOMPARE(MessageService::Ultimo().porDefecto, QMessageBox::No);
    QCOMPARE(s.Cuentas(), u"0|0|"_s);
    QVERIFY(s.c("Txdata")->hasFocus());
    s.c<QDateEdit>("Txdata")->setDate(QDate(2026, 3, 7));
    s.c<QTimeEdit>("Txhini")->setTime(QTime(9, 5));
    s.Elegir("Cbestadio", u"Adulto"_s);
    s.Elegir("Cbperiodo", u"Mañana"_s);
    s.Elegir("Cbvents", u"Ventolina (1-5)"_s);
    s.Elegir("Cbmotivo", u"Observación casual"_s);
    s.c<QCheckBox>("Check1")->setChecked(true);
    User::Escribir(s.c("Txdesc"), u"It's under a stone"_s);

    // "Duplicar": the locality under the code proposed from the empty table's number 0,
    // then the observation; quotes in names and descriptions become ´.
    QCOMPARE(s.Guardar("Cbguardar"), kGuardada);
    QCOMPARE(s.Cuentas(), u"1|1|JPG0"_s);
    QCOMPARE(Fila(s.bd, u"SELECT cod_localidad, localidad, prov, muni, utmhuso, utmx, utmy, "
                        "utm1k, utm10k FROM localidad"_s),
             u"JPG0|Charca de l´Olivar|28|28079|30|440291|4474254|VK4074|VK47"_s);
    // Ids, not texts: the force 1 wind is 2, and the amphibians' "Adulto", not the reptiles'.
    const QString observacion =
        u"SELECT observador1, observador2, observador3, fecha, horaini, horafin, especie, "
        "numejemp, numaprox, descripcion, motivo, localidad, meteo, viento, "
        "periodo = (SELECT id_periodo FROM tperiodo WHERE period_cast = 'Mañana'), "
        "estadio = (SELECT id_estadio FROM testadio WHERE estad_cast = 'Adulto' "
        "AND clase = 'Anfibio') FROM observacion WHERE id_observacion = ?"_s;
    QCOMPARE(Fila(s.bd, observacion, {1}),
             u"JPG||ANA|2026-03-07|09:05|00:00|SALSAL|NULL|1|It´s under a stone|"
             "Observación casual|JPG0|0|2|1|1"_s);
    // The form keeps its values, the stored locality now chosen, so that the next save
    // does not store it again.
    QCOMPARE(s.Textos({"Cbloc", "Txobs3"}) + u'|' + s.f.CodigoLocalidad(),
             u"Charca de l´Olivar|ANA|JPG0"_s);
    QVERIFY(!s.c("Frame1")->isEnabled());

    // "Duplicar" again with another stage: another record of the same place and day, not
    // asked about.
    s.Elegir("Cbestadio", u"Larva"_s);
    QCOMPARE(s.Guardar("Cbguardar"), kGuardada);
    QCOMPARE(Fila(s.bd, u"SELECT estadio FROM observacion WHERE id_observacion = 2"_s), u"2"_s);
    s.Elegir("Cbestadio", u"Adulto"_s);

    // "Nueva": the same observation again is asked about. No keeps the form as it is and
    // stores nothing; Yes stores it, no locality, no code asked for; then the form is
    // cleared but the date, the stored locality on offer.
    QCOMPARE(s.Guardar("Cbnueva", {QMessageBox::No}), kRepetida);
    QCOMPARE(s.Cuentas() + u'/' + s.Textos({"Cbloc", "Cbespecie", "Txobs3"}),
             u"1|2|JPG0/Charca de l´Olivar|SALSAL - Salamandra salamandra|ANA"_s);
    QCOMPARE(s.Guardar("Cbnueva", {QMessageBox::Yes}), kRepetida + u'\n' + kGuardada);
    QCOMPARE(s.Cuentas(), u"1|3|JPG0"_s);
    QCOMPARE(Fila(s.bd, observacion, {3}), Fila(s.bd, observacion, {1}));
    QCOMPARE(s.Textos({"Cbloc", "Cbespecie", "Txobs1", "Txobs3", "Txdesc"}), u"| |||"_s);
    QCOMPARE((QVariantList{s.c<QComboBox>("Cbestadio")->currentIndex(),
                           s.c<QCheckBox>("Check1")->isChecked(), s.c<QTimeEdit>("Txhini")->time(),
                           s.c<QDateEdit>("Txdata")->date(),
                           s.c<QComboBox>("Cbloc")->findText(u"Charca de l´Olivar"_s)}),
             (QVariantList{-1, false, QTime(0, 0), QDate(2026, 3, 7), 0}));

    // The next observation, with only what is required: nothing remembered from before.
    s.RellenarObservacion();
    s.Poner("Cbloc", u"Charca de l´Olivar"_s);
    User::Escribir(s.c("Txexemplars"), u"12"_s);
    QCOMPARE(s.Guardar("Cbnueva", {QMessageBox::Yes}), kGuardada);
    QCOMPARE(s.Cuentas(), u"1|4|JPG0"_s);
    QCOMPARE(Fila(s.bd, u"SELECT estadio, periodo, numejemp, numaprox, localidad "
                        "FROM observacion WHERE id_observacion = 4"_s),
             u"0|0|12|0|JPG0"_s);
}

void tst_newobs::codigoDeLocalidad() {
    Sesion s(Reales, {u"INSERT INTO observacion (especie) VALUES ('X')"_s});
    s.RellenarObservacion();
    s.NuevaLocalidad(u"Prado"_s);

    // The prompt closed: nothing stored, everything kept.
    ChoiceService::Prueba().codigoLocalidad = [&](QWidget *, const QString &p) {
        s.propuestos << p;
        return std::optional<QString>();
    };
    QCOMPARE(s.Guardar(), QString());
    QCOMPARE(s.Cuentas() + u'|' + s.Textos({"Cbloc", "tx1k"}), u"0|1|JPG2|Prado|VK4074"_s);

    // The code changed in the prompt is the one stored (the prompt's own refusals, a code
    // already stored among them: tst_frcodloc).
    ChoiceService::Prueba().codigoLocalidad = [](QWidget *, const QString &) {
        return std::optional(u"PRADO-1"_s);
    };
    QCOMPARE(s.Guardar(), kGuardada);
    QCOMPARE(Fila(s.bd, u"SELECT l.cod_localidad FROM observacion o JOIN localidad l "
                        "ON l.cod_localidad = o.localidad WHERE l.localidad = 'Prado'"_s),
             u"PRADO-1"_s);

    // The proposal accepted, and taken by another user (two numbers of it) before the save:
    // the next free number is stored, and the user is told which.
    s.RellenarObservacion();
    s.NuevaLocalidad(u"Vega"_s);
    ChoiceService::Prueba().codigoLocalidad = [&](QWidget *, const QString &p) {
        for (const QString &otro : {p, u"JPG%1"_s.arg(p.mid(3).toInt() + 1)})
            s.bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad) VALUES (?, 'Ajena')"_s,
                          {otro});
        return std::optional(p);
    };
    QCOMPARE(s.Guardar(), u"Otro usuario acaba de usar el código JPG3: la localidad nueva se ha "
                          "guardado con el código JPG5.\n"_s +
                              kGuardada);
    QCOMPARE(Fila(s.bd, u"SELECT l.cod_localidad, l.localidad FROM observacion o JOIN localidad l "
                        "ON l.cod_localidad = o.localidad WHERE o.id_observacion = (SELECT "
                        "max(id_observacion) FROM observacion)"_s),
             u"JPG5|Vega"_s);
}

void tst_newobs::localidadExistente() {
    Sesion s(Reales, {u"INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmhuso, "
                      "utmx, utmy, utm1k, utm10k) VALUES ('L1', 'Laguna', 28, 28079, '30', "
                      "440291, 4474254, 'VK4074', 'VK47'), ('L2', 'Sin provincia', 99, 28079, "
                      "'30', NULL, NULL, '', 'VK47')"_s});
    s.RellenarObservacion();
    // Typed in other case it is a new locality; typed exactly, it is loaded as stored.
    s.Poner("Cbloc", u"laguna"_s);
    QCOMPARE(s.f.CodigoLocalidad(), u"new"_s);
    s.Poner("Cbloc", u"Laguna"_s);
    QCOMPARE(s.f.CodigoLocalidad() + u'|' +
                 s.Textos({"Cbhuso", "Txlong", "cb10k", "Cbprov", "Cbmuni", "missatge"}),
             u"L1|30|440291|VK47|Madrid|Madrid|"_s);
    QVERIFY(!s.c("Frame3")->isEnabled());
    QCOMPARE(s.Guardar(), kGuardada);
    QCOMPARE(s.Cuentas() + u'/' + Fila(s.bd, u"SELECT localidad FROM observacion"_s), u"2|1|/L1"_s);

    // A listed locality whose province is gone loads nothing and cannot be stored, even
    // with every other field filled.
    s.RellenarObservacion();
    s.NuevaLocalidad(u"Otra"_s);
    s.Elegir("Cbloc", u"Sin provincia"_s);
    QVERIFY(s.f.CodigoLocalidad().isEmpty());
    QCOMPARE(s.Guardar(), u"El campo Localidad es obligatorio."_s);
    QCOMPARE(s.Cuentas(), u"2|1|"_s);

    // A click whose focus change refuses an observer code does not go on to save, nor does
    // a click by shortcut, which leaves no field; the next saves what the form then shows.
    s.Elegir("Cbloc", u"Laguna"_s);
    User::Escribir(s.c("Txobs2"), u"NADIE"_s);
    QCOMPARE(s.Guardar("Cbguardar"), kNoExiste);
    User::Escribir(s.c("Txobs2"), u"NADIE"_s);
    MessageService::Limpiar();
    s.c<QPushButton>("Cbguardar")->click();
    QCOMPARE(Aviso(), kNoExiste);
    QCOMPARE(s.Cuentas(), u"2|1|"_s);
    // The same species, day, locality and first observer as the stored one: asked, and kept.
    QCOMPARE(s.Guardar("Cbguardar", {QMessageBox::Yes}), kRepetida + u'\n' + kGuardada);
    QCOMPARE(Fila(s.bd, u"SELECT observador1, observador2, especie, localidad FROM observacion "
                        "WHERE id_observacion = 2"_s),
             u"JPG||SALSAL|L1"_s);

    // So far today was the first of January, the date proposed: no question. Another day it
    // is asked about; Yes stores it, and it is not asked again in this form.
    Clock::setHoy(QDate(2026, 5, 20));
    QCOMPARE(s.Guardar("Cbguardar", {QMessageBox::Yes, QMessageBox::Yes}),
             kFechaPropuesta + u'\n' + kRepetida + u'\n' + kGuardada);
    QCOMPARE(s.Guardar("Cbguardar", {QMessageBox::Yes}), kRepetida + u'\n' + kGuardada);
    QCOMPARE(Fila(s.bd, u"SELECT count(*), min(fecha), max(fecha) FROM observacion"_s),
             u"4|%1-01-01|%1-01-01"_s.arg(QDate::currentDate().year()));
}

void tst_newobs::cerrarConCampoPendiente() {
    // Closing the form, or the program closing it, with an unchecked code in a field: no
    // check runs on a form that is going away.
    TestDatabase bd;
    for (bool borrar : {false, true}) {
        MessageService::Limpiar();
        QPointer<newobs> f = new newobs;
        f->setAttribute(Qt::WA_DeleteOnClose);
        f->show();
        User::Escribir(Control(f, "Txobs1"), u"ZZZ"_s);
        borrar ? delete f.data() : void(f->close());
        QTRY_VERIFY(!f);
        QVERIFY2(MessageService::Mostrados().isEmpty(), qPrintable(Aviso()));
    }
}

void tst_newobs::servidorPerdido() {
    if (!TestDatabase::ServidorPedido()) QSKIP("a server's loss: in the run on the server");
    Sesion s(Reales, {u"INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmhuso, "
                      "utmx, utmy, utm1k, utm10k) VALUES ('L1', 'Laguna', 28, 28079, '30', "
                      "440291, 4474254, 'VK4074', 'VK47')"_s});
    ServidorPrueba &servidor = ServidorPrueba::Compartido();
    s.RellenarObservacion();
    s.Poner("Cbloc", u"Laguna"_s);
    const auto mostrado = [&] { return s.Textos({"Txobs1", "Cbespecie", "Cbloc", "Cbhuso"}); };
    const QString tecleado = mostrado();
    // The server goes away: the save says so, the form keeps what was typed, and again.
    QVERIFY2(servidor.Parar(), qPrintable(servidor.error()));
    for (int vez = 0; vez < 2; ++vez) {
        const QString aviso = s.Guardar("Cbguardar");
        QVERIFY2(aviso.contains(u"Se ha perdido la conexión con el servidor de la base de datos"_s),
                 qPrintable(aviso));
        QCOMPARE(mostrado(), tecleado);
    }
    // Back: the next save connects again and stores it once.
    QVERIFY2(servidor.Arrancar(), qPrintable(servidor.error()));
    QCOMPARE(s.Guardar("Cbguardar"), kGuardada);
    QCOMPARE(s.Cuentas(), u"1|1|"_s);
    QCOMPARE(mostrado(), tecleado);
}

// Photos added by choice and by dropping, refused ones told, the first one's date and place
// offered; stored with the observation, each picture once.
void tst_newobs::fotos() {
    Sesion s(Reales, {u"UPDATE DefaultObs SET cd_obs = 'JPG'"_s});
    // Without settings of the user's own: the default observer took them, CC BY 4.0.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(s.bd.carpeta()));
    const auto opciones = PhotoStrip::OpcionesActuales();
    QCOMPARE(opciones.autor + u'|' + opciones.licencia + u'|' +
                 QString::number(opciones.originales),
             u"Juan Pérez|CC BY 4.0|0"_s);
    PhotoStrip::setOpciones(PhotoStore::Opciones{false, u"Juan Pérez"_s});
    const QString carpeta = s.bd.carpeta() + u"/camara"_s;
    const QString sol = carpeta + u"/sol.jpg"_s, nota = carpeta + u"/nota.txt"_s,
                  sinExif = carpeta + u"/sin.jpg"_s, otra = carpeta + u"/otra.png"_s;
    QVERIFY(QDir().mkpath(carpeta) &&
            Files::Write(sol, FotosPrueba::Foto({u"2025:04:12 08:30:59"_s, u"+02:00"_s, 40.41690,
                                                 -3.70350, 5.0})) &&
            Files::Write(nota, "sapo corredor") &&
            Files::Write(sinExif, FotosPrueba::Codificar(FotosPrueba::Dibujo(40, 30))) &&
            Files::Write(otra, FotosPrueba::Foto({}, 10, 10, "png")));
    auto *lista = s.c<QListWidget>("Lsfotos");
    QVERIFY(!s.c("CdQuitarFoto")->isEnabled());

    // Chosen: the text file refused by name, then the offer (No by default) of the photo's
    // date, time and point, whose squares and municipality follow as from frgps.
    QStringList titulos;
    ChoiceService::Prueba().archivosAbrir = [&](const QString &titulo) {
        titulos << titulo;
        return QStringList{nota, sol};
    };
    User::Responder({QMessageBox::Ok, QMessageBox::Yes});
    QTest::mouseClick(s.c<QPushButton>("CdFotos"), Qt::LeftButton);
    QCOMPARE(titulos, QStringList{u"Añadir fotos"_s});
    const auto mostrados = MessageService::Mostrados();
    QCOMPARE(mostrados.size(), 2);
    QVERIFY2(mostrados[0].texto.contains(u"El archivo nota.txt no es una foto"_s),
             qPrintable(mostrados[0].texto));
    QCOMPARE(mostrados[1].texto, u"La foto sol.jpg se tomó el 12/04/2025 a las 08:30 en "
                                 "40.416900, -3.703500. ¿Rellenar con ellas la fecha, la hora "
                                 "inicial y las coordenadas de la observación?"_s);
    QCOMPARE(mostrados[1].porDefecto, QMessageBox::No);
    QCOMPARE((QVariantList{s.c<QDateEdit>("Txdata")->date(), s.c<QTimeEdit>("Txhini")->time(),
                           s.Textos({"Cbhuso", "cb10k", "Cbprov", "Cbmuni"}), lista->count()}),
             (QVariantList{QDate(2025, 4, 12), QTime(8, 30), u"30|VK47|Madrid|Madrid"_s, 1}));
    QVERIFY(!s.Textos({"Txlong"}).isEmpty() && !s.Textos({"Txlat"}).isEmpty());

    // Dropped: a photo without Exif is taken with nothing offered; the same photo again is not.
    QMimeData datos;
    datos.setUrls({QUrl::fromLocalFile(sinExif), QUrl::fromLocalFile(sol)});
    QDropEvent suelta(QPointF(5, 5), Qt::CopyAction, &datos, Qt::LeftButton, Qt::NoModifier);
    MessageService::Limpiar();
    QDragEnterEvent entra(QPoint(5, 5), Qt::CopyAction, &datos, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(s.c("fotos"), &entra);
    QVERIFY(entra.isAccepted());
    QApplication::sendEvent(s.c("fotos"), &suelta);
    QCOMPARE(Aviso(), u"No se han añadido estas fotos:\n\nLa foto sol.jpg ya está en esta "
                      "observación."_s);
    QCOMPARE(MessageService::Mostrados().size(), 1);
    QCOMPARE(lista->count(), 2);

    // The viewer changes the second photo's author; a third added and taken away again.
    lista->setCurrentRow(1);
    ChoiceService::Prueba().dialogo = [](QDialog *d) {
        Control<QLineEdit>(d, "Txautor")->setText(u"Ana O'Gil «Ñ»"_s);
        Control<QCheckBox>(d, "ChPredeterminados")->setChecked(true);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(s.c<QPushButton>("CdVerFoto"), Qt::LeftButton);
    ChoiceService::Prueba().archivosAbrir = [&](const QString &) { return QStringList{otra}; };
    QTest::mouseClick(s.c<QPushButton>("CdFotos"), Qt::LeftButton);
    QCOMPARE(lista->count(), 3);
    // The author given in the viewer is now that of new photos.
    QCOMPARE(PhotoStrip::OpcionesActuales().autor, u"Ana O'Gil «Ñ»"_s);
    // Keeping originals is a setting, not part of the record.
    s.c<QCheckBox>("ChOriginales")->click();
    QVERIFY(PhotoStrip::OpcionesActuales().originales);
    s.c<QCheckBox>("ChOriginales")->click();
    QVERIFY(!PhotoStrip::OpcionesActuales().originales);
    lista->setCurrentRow(2);
    QTest::mouseClick(s.c<QPushButton>("CdQuitarFoto"), Qt::LeftButton);
    QCOMPARE(lista->count(), 2);

    // Stored with the observation; the strip is empty for the next one.
    s.RellenarObservacion();
    s.Poner("Cbloc", u"Puerta del Sol"_s);
    QCOMPARE(s.Guardar("Cbnueva", {QMessageBox::Yes}), kGuardada);
    QCOMPARE(Fila(s.bd, u"SELECT fecha, horaini FROM observacion"_s), u"2025-04-12|08:30"_s);
    QCOMPARE(s.bd.Lineas(u"SELECT orden, nombre, fecha, autor, licencia FROM foto WHERE "
                         "observacion = 1 ORDER BY orden"_s),
             u"1|sol.jpg|2025-04-12T08:30:59+02:00|Juan Pérez|CC BY 4.0\n"
             "2|sin.jpg|NULL|Ana O'Gil «Ñ»|CC BY 4.0"_s);
    QCOMPARE(s.bd.enServidor() ? s.bd.Contar(u"foto_datos"_s)
                               : QDir(s.bd.carpeta() + u"/fotos"_s).entryList(QDir::Files).size(),
             2);
    QCOMPARE(lista->count(), 0);
    PhotoStrip::setOpciones(std::nullopt);
}

QTEST_MAIN(tst_newobs)
#include "tst_newobs.moc"
