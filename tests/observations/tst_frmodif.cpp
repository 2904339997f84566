#include "Observaciones.h"
#include "support/User.h"

#include "data/ModBaseDatos.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "observations/frcons.h"
#include "observations/frmodif.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTimeEdit>

// The change form as a user meets it: opened from the query, loaded with every value,
// changed field by field and saved, the query refreshed; refusals and a vanished row.
class tst_frmodif : public QObject {
    Q_OBJECT
private slots:
    void sesion();

private:
    template <typename T> T *c(const char *nombre) {
        if (!f) qFatal("no change form open");
        T *w = f->findChild<T *>(QString::fromLatin1(nombre));
        if (!w) qFatal("no control %s", nombre);
        return w;
    }
    // The query's "Modificar" on the row of that observation.
    void Modificar(frcons &consulta, int id) {
        auto *rejilla = consulta.findChild<QTableView *>(u"DBObs"_s);
        for (int r = 0; r < rejilla->model()->rowCount(); ++r)
            if (rejilla->model()->index(r, 26).data().toInt() == id)
                rejilla->setCurrentIndex(rejilla->model()->index(r, 0));
        QCOMPARE(consulta.idObservacion(), QString::number(id));
        QTest::mouseClick(consulta.findChild<QPushButton *>(u"Command1"_s), Qt::LeftButton);
        f = qobject_cast<frmodif *>(Screen::BuscarFormulario(u"frmodif"_s));
    }
    void Guardar() { QTest::mouseClick(c<QPushButton>("Cbguardar"), Qt::LeftButton); }
    QSqlRecord Fila(const TestDatabase &bd, int id) {
        QSqlQuery q(bd.db());
        q.exec(u"SELECT * FROM observacion WHERE id_observacion = %1"_s.arg(id));
        return q.next() ? q.record() : QSqlRecord();
    }
    QString Texto(const char *lista) { return c<QComboBox>(lista)->currentText(); }

    QPointer<frmodif> f;
};

void tst_frmodif::sesion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    QVERIFY(bd.ok());
    ModBaseDatos::setEscalaEsperas(0);
    Observaciones o(bd);
    frcons consulta;
    consulta.show();

    // An observation with nothing chosen: one more observer, empty times, reason, number
    // and coordinates; its locality's place shown.
    Modificar(consulta, o.juliana);
    QVERIFY(f);
    QVERIFY(MessageService::Mostrados().isEmpty());
    QCOMPARE(c<QLabel>("Lbnumobs")->text(), QString::number(o.juliana));
    QCOMPARE(c<QLineEdit>("Txobs1")->text(), u"JUL"_s);
    QCOMPARE(c<QLabel>("Lbobs1")->text(), u"Juliana Ruiz"_s);
    QCOMPARE(c<QLabel>("Lbobs2")->text(), u"Ana Pérez"_s);
    for (const char *vacio : {"Txobs3", "Txobs4", "Txexemplars", "Txlong", "Txlat", "Txdesc"})
        QVERIFY2(c<QLineEdit>(vacio)->text().isEmpty(), vacio);
    QVERIFY(c<QLabel>("Lbobs3")->text().isEmpty());
    QCOMPARE(c<QTimeEdit>("Txhini")->time(), QTime(0, 0));
    QCOMPARE(c<QTimeEdit>("Txhfi")->time(), QTime(0, 0));
    QCOMPARE(Texto("Cbmotivo"), u" "_s);
    for (const char *lista : {"Cbperiodo", "Cbmeteo", "Cbvents", "Cbestadio", "Cbhabitat"})
        QVERIFY2(Texto(lista).isEmpty(), lista);
    QCOMPARE(c<QDateEdit>("Txdata")->date(), QDate(2008, 6, 1));
    QCOMPARE(Texto("Cbespecie"), u"VIPLAT - Vipera latastei"_s);
    QCOMPARE(c<QLabel>("Lbespecie")->text(), u"Víbora hocicuda"_s);
    QCOMPARE(Texto("Cbloc"), u"Fuente d'Ávila"_s);
    QCOMPARE((QStringList{Texto("Cbprov"), Texto("Cbmuni"), Texto("cb10k"), Texto("Cbhuso")}),
             (QStringList{u"Ávila"_s, u"Ávila"_s, u"UK59"_s, u"30"_s}));
    QVERIFY(!c<QComboBox>("Cbprov")->isEnabled() && c<QLineEdit>("Txlong")->isReadOnly());

    // Saved unchanged: every column as it was, the success said, the form closed.
    const QSqlRecord antes = Fila(bd, o.juliana);
    Guardar();
    QCOMPARE(MessageService::Ultimo().texto,
             u"Se ha modificado la observación en la base de datos"_s);
    const QSqlRecord despues = Fila(bd, o.juliana);
    // As shown: the blank reason entry, and no time as 00:00 (as newobs stores it).
    const QStringList comoSeMuestran = {u"motivo"_s, u"horaini"_s, u"horafin"_s};
    for (int i = 0; i < antes.count(); ++i)
        if (!comoSeMuestran.contains(antes.fieldName(i)))
            QCOMPARE(despues.value(i), antes.value(i));
    QCOMPARE(despues.value(u"motivo"_s).toString(), u" "_s);
    QCOMPARE(despues.value(u"horaini"_s).toString(), u"00:00"_s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!f);

    // Asked for another observation while open: the same form reloads with it.
    Modificar(consulta, o.alvaro);
    QPointer<frmodif> primera = f;
    Modificar(consulta, o.ana);
    QCOMPARE(f, primera);
    QCOMPARE(c<QLabel>("Lbnumobs")->text(), QString::number(o.ana));
    QCOMPARE(Texto("Cbperiodo"), u"Mañana"_s);
    QCOMPARE(c<QTimeEdit>("Txhini")->time(), QTime(10, 30));
    QCOMPARE(c<QLineEdit>("Txexemplars")->text(), u"12"_s);
    QVERIFY(c<QCheckBox>("Check1")->isChecked());
    QCOMPARE(Texto("Cbestadio"), u"Larva"_s);
    QCOMPARE(Texto("Cbmotivo"), u"Muestreo"_s);
    QCOMPARE(c<QLineEdit>("Txlong")->text(), u"440291"_s);

    // Required fields: the last one missing is named, nothing is written.
    struct Falta {
        QString observador, especie, campo;
    };
    for (const Falta &k :
         {Falta{QString(), u"BUFSPI - Bufo spinosus"_s, u"Observador"_s},
          Falta{u"ANA"_s, u"zz"_s, u"Especie"_s}, Falta{QString(), u"zz"_s, u"Observador"_s}}) {
        User::Escribir(c<QLineEdit>("Txobs1"), k.observador);
        User::SalirDe(c<QLineEdit>("Txobs1"));
        User::Escribir(c<QComboBox>("Cbespecie"), k.especie);
        User::SalirDe(c<QComboBox>("Cbespecie"));
        Guardar();
        QCOMPARE(MessageService::Ultimo().texto, u"El campo %1 es obligatorio."_s.arg(k.campo));
        QCOMPARE(MessageService::Ultimo().titulo, u"Datos incompletos"_s);
        QVERIFY(f);
    }
    QCOMPARE(Fila(bd, o.ana).value(u"observador1"_s).toString(), u"ANA"_s);

    // Every value changed, one column each; the second of two same-named localities.
    User::Escribir(c<QLineEdit>("Txobs1"), u"ana"_s);
    User::SalirDe(c<QLineEdit>("Txobs1"));
    QStringList origenes;
    ChoiceService::Prueba().observador = [&](QWidget *, const QString &origen, auto elegir) {
        origenes << origen;
        elegir(u"ALV"_s, u"Álvaro Gil"_s);
    };
    QTest::mouseClick(c<QPushButton>("Cdselobs4"), Qt::LeftButton);
    QCOMPARE(origenes, QStringList{u"modif4"_s});
    QCOMPARE(c<QLabel>("Lbobs4")->text(), u"Álvaro Gil"_s);
    c<QDateEdit>("Txdata")->setDate(QDate(2011, 4, 9));
    c<QTimeEdit>("Txhini")->setTime(QTime(9, 0));
    c<QTimeEdit>("Txhfi")->setTime(QTime(9, 40));
    User::SalirDe(c<QTimeEdit>("Txhfi"));
    User::Elegir(c<QComboBox>("Cbperiodo"), u"Tarde"_s);
    User::Elegir(c<QComboBox>("Cbmeteo"), u"Niebla"_s);
    User::Elegir(c<QComboBox>("Cbvents"), u"Bonancible (20-28)"_s);
    User::Escribir(c<QComboBox>("Cbespecie"), u"podh"_s);
    User::SalirDe(c<QComboBox>("Cbespecie"));
    QCOMPARE(c<QLabel>("Lbespecie")->text(), u"Lagartija ibérica"_s);
    User::Elegir(c<QComboBox>("Cbestadio"), u"Juvenil"_s);
    User::Escribir(c<QLineEdit>("Txexemplars"), u"0"_s);
    QTest::mouseClick(c<QCheckBox>("Check1"), Qt::LeftButton);
    User::Escribir(c<QLineEdit>("Txdesc"), u"Junto al agua"_s);
    User::Elegir(c<QComboBox>("Cbmotivo"), u"Atropello"_s);
    User::Elegir(c<QComboBox>("Cbhabitat"), u"Dehesa"_s);
    auto *localidades = c<QComboBox>("Cbloc");
    ModBaseDatos::ElegirComoUsuario(localidades, localidades->findText(u"Charca del Sol"_s) + 1);
    QCOMPARE(Texto("cb10k"), u"UK69"_s);
    Guardar();
    QCOMPARE(MessageService::Ultimo().texto,
             u"Se ha modificado la observación en la base de datos"_s);
    const QSqlRecord r = Fila(bd, o.ana);
    const QList<QPair<QString, QVariant>> columnas = {
        {u"observador1"_s, u"ANA"_s},
        {u"observador4"_s, u"ALV"_s},
        {u"fecha"_s, u"2011-04-09"_s},
        {u"horaini"_s, u"09:00"_s},
        {u"horafin"_s, u"09:40"_s},
        {u"periodo"_s, 4},
        {u"meteo"_s, 5},
        {u"viento"_s, 5},
        {u"especie"_s, u"PODHIS"_s},
        {u"estadio"_s, 13},
        {u"numejemp"_s, 0},
        {u"numaprox"_s, 0},
        {u"descripcion"_s, u"Junto al agua"_s},
        {u"motivo"_s, u"Atropello"_s},
        {u"habitat"_s, 5},
        {u"localidad"_s, u"L3"_s},
    };
    for (const auto &[columna, valor] : columnas)
        QVERIFY2(r.value(columna).toString() == valor.toString(),
                 qPrintable(columna + u": "_s + r.value(columna).toString()));
    // The query, still open, shows the change.
    auto *rejilla = consulta.findChild<QTableView *>(u"DBObs"_s);
    QStringList especies;
    for (int i = 0; i < rejilla->model()->rowCount(); ++i)
        especies << rejilla->model()->index(i, 1).data().toString();
    QCOMPARE(especies.count(u"Podarcis hispanicus"_s), 2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!f);

    // A row gone meanwhile: said so, the form stays; "Salir" writes nothing.
    Modificar(consulta, o.alvaro);
    bd.Ejecutar(u"DELETE FROM observacion WHERE id_observacion = ?"_s, {o.alvaro});
    Guardar();
    QCOMPARE(MessageService::Ultimo().texto,
             u"No se ha podido modificar la observación: La observación ya no existe en la base "
             "de datos."_s);
    QVERIFY(f && f->isVisible());
    QTest::mouseClick(c<QPushButton>("Command2"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!f);
    QCOMPARE(bd.Contar(u"observacion"_s), 3);

    // Species, locality and an observer gone: loaded empty, and so never saved in their
    // place; the observer's check says so and the loading goes on.
    bd.Ejecutar(u"UPDATE observacion SET observador3 = 'NADIE' WHERE id_observacion = ?"_s,
                {o.dors});
    MessageService::Limpiar();
    Modificar(consulta, o.dors);
    QCOMPARE(MessageService::Ultimo().texto, u"No existe ningun Observador con este código"_s);
    QVERIFY(c<QLineEdit>("Txobs3")->text().isEmpty());
    QCOMPARE(c<QLabel>("Lbobs1")->text(), u"Ánxela D'Ors"_s);
    QCOMPARE(c<QLabel>("Lbnumobs")->text(), QString::number(o.dors));
    QVERIFY(Texto("Cbespecie").isEmpty() && Texto("Cbloc").isEmpty());
    const QSqlRecord perdida = Fila(bd, o.dors);
    Guardar();
    QCOMPARE(MessageService::Ultimo().titulo, u"Datos incompletos"_s);
    QCOMPARE(Fila(bd, o.dors).value(u"especie"_s), perdida.value(u"especie"_s));
    QTest::mouseClick(c<QPushButton>("Command2"), Qt::LeftButton);

    // Not found at all: the message, and no form.
    MessageService::Limpiar();
    QVERIFY(!frmodif::Abrir(nullptr, o.alvaro, {}));
    QCOMPARE(MessageService::Ultimo().texto,
             u"Error al intentar encontrar esta observación en la base de datos"_s);
}

QTEST_MAIN(tst_frmodif)
#include "tst_frmodif.moc"
