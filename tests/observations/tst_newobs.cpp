#include "support/TestDatabase.h"
#include "support/User.h"

#include "data/ModConex.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"
#include "localities/frcodloc.h"
#include "observations/newobs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>

// The form as a user meets it: opened on a fresh database, driven by keys, choices and
// focus changes, its message boxes answered.
namespace {
bool AltaObservador(const TestDatabase &bd) {
    return bd.Ejecutar(
        QStringLiteral("INSERT INTO observador (cod_observador, nombre, apellido, email) "
                       "VALUES ('JPG', 'Juan', 'Pérez', 'j@x.es')"));
}
// The repeated set-up: a fresh database holding the observer JPG, the form open on it.
struct Sesion {
    explicit Sesion(TestDatabase::Datos datos = TestDatabase::Datos::Fixture)
        : bd(datos), alta(AltaObservador(bd)) {
        f.show();
    }
    TestDatabase bd;
    bool alta;
    newobs f;
};
} // namespace

class tst_newobs : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void carga();
    void observadorPorDefecto();
    void observadores();
    void especieYHoras();
    void obligatorios();
    void derivacion();
    void municipioLimitaCuadrados();
    void guardarNuevaLocalidad();
    void codigoDeLocalidad();
    void duplicarYNueva();
    void localidadExistente();
    void guardadoFallido();
    void cerrarConCampoPendiente();
    void nadaQueNoSeViera();

private:
    template <typename T> T *c(newobs &f, const char *nombre) {
        T *w = f.findChild<T *>(QString::fromLatin1(nombre));
        if (!w) qFatal("no control %s", nombre);
        return w;
    }
    // A new locality at Madrid's Puerta del Sol, described through zone and coordinates.
    void DescribirNuevaLocalidad(newobs &f, const QString &nombre);
    void RellenarObservacion(newobs &f);
    QSqlRecord Fila(const TestDatabase &bd, const QString &sql);

    QStringList propuestos;
    std::optional<QString> respuesta;
};

void tst_newobs::init() {
    propuestos.clear();
    respuesta.reset();
    ChoiceService::Prueba().codigoLocalidad =
        ([this](QWidget *, const QString &p) -> std::optional<QString> {
            propuestos << p;
            return respuesta ? respuesta : std::optional<QString>(p);
        });
}

void tst_newobs::cleanup() {
    ChoiceService::Restablecer();
}

QSqlRecord tst_newobs::Fila(const TestDatabase &bd, const QString &sql) {
    QSqlQuery q(bd.db());
    if (!q.exec(sql) || !q.next()) return QSqlRecord();
    return q.record();
}

void tst_newobs::DescribirNuevaLocalidad(newobs &f, const QString &nombre) {
    User::Escribir(c<QComboBox>(f, "Cbloc"), nombre);
    User::SalirDe(c<QComboBox>(f, "Cbloc"));
    User::Elegir(c<QComboBox>(f, "Cbhuso"), QStringLiteral("30"));
    User::Escribir(c<QLineEdit>(f, "Txlong"), QStringLiteral("440291"));
    User::SalirDe(c<QLineEdit>(f, "Txlong"));
    User::Escribir(c<QLineEdit>(f, "Txlat"), QStringLiteral("4474254"));
    User::SalirDe(c<QLineEdit>(f, "Txlat"));
    User::Elegir(c<QComboBox>(f, "Cbprov"), QStringLiteral("Madrid"));
    User::Elegir(c<QComboBox>(f, "Cbmuni"), QStringLiteral("Madrid"));
}

void tst_newobs::RellenarObservacion(newobs &f) {
    User::Escribir(c<QLineEdit>(f, "Txobs1"), QStringLiteral("JPG"));
    User::SalirDe(c<QLineEdit>(f, "Txobs1"));
    User::Escribir(c<QComboBox>(f, "Cbespecie"), QStringLiteral("salsal"));
    User::SalirDe(c<QComboBox>(f, "Cbespecie"));
}

void tst_newobs::carga() {
    TestDatabase bd;
    QVERIFY(bd.ok());
    newobs f;
    auto items = [](QComboBox *l) {
        QStringList r;
        for (int i = 0; i < l->count(); ++i)
            r << l->itemText(i);
        return r;
    };
    QCOMPARE(items(c<QComboBox>(f, "cb10k")).last(), QStringLiteral(" "));
    QCOMPARE(items(c<QComboBox>(f, "cb10k")).first(), QStringLiteral("QA44"));
    QCOMPARE(items(c<QComboBox>(f, "Cbmotivo")),
             QStringList({QString(), QStringLiteral("Muestreo"), QStringLiteral("Casual")}));
    QCOMPARE(
        items(c<QComboBox>(f, "Cbvents")),
        QStringList({QStringLiteral("Calma (0-1)"), QStringLiteral("Ventolina (1-5)"), QString()}));
    QCOMPARE(items(c<QComboBox>(f, "Cbhabitat")).last(), QString()); // a null text
    QCOMPARE(items(c<QComboBox>(f, "Cbespecie")).first(), QStringLiteral("BUFSPI - Bufo spinosus"));
    QCOMPARE(items(c<QComboBox>(f, "Cbestadio")).size(),
             6); // every class until a species is chosen
    QCOMPARE(items(c<QComboBox>(f, "Cbprov")).size(), 4);
    for (const char *l : {"Cbperiodo", "Cbespecie", "Cbestadio", "Cbmotivo", "Cbprov", "cb10k",
                          "Cbloc", "Cbhuso", "Cbmuni"})
        QCOMPARE(c<QComboBox>(f, l)->currentIndex(), -1);
    QCOMPARE(c<QDateEdit>(f, "Txdata")->date(), QDate(QDate::currentDate().year(), 1, 1));
    QCOMPARE(c<QTimeEdit>(f, "Txhini")->time(), QTime(0, 0));
    QCOMPARE(c<QTimeEdit>(f, "Txhfi")->time(), QTime(0, 0));
    QVERIFY(c<QLineEdit>(f, "Txobs1")->text().isEmpty());
    QVERIFY(MessageService::Mostrados().isEmpty());

    // Without a database: one message, an empty form, and a save that stores nothing.
    ModConex::Desconectar();
    newobs g;
    QCOMPARE(MessageService::Mostrados().size(), 1);
    QVERIFY(MessageService::Ultimo().texto.startsWith(
        QStringLiteral("No hay conexión con la base de datos")));
    QCOMPARE(c<QComboBox>(g, "Cbespecie")->count(), 0);
    QTest::mouseClick(c<QPushButton>(g, "Cbnueva"), Qt::LeftButton);
    QCOMPARE(MessageService::Mostrados().size(), 2);
}

void tst_newobs::observadorPorDefecto() {
    TestDatabase bd;
    QVERIFY(AltaObservador(bd));
    QVERIFY(bd.Ejecutar(QStringLiteral("UPDATE DefaultObs SET cd_obs = 'JPG'")));
    {
        newobs f;
        QCOMPARE(c<QLineEdit>(f, "Txobs1")->text(), QStringLiteral("JPG"));
        QCOMPARE(c<QLabel>(f, "Lbobs1")->text(), QStringLiteral("Juan Pérez"));
    }
    // A default observer that no longer exists: the message, and the field left empty.
    QVERIFY(bd.Ejecutar(QStringLiteral("UPDATE DefaultObs SET cd_obs = 'IDO'")));
    newobs f;
    QCOMPARE(MessageService::Ultimo().texto,
             QStringLiteral("No existe ningun Observador con este código"));
    QCOMPARE(MessageService::Ultimo().titulo, QStringLiteral("Código Observador Incorrecto"));
    QVERIFY(c<QLineEdit>(f, "Txobs1")->text().isEmpty());
}

void tst_newobs::observadores() {
    Sesion s;
    TestDatabase &bd = s.bd;
    newobs &f = s.f;
    QLineEdit *campo = c<QLineEdit>(f, "Txobs2");

    // Typed in other case: found, and shown as the table holds it.
    User::Escribir(campo, QStringLiteral("jpg"));
    User::SalirDe(campo);
    QCOMPARE(campo->text(), QStringLiteral("JPG"));
    QCOMPARE(c<QLabel>(f, "Lbobs2")->text(), QStringLiteral("Juan Pérez"));
    QVERIFY(MessageService::Mostrados().isEmpty());

    // Unknown: the message, field and label emptied, the focus back in the field.
    User::Escribir(campo, QStringLiteral("X'Y"));
    User::SalirDe(campo);
    QCOMPARE(MessageService::Ultimo().texto,
             QStringLiteral("No existe ningun Observador con este código"));
    QCOMPARE(MessageService::Ultimo().icono, QMessageBox::Warning);
    QVERIFY(campo->text().isEmpty());
    QVERIFY(c<QLabel>(f, "Lbobs2")->text().isEmpty());
    QVERIFY(campo->hasFocus());

    // Emptying a filled field empties its label.
    User::Escribir(c<QLineEdit>(f, "Txobs4"), QStringLiteral("JPG"));
    User::SalirDe(c<QLineEdit>(f, "Txobs4"));
    QCOMPARE(c<QLabel>(f, "Lbobs4")->text(), QStringLiteral("Juan Pérez"));
    User::Escribir(c<QLineEdit>(f, "Txobs4"), QString());
    User::SalirDe(c<QLineEdit>(f, "Txobs4"));
    QVERIFY(c<QLabel>(f, "Lbobs4")->text().isEmpty());

    // Each selection button opens the observer list for its own slot; the observer chosen
    // there arrives in that slot.
    QTest::mouseClick(c<QPushButton>(f, "Cdselobs3"), Qt::LeftButton);
    auto *lista = qobject_cast<QWidget *>(Screen::BuscarFormulario(QStringLiteral("frobs")));
    QVERIFY(lista);
    QPointer<QWidget> vigilada = lista;
    auto *rejilla = lista->findChild<QTableView *>(QStringLiteral("DBObs"));
    rejilla->setCurrentIndex(rejilla->model()->index(0, 0));
    QTest::mouseClick(lista->findChild<QPushButton *>(QStringLiteral("CdSel")), Qt::LeftButton);
    QCOMPARE(c<QLineEdit>(f, "Txobs3")->text(), QStringLiteral("JPG"));
    QCOMPARE(c<QLabel>(f, "Lbobs3")->text(), QStringLiteral("Juan Pérez"));
    QVERIFY(c<QLineEdit>(f, "Txobs1")->text().isEmpty());
    QTRY_VERIFY(!vigilada || !vigilada->isVisible());

    QStringList origenes;
    ChoiceService::Prueba().observador = [&](QWidget *, const QString &o, auto) { origenes << o; };
    QTest::mouseClick(c<QPushButton>(f, "CdSelobs1"), Qt::LeftButton);
    QTest::mouseClick(c<QPushButton>(f, "Cdselobs4"), Qt::LeftButton);
    QCOMPARE(origenes, QStringList({QStringLiteral("alta1"), QStringLiteral("alta4")}));
    ChoiceService::Prueba().observador = nullptr;
}

void tst_newobs::especieYHoras() {
    Sesion s;
    TestDatabase &bd = s.bd;
    newobs &f = s.f;
    QComboBox *especie = c<QComboBox>(f, "Cbespecie");

    // Typing completes; leaving keeps a listed species and narrows stages to its class.
    User::Escribir(especie, QStringLiteral("vip"));
    QCOMPARE(especie->currentText(), QStringLiteral("VIPLAT - Vipera latastei"));
    User::SalirDe(especie);
    QCOMPARE(c<QLabel>(f, "Lbespecie")->text(), QStringLiteral("Víbora hocicuda"));
    QStringList estadios;
    for (int i = 0; i < c<QComboBox>(f, "Cbestadio")->count(); ++i)
        estadios << c<QComboBox>(f, "Cbestadio")->itemText(i);
    QCOMPARE(estadios, QStringList({QStringLiteral("Huevo"), QStringLiteral("Juvenil"),
                                    QStringLiteral("Adulto")}));

    // A text matching no species becomes a blank on leaving; no message.
    User::Escribir(especie, QStringLiteral("zzz"));
    User::SalirDe(especie);
    QCOMPARE(especie->currentText(), QStringLiteral(" "));
    QVERIFY(c<QLabel>(f, "Lbespecie")->text().isEmpty());
    QVERIFY(MessageService::Mostrados().isEmpty());

    // Start later than end: leaving either field resets that field.
    QTimeEdit *ini = c<QTimeEdit>(f, "Txhini"), *fin = c<QTimeEdit>(f, "Txhfi");
    ini->setTime(QTime(10, 30));
    User::SalirDe(ini); // end still 00:00: never compared
    QVERIFY(MessageService::Mostrados().isEmpty());
    fin->setTime(QTime(9, 15));
    User::SalirDe(fin);
    QCOMPARE(MessageService::Ultimo().texto,
             QStringLiteral("La hora inicial de la observación debe ser inferior a la hora final"));
    QCOMPARE(fin->time(), QTime(0, 0));
    QCOMPARE(ini->time(), QTime(10, 30));
    c<QLineEdit>(f, "Txdesc")->setFocus();
    fin->setTime(QTime(9, 15));
    ini->setFocus();
    User::SalirDe(ini);
    QCOMPARE(MessageService::Mostrados().size(), 2);
    QCOMPARE(ini->time(), QTime(0, 0));
    QCOMPARE(fin->time(), QTime(9, 15));
    // Equal times pass.
    ini->setTime(QTime(9, 15));
    User::SalirDe(ini);
    QCOMPARE(MessageService::Mostrados().size(), 2);
}

void tst_newobs::obligatorios() {
    Sesion s(TestDatabase::Datos::Reales);
    TestDatabase &bd = s.bd;
    newobs &f = s.f;
    auto guardar = [&] {
        MessageService::Limpiar();
        QTest::mouseClick(c<QPushButton>(f, "Cbnueva"), Qt::LeftButton);
        return MessageService::Ultimo();
    };
    // Nothing filled: the last missing field in the order is named.
    MessageService::Mostrado m = guardar();
    QCOMPARE(m.texto, QStringLiteral("El campo Observador es obligatorio."));
    QCOMPARE(m.titulo, QStringLiteral("Datos incompletos"));
    QCOMPARE(m.icono, QMessageBox::Warning);

    // Everything but the municipality of a new locality.
    RellenarObservacion(f);
    DescribirNuevaLocalidad(f, QStringLiteral("Fuente nueva"));
    User::Escribir(c<QComboBox>(f, "Cbmuni"), QStringLiteral("Mad"));
    c<QComboBox>(f, "Cbmuni")->setEditText(QStringLiteral("Nomuni"));
    User::SalirDe(c<QComboBox>(f, "Cbmuni"));
    QVERIFY(c<QComboBox>(f, "Cbmuni")->currentText().isEmpty());
    QCOMPARE(guardar().texto, QStringLiteral("El campo Municipio es obligatorio."));

    // A species typed by hand that matches nothing is reported as missing.
    User::Elegir(c<QComboBox>(f, "Cbmuni"), QStringLiteral("Madrid"));
    User::Escribir(c<QComboBox>(f, "Cbespecie"), QStringLiteral("Bufo"));
    c<QComboBox>(f, "Cbespecie")->setEditText(QStringLiteral("Bufo nuevo"));
    User::SalirDe(c<QComboBox>(f, "Cbespecie"));
    QCOMPARE(guardar().texto, QStringLiteral("El campo Especie es obligatorio."));
    QCOMPARE(bd.Contar(QStringLiteral("observacion")), 0);
    QCOMPARE(bd.Contar(QStringLiteral("localidad")), 0);
    QVERIFY(propuestos.isEmpty());
}

void tst_newobs::derivacion() {
    Sesion s(TestDatabase::Datos::Reales);
    TestDatabase &bd = s.bd;
    newobs &f = s.f;
    QComboBox *huso = c<QComboBox>(f, "Cbhuso"), *cb10k = c<QComboBox>(f, "cb10k"),
              *prov = c<QComboBox>(f, "Cbprov");
    QLineEdit *este = c<QLineEdit>(f, "Txlong"), *norte = c<QLineEdit>(f, "Txlat"),
              *tx1k = c<QLineEdit>(f, "tx1k");
    QLabel *missatge = c<QLabel>(f, "missatge");
    User::Escribir(c<QComboBox>(f, "Cbloc"), QStringLiteral("Pozo del Tío Raimundo"));
    User::SalirDe(c<QComboBox>(f, "Cbloc"));
    QCOMPARE(f.CodigoLocalidad(), QStringLiteral("new"));
    QVERIFY(c<QGroupBox>(f, "Frame1")->isEnabled());

    // The easting alone, no zone: nothing said. Both, no zone: the zone is asked for.
    User::Escribir(este, QStringLiteral("440291"));
    User::SalirDe(este);
    QVERIFY(missatge->text().isEmpty());
    User::Escribir(norte, QStringLiteral("4474254"));
    User::SalirDe(norte);
    QCOMPARE(missatge->text(), QStringLiteral("Falta Huso para calcular cuadrados UTM"));

    // Zone 30 in Madrid: squares derived, provinces narrowed to the square's.
    User::Elegir(huso, QStringLiteral("30"));
    QCOMPARE(cb10k->currentText(), QStringLiteral("VK47"));
    QCOMPARE(tx1k->text(), QStringLiteral("VK4074"));
    QCOMPARE(prov->count(), 1);
    QCOMPARE(prov->itemText(0), QStringLiteral("Madrid"));
    QVERIFY(missatge->text().isEmpty());

    // Zone 31 in Barcelona and zone 29 in A Coruña: the zone emptied first, so that the
    // half-typed coordinates are not derived.
    auto situar = [&](const char *zona, const char *x, const char *y) {
        User::Elegir(huso, QStringLiteral(" "));
        User::Escribir(este, QString::fromLatin1(x));
        User::SalirDe(este);
        User::Escribir(norte, QString::fromLatin1(y));
        User::SalirDe(norte);
        User::Elegir(huso, QString::fromLatin1(zona));
    };
    situar("31", "430609", "4582053");
    QCOMPARE(cb10k->currentText(), QStringLiteral("DF38"));
    QCOMPARE(tx1k->text(), QStringLiteral("DF3082"));
    QCOMPARE(prov->itemText(0), QStringLiteral("Barcelona"));
    situar("29", "591712", "4811784");
    QCOMPARE(cb10k->currentText(), QStringLiteral("NJ91"));
    QCOMPARE(tx1k->text(), QStringLiteral("NJ9111"));
    QCOMPARE(prov->count(), 2); // A Coruña and Lugo share it
    User::Elegir(prov, QStringLiteral("A Coruña"));
    User::SalirDe(norte);
    QCOMPARE(prov->currentText(), QStringLiteral("A Coruña"));

    // Choosing the same zone again derives again.
    tx1k->clear();
    User::Elegir(huso, QStringLiteral("29"));
    QCOMPARE(tx1k->text(), QStringLiteral("NJ9111"));

    // A coordinate missing.
    User::Escribir(norte, QString());
    User::SalirDe(norte);
    QCOMPARE(missatge->text(),
             QStringLiteral("Faltan coordenadas Este y/o Norte para calcular cuadrados UTM"));

    // Pasted text that is no whole number changes nothing but the message.
    norte->setText(QStringLiteral("4.811.784"));
    User::SalirDe(norte);
    QCOMPARE(missatge->text(), QStringLiteral("Las coordenadas deben ser números enteros"));
    QCOMPARE(cb10k->currentText(), QStringLiteral("NJ91"));

    // Northing below every band of the zone.
    User::Escribir(norte, QStringLiteral("100000"));
    User::SalirDe(norte);
    QCOMPARE(missatge->text(), QStringLiteral("Esta coordenada Norte no existe en el Huso 29"));

    // Easting below every band of the zone.
    User::Escribir(este, QStringLiteral("50000"));
    User::SalirDe(este);
    QCOMPARE(missatge->text(), QStringLiteral("Esta coordenada Este no existe en el Huso 29"));
    User::Escribir(este, QStringLiteral("591712"));
    User::SalirDe(este);

    // A square outside Spain: refused, the blank square chosen, whose choice empties the
    // zone and coordinates and offers every province again.
    User::Escribir(norte, QStringLiteral("4000000"));
    User::SalirDe(norte);
    QCOMPARE(missatge->text(), QStringLiteral("Estas coordenadas generan un UTM10 no correcto"));
    QCOMPARE(cb10k->currentText(), QStringLiteral(" "));
    QVERIFY(este->text().isEmpty() && norte->text().isEmpty());
    QVERIFY(huso->currentText().isEmpty());
}

void tst_newobs::municipioLimitaCuadrados() {
    Sesion s(TestDatabase::Datos::Reales);
    TestDatabase &bd = s.bd;
    newobs &f = s.f;
    User::Escribir(c<QComboBox>(f, "Cbloc"), QStringLiteral("Arroyo"));
    User::SalirDe(c<QComboBox>(f, "Cbloc"));
    // A province with no square: coordinates emptied, their frame disabled.
    c<QLineEdit>(f, "Txlong")->setText(QStringLiteral("123"));
    User::Elegir(c<QComboBox>(f, "Cbprov"), QStringLiteral("Madrid"));
    QVERIFY(!c<QGroupBox>(f, "Frame1")->isEnabled());
    QVERIFY(c<QLineEdit>(f, "Txlong")->text().isEmpty());
    QComboBox *muni = c<QComboBox>(f, "Cbmuni");
    QVERIFY(muni->isEnabled());
    QCOMPARE(muni->itemText(muni->count() - 1), QString());

    // The municipality chosen first limits the squares on offer.
    User::Escribir(muni, QStringLiteral("Pozuelo"));
    QCOMPARE(muni->currentText(), QStringLiteral("Pozuelo de Alarcón"));
    QComboBox *cb10k = c<QComboBox>(f, "cb10k");
    QStringList cuadrados;
    for (int i = 0; i < cb10k->count(); ++i)
        cuadrados << cb10k->itemText(i);
    QCOMPARE(cuadrados,
             QStringList({QStringLiteral("VK27"), QStringLiteral("VK37"), QStringLiteral(" ")}));
    // With a square chosen, a province lists only its municipalities that contain it.
    User::Elegir(cb10k, QStringLiteral("VK37"));
    User::Elegir(c<QComboBox>(f, "Cbprov"), QStringLiteral("Madrid"));
    QVERIFY(muni->count() > 2);
    for (int i = 0; i < muni->count() - 1; ++i)
        QVERIFY(bd.Valor(QStringLiteral(
                             "SELECT count(*) FROM tutm10kmunis k JOIN tmunicipio m "
                             "ON m.id_muni = k.id_muni WHERE m.muni = ? AND k.utm10 = 'VK37'"),
                         {muni->itemText(i)})
                    .toInt() > 0);
    QCOMPARE(muni->currentText(), QStringLiteral("Pozuelo de Alarcón"));
}

void tst_newobs::guardarNuevaLocalidad() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    QVERIFY(AltaObservador(bd) &&
            bd.Ejecutar("INSERT INTO observador (cod_observador, nombre, apellido) "
                        "VALUES ('ANA', 'Ana', 'Gil')"));
    newobs f;
    f.show();
    RellenarObservacion(f);
    User::Escribir(c<QLineEdit>(f, "Txobs3"), QStringLiteral("ana"));
    User::SalirDe(c<QLineEdit>(f, "Txobs3"));
    DescribirNuevaLocalidad(f, QStringLiteral("Charca de l'Olivar"));
    c<QDateEdit>(f, "Txdata")->setDate(QDate(2026, 3, 7));
    c<QTimeEdit>(f, "Txhini")->setTime(QTime(9, 5));
    User::Elegir(c<QComboBox>(f, "Cbestadio"), QStringLiteral("Adulto"));
    User::Elegir(c<QComboBox>(f, "Cbperiodo"), QStringLiteral("Mañana"));
    User::Elegir(c<QComboBox>(f, "Cbvents"), QStringLiteral("Ventolina (1-5)"));
    User::Elegir(c<QComboBox>(f, "Cbmotivo"), QStringLiteral("Observación casual"));
    c<QCheckBox>(f, "Check1")->setChecked(true);
    User::Escribir(c<QLineEdit>(f, "Txdesc"), QStringLiteral("It's under a stone"));
    QTest::mouseClick(c<QPushButton>(f, "Cbnueva"), Qt::LeftButton);

    QCOMPARE(MessageService::Ultimo().texto,
             QStringLiteral("Se ha registrado la observación en la base de datos"));
    QCOMPARE(MessageService::Ultimo().icono, QMessageBox::NoIcon);
    QCOMPARE(propuestos, QStringList({QStringLiteral("JPG0")})); // empty table: number 0
    const QSqlRecord l = Fila(bd, QStringLiteral("SELECT * FROM localidad"));
    QCOMPARE(l.value("cod_localidad").toString(), QStringLiteral("JPG0"));
    QCOMPARE(l.value("localidad").toString(), QStringLiteral("Charca de l´Olivar"));
    QCOMPARE(l.value("prov").toInt(), 28);
    QCOMPARE(l.value("muni").toInt(), 28079);
    QCOMPARE(l.value("utmhuso").toString(), QStringLiteral("30"));
    QCOMPARE(l.value("utmx").toInt(), 440291);
    QCOMPARE(l.value("utmy").toInt(), 4474254);
    QCOMPARE(l.value("utm1k").toString(), QStringLiteral("VK4074"));
    QCOMPARE(l.value("utm10k").toString(), QStringLiteral("VK47"));

    const QSqlRecord o = Fila(bd, QStringLiteral("SELECT * FROM observacion"));
    QCOMPARE(o.value("observador1").toString(), QStringLiteral("JPG"));
    QCOMPARE(o.value("observador2").toString(), QString());
    QCOMPARE(o.value("observador3").toString(), QStringLiteral("ANA"));
    QCOMPARE(o.value("fecha").toString(), QStringLiteral("2026-03-07"));
    QCOMPARE(o.value("horaini").toString(), QStringLiteral("09:05"));
    QCOMPARE(o.value("horafin").toString(), QStringLiteral("00:00"));
    QCOMPARE(o.value("especie").toString(), QStringLiteral("SALSAL"));
    QVERIFY(o.value("numejemp").isNull());
    QCOMPARE(o.value("numaprox").toInt(), 1);
    QCOMPARE(o.value("descripcion").toString(), QStringLiteral("It´s under a stone"));
    QCOMPARE(o.value("motivo").toString(), QStringLiteral("Observación casual"));
    QCOMPARE(o.value("localidad").toString(), QStringLiteral("JPG0"));
    QCOMPARE(o.value("meteo").toInt(), 0);
    QCOMPARE(
        o.value("periodo").toInt(),
        bd.Valor(QStringLiteral("SELECT id_periodo FROM tperiodo WHERE period_cast = 'Mañana'"))
            .toInt());
    QCOMPARE(o.value("viento").toInt(), 2); // force 1 has identifier 2
    // The amphibians' "Adulto", not the reptiles'.
    QCOMPARE(o.value("estadio").toInt(),
             bd.Valor(QStringLiteral("SELECT id_estadio FROM testadio WHERE estad_cast = 'Adulto' "
                                     "AND clase = 'Anfibio'"))
                 .toInt());

    // "Nueva" cleared the form but the date.
    QVERIFY(c<QComboBox>(f, "Cbloc")->currentText().isEmpty());
    QCOMPARE(c<QComboBox>(f, "Cbespecie")->currentText(), QStringLiteral(" "));
    QCOMPARE(c<QComboBox>(f, "Cbestadio")->currentIndex(), -1);
    QVERIFY(c<QLineEdit>(f, "Txobs1")->text().isEmpty());
    QVERIFY(c<QLineEdit>(f, "Txobs3")->text().isEmpty());
    QVERIFY(c<QLineEdit>(f, "Txdesc")->text().isEmpty());
    QVERIFY(!c<QCheckBox>(f, "Check1")->isChecked());
    QCOMPARE(c<QTimeEdit>(f, "Txhini")->time(), QTime(0, 0));
    QCOMPARE(c<QDateEdit>(f, "Txdata")->date(), QDate(2026, 3, 7));
    QCOMPARE(c<QComboBox>(f, "Cbloc")->findText(QStringLiteral("Charca de l´Olivar")), 0);

    // The next observation, with only what is required: nothing remembered from before.
    RellenarObservacion(f);
    User::Escribir(c<QComboBox>(f, "Cbloc"), QStringLiteral("Charca de l´Olivar"));
    User::SalirDe(c<QComboBox>(f, "Cbloc"));
    User::Escribir(c<QLineEdit>(f, "Txexemplars"), QStringLiteral("12"));
    QTest::mouseClick(c<QPushButton>(f, "Cbnueva"), Qt::LeftButton);
    QCOMPARE(bd.Contar(QStringLiteral("observacion")), 2);
    QCOMPARE(bd.Contar(QStringLiteral("localidad")), 1);
    const QSqlRecord o2 =
        Fila(bd, QStringLiteral("SELECT * FROM observacion WHERE id_observacion = 2"));
    QCOMPARE(o2.value("estadio").toInt(), 0);
    QCOMPARE(o2.value("periodo").toInt(), 0);
    QCOMPARE(o2.value("numejemp").toInt(), 12);
    QCOMPARE(o2.value("numaprox").toInt(), 0);
    QCOMPARE(o2.value("localidad").toString(), QStringLiteral("JPG0"));
}

void tst_newobs::codigoDeLocalidad() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    QVERIFY(AltaObservador(bd));
    QVERIFY(bd.Ejecutar(QStringLiteral("INSERT INTO observacion (especie) VALUES ('X')")));
    newobs f;
    f.show();
    RellenarObservacion(f);
    DescribirNuevaLocalidad(f, QStringLiteral("Prado"));

    // The prompt closed: nothing stored, everything kept.
    respuesta = std::optional<QString>();
    ChoiceService::Prueba().codigoLocalidad =
        ([this](QWidget *, const QString &p) -> std::optional<QString> {
            propuestos << p;
            return std::nullopt;
        });
    QTest::mouseClick(c<QPushButton>(f, "Cbnueva"), Qt::LeftButton);
    QCOMPARE(propuestos, QStringList({QStringLiteral("JPG2")}));
    QCOMPARE(bd.Contar(QStringLiteral("localidad")), 0);
    QCOMPARE(bd.Contar(QStringLiteral("observacion")), 1);
    QCOMPARE(c<QComboBox>(f, "Cbloc")->currentText(), QStringLiteral("Prado"));
    QCOMPARE(c<QLineEdit>(f, "tx1k")->text(), QStringLiteral("VK4074"));

    // In the real prompt a code already stored is refused; the changed code is stored.
    QVERIFY(bd.Ejecutar(QStringLiteral(
        "INSERT INTO localidad (cod_localidad, localidad) VALUES ('JPG2', 'Otra')")));
    ChoiceService::Prueba().codigoLocalidad =
        ([this](QWidget *padre, const QString &p) -> std::optional<QString> {
            frcodloc prompt(padre);
            prompt.CodigoPropuesto = p;
            prompt.show();
            auto *aceptar = prompt.findChild<QPushButton *>(QStringLiteral("Command1"));
            QTest::mouseClick(aceptar, Qt::LeftButton);
            propuestos << MessageService::Ultimo().texto;
            QTest::keyClicks(prompt.findChild<QLineEdit *>(QStringLiteral("Txloc")),
                             QStringLiteral("PRADO-1"));
            QTest::mouseClick(aceptar, Qt::LeftButton);
            return prompt.result() == QDialog::Accepted ? std::optional(prompt.CodigoAceptado())
                                                        : std::nullopt;
        });
    QTest::mouseClick(c<QPushButton>(f, "Cbnueva"), Qt::LeftButton);
    QCOMPARE(propuestos.last(), QStringLiteral("Este código ya existe en la Base de Datos"));
    QCOMPARE(
        bd.Valor(QStringLiteral("SELECT cod_localidad FROM localidad WHERE localidad = 'Prado'"))
            .toString(),
        QStringLiteral("PRADO-1"));
    QCOMPARE(bd.Valor(QStringLiteral("SELECT localidad FROM observacion WHERE id_observacion = 2"))
                 .toString(),
             QStringLiteral("PRADO-1"));
}

void tst_newobs::duplicarYNueva() {
    Sesion s(TestDatabase::Datos::Reales);
    TestDatabase &bd = s.bd;
    newobs &f = s.f;
    RellenarObservacion(f);
    DescribirNuevaLocalidad(f, QStringLiteral("Fuente d'en Pep"));
    User::Escribir(c<QLineEdit>(f, "Txexemplars"), QStringLiteral("3"));
    QTest::mouseClick(c<QPushButton>(f, "Cbguardar"), Qt::LeftButton);
    // The stored locality is chosen now, so the next save does not store it again.
    QCOMPARE(c<QComboBox>(f, "Cbloc")->currentText(), QStringLiteral("Fuente d´en Pep"));
    QCOMPARE(f.CodigoLocalidad(), QStringLiteral("JPG0"));
    QVERIFY(!c<QGroupBox>(f, "Frame1")->isEnabled());
    QCOMPARE(c<QLineEdit>(f, "Txexemplars")->text(), QStringLiteral("3"));
    QTest::mouseClick(c<QPushButton>(f, "Cbguardar"), Qt::LeftButton);
    QCOMPARE(bd.Contar(QStringLiteral("localidad")), 1);
    QCOMPARE(bd.Contar(QStringLiteral("observacion")), 2);
    QCOMPARE(
        bd.Valor(QStringLiteral(
                     "SELECT count(*) FROM observacion WHERE localidad = 'JPG0' AND numejemp = 3"))
            .toInt(),
        2);
    QCOMPARE(propuestos.size(), 1);
}

void tst_newobs::localidadExistente() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    QVERIFY(AltaObservador(bd));
    QVERIFY(bd.Ejecutar(
        QStringLiteral("INSERT INTO localidad (cod_localidad, localidad, prov, muni, "
                       "utmhuso, utmx, utmy, utm1k, utm10k) VALUES "
                       "('L1', 'Laguna', 28, 28079, '30', 440291, 4474254, 'VK4074', 'VK47'),"
                       "('L2', 'Sin provincia', 99, 28079, '30', NULL, NULL, '', 'VK47')")));
    newobs f;
    f.show();
    RellenarObservacion(f);
    // Typed in other case it is a new locality.
    User::Escribir(c<QComboBox>(f, "Cbloc"), QStringLiteral("laguna"));
    User::SalirDe(c<QComboBox>(f, "Cbloc"));
    QCOMPARE(f.CodigoLocalidad(), QStringLiteral("new"));
    // Typed exactly: loaded without deriving anything.
    User::Escribir(c<QComboBox>(f, "Cbloc"), QStringLiteral("Laguna"));
    User::SalirDe(c<QComboBox>(f, "Cbloc"));
    QCOMPARE(f.CodigoLocalidad(), QStringLiteral("L1"));
    QCOMPARE(c<QComboBox>(f, "Cbhuso")->currentText(), QStringLiteral("30"));
    QCOMPARE(c<QLineEdit>(f, "Txlong")->text(), QStringLiteral("440291"));
    QCOMPARE(c<QComboBox>(f, "cb10k")->currentText(), QStringLiteral("VK47"));
    QCOMPARE(c<QComboBox>(f, "Cbprov")->currentText(), QStringLiteral("Madrid"));
    QCOMPARE(c<QComboBox>(f, "Cbmuni")->currentText(), QStringLiteral("Madrid"));
    QVERIFY(c<QLabel>(f, "missatge")->text().isEmpty());
    QVERIFY(!c<QGroupBox>(f, "Frame3")->isEnabled());
    QTest::mouseClick(c<QPushButton>(f, "Cbnueva"), Qt::LeftButton);
    QCOMPARE(MessageService::Ultimo().texto,
             QStringLiteral("Se ha registrado la observación en la base de datos"));
    QCOMPARE(bd.Contar(QStringLiteral("localidad")), 2);
    QCOMPARE(bd.Valor(QStringLiteral("SELECT localidad FROM observacion")).toString(),
             QStringLiteral("L1"));
    QVERIFY(propuestos.isEmpty());

    // A listed locality whose province is gone loads nothing and cannot be stored, even
    // with every other field filled.
    RellenarObservacion(f);
    DescribirNuevaLocalidad(f, QStringLiteral("Otra"));
    User::Elegir(c<QComboBox>(f, "Cbloc"), QStringLiteral("Sin provincia"));
    QVERIFY(f.CodigoLocalidad().isEmpty());
    QTest::mouseClick(c<QPushButton>(f, "Cbnueva"), Qt::LeftButton);
    QCOMPARE(MessageService::Ultimo().texto, QStringLiteral("El campo Localidad es obligatorio."));
    QCOMPARE(bd.Contar(QStringLiteral("observacion")), 1);
}

void tst_newobs::guardadoFallido() {
    Sesion s(TestDatabase::Datos::Reales);
    TestDatabase &bd = s.bd;
    newobs &f = s.f;
    RellenarObservacion(f);
    DescribirNuevaLocalidad(f, QStringLiteral("Balsa"));
    ModConex::setSoloLectura(true);
    QVERIFY(ModConex::Conectar());
    ModConex::setSoloLectura(false);
    QTest::mouseClick(c<QPushButton>(f, "Cbnueva"), Qt::LeftButton);
    QVERIFY2(MessageService::Ultimo().texto.contains(QStringLiteral("solo lectura")),
             qPrintable(MessageService::Ultimo().texto));
    QCOMPARE(bd.Contar(QStringLiteral("localidad")), 0);
    QCOMPARE(bd.Contar(QStringLiteral("observacion")), 0);
    QCOMPARE(c<QComboBox>(f, "Cbloc")->currentText(), QStringLiteral("Balsa"));
    QCOMPARE(c<QLineEdit>(f, "Txobs1")->text(), QStringLiteral("JPG"));

    // Once the database can be written again, the same form saves both rows.
    QVERIFY(ModConex::Conectar());
    QTest::mouseClick(c<QPushButton>(f, "Cbnueva"), Qt::LeftButton);
    QCOMPARE(bd.Contar(QStringLiteral("localidad")), 1);
    QCOMPARE(bd.Contar(QStringLiteral("observacion")), 1);
}

void tst_newobs::cerrarConCampoPendiente() {
    // Closing the form, or the program closing it, with an unchecked code in a field: no
    // check runs on a form that is going away.
    TestDatabase bd;
    for (bool borrar : {false, true}) {
        MessageService::Limpiar();
        auto *f = new newobs;
        f->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<newobs> vivo = f;
        f->show();
        User::Escribir(c<QLineEdit>(*f, "Txobs1"), QStringLiteral("ZZZ"));
        if (borrar)
            delete f;
        else
            f->close();
        QTRY_VERIFY(!vivo);
        QVERIFY2(MessageService::Mostrados().isEmpty(), qPrintable(MessageService::Ultimo().texto));
    }
}

void tst_newobs::nadaQueNoSeViera() {
    // What the user did not see chosen or typed is never stored, and a click whose focus
    // change raised a refusal does not go on to save.
    TestDatabase bd(TestDatabase::Datos::Reales);
    QVERIFY(AltaObservador(bd));
    QVERIFY(bd.Ejecutar(
        QStringLiteral("INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmhuso, "
                       "utmx, utmy, utm1k, utm10k) VALUES ('L1', 'Laguna', 28, 28079, '30', "
                       "440291, 4474254, 'VK4074', 'VK47')")));
    newobs f;
    f.show();
    RellenarObservacion(f);
    User::Elegir(c<QComboBox>(f, "Cbloc"), QStringLiteral("Laguna"));
    auto guardar = [&](const char *boton) {
        MessageService::Limpiar();
        QTest::mouseClick(c<QPushButton>(f, boton), Qt::LeftButton);
        return MessageService::Mostrados().isEmpty() ? QString() : MessageService::Ultimo().texto;
    };

    // The species cut away: the list stays empty and the save names the species.
    QComboBox *especie = c<QComboBox>(f, "Cbespecie");
    especie->setFocus();
    especie->lineEdit()->selectAll();
    QTest::keyClick(especie, Qt::Key_X, Qt::ControlModifier);
    QVERIFY(especie->currentText().isEmpty());
    QCOMPARE(guardar("Cbguardar"), QStringLiteral("El campo Especie es obligatorio."));
    User::Escribir(especie, QStringLiteral("salsal"));
    User::SalirDe(especie);

    // An unknown observer code, then "Duplicar" at once: the refusal, and nothing stored;
    // the next click saves what the form then shows.
    User::Escribir(c<QLineEdit>(f, "Txobs2"), QStringLiteral("NADIE"));
    QCOMPARE(guardar("Cbguardar"), QStringLiteral("No existe ningun Observador con este código"));
    QCOMPARE(bd.Contar(QStringLiteral("observacion")), 0);
    // The same code saved by a shortcut, without leaving the field, is checked too.
    User::Escribir(c<QLineEdit>(f, "Txobs2"), QStringLiteral("NADIE"));
    MessageService::Limpiar();
    c<QPushButton>(f, "Cbguardar")->click();
    QCOMPARE(MessageService::Ultimo().texto,
             QStringLiteral("No existe ningun Observador con este código"));
    QCOMPARE(bd.Contar(QStringLiteral("observacion")), 0);

    // Numbers that do not fit are refused, never cut: the form keeps them as typed.
    User::Escribir(c<QLineEdit>(f, "Txexemplars"), QStringLiteral("2147483648"));
    QCOMPARE(c<QLineEdit>(f, "Txexemplars")->text(), QStringLiteral("2147483648"));
    QCOMPARE(guardar("Cbguardar"),
             QStringLiteral("El número de ejemplares no puede ser mayor que 2147483647."));
    QCOMPARE(bd.Contar(QStringLiteral("observacion")), 0);
    User::Escribir(c<QLineEdit>(f, "Txexemplars"), QStringLiteral("2147483647"));
    QCOMPARE(guardar("Cbguardar"),
             QStringLiteral("Se ha registrado la observación en la base de datos"));
    QCOMPARE(bd.Valor(QStringLiteral("SELECT printf('%s|%s|%s', observador1, observador2, "
                                     "numejemp) FROM observacion"))
                 .toString(),
             QStringLiteral("JPG||2147483647"));
}

QTEST_MAIN(tst_newobs)
#include "tst_newobs.moc"
