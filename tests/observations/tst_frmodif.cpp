#include "Observaciones.h"
#include "support/User.h"

#include "gui/ChoiceService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "observations/frcons.h"
#include "observations/frmodif.h"
#include "photos/FotosPrueba.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimeEdit>

// The change form as a user meets it: opened from the query, loaded with every value,
// changed field by field and saved, the query refreshed; refusals and a vanished row.
class tst_frmodif : public QObject {
    Q_OBJECT
private slots:
    void sesion();
    void repetida();
    void cambiadaPorOtro();

private:
    template <typename T = QWidget> T *c(const char *nombre) { return Control<T>(f, nombre); }
    // The query's "Modificar" on the row of that observation.
    void Modificar(frcons &consulta, int id) {
        auto *rejilla = consulta.findChild<QTableView *>(u"DBObs"_s);
        Pulsar(rejilla, Ids(rejilla, ObservationStore::ColumnaId()).indexOf(id));
        QCOMPARE(consulta.idObservacion(), id);
        QTest::mouseClick(consulta.findChild<QPushButton *>(u"Command1"_s), Qt::LeftButton);
        f = qobject_cast<frmodif *>(Screen::BuscarFormulario(u"frmodif"_s));
    }
    // The message the click raised, or nothing; its questions answered as given.
    QString Guardar(std::initializer_list<QMessageBox::StandardButton> respuestas = {}) {
        User::Responder(respuestas);
        QTest::mouseClick(c<QPushButton>("Cbguardar"), Qt::LeftButton);
        return Aviso();
    }
    QSqlRecord Registro(const TestDatabase &bd, int id) {
        QSqlQuery q(bd.db());
        q.exec(u"SELECT * FROM observacion WHERE id_observacion = %1"_s.arg(id));
        return q.next() ? q.record() : QSqlRecord();
    }

    QPointer<frmodif> f;
};

void tst_frmodif::sesion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    Observaciones o(bd);
    // A locality whose square is the blank entry.
    QVERIFY(bd.Ejecutar(u"UPDATE localidad SET utm10k = ' ' WHERE cod_localidad = 'L2'"_s));
    frcons consulta;
    consulta.show();

    // An observation with nothing chosen: one more observer, and its locality's place shown,
    // not entered; what was never chosen shows as nothing.
    Modificar(consulta, o.juliana);
    QVERIFY2(MessageService::Mostrados().isEmpty(), qPrintable(Aviso()));
    QCOMPARE(
        Textos(f, {"Lbnumobs", "Txobs1", "Lbobs1", "Lbobs2", "Cbespecie", "Lbespecie"}),
        u"%1|JUL|Juliana Ruiz|Ana Pérez|VIPLAT - Vipera latastei|Víbora hocicuda"_s.arg(o.juliana));
    QCOMPARE(Textos(f, {"Cbloc", "Cbprov", "Cbmuni", "cb10k", "Cbhuso", "Cbmotivo"}),
             u"Fuente d'Ávila|Ávila|Ávila| |30| "_s);
    QVERIFY(!c("Cbprov")->isEnabled() && c<QLineEdit>("Txlong")->isReadOnly());
    for (const char *vacio :
         {"Txobs3", "Lbobs3", "Txobs4", "Txexemplars", "Txlong", "Txlat", "Txdesc", "Cbperiodo",
          "Cbmeteo", "Cbvents", "Cbestadio", "Cbhabitat"})
        QVERIFY2(Textos(f, {vacio}).isEmpty(), vacio);

    // Saved unchanged: every column as it was (so every value was loaded), the blank square
    // taken as a square, the success said, the form closed.
    const QSqlRecord antes = Registro(bd, o.juliana);
    QCOMPARE(Guardar(), u"Se ha modificado la observación en la base de datos"_s);
    const QSqlRecord despues = Registro(bd, o.juliana);
    // As shown: the blank reason entry, and no time as 00:00 (as newobs stores it).
    const QStringList comoSeMuestran = {u"motivo"_s, u"horaini"_s, u"horafin"_s};
    for (int i = 0; i < antes.count(); ++i)
        if (!comoSeMuestran.contains(antes.fieldName(i)))
            QCOMPARE(despues.value(i), antes.value(i));
    QCOMPARE(despues.value(u"motivo"_s).toString() + u'|' + despues.value(u"horaini"_s).toString(),
             u" |00:00"_s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!f);

    // A reason renamed since it was stored: shown as stored beside the new name, and kept by
    // the save of another change.
    QVERIFY(bd.Ejecutar(u"UPDATE motivo SET motivo_cast = 'Muestreo planificado' "
                        "WHERE motivo_cast = 'Muestreo'"_s));
    // Álvaro's has two photos: shown, the first taken away by the save.
    QList<Foto> fotos;
    for (const QString &fecha : {u"2005:02:01 10:00:00"_s, u"2005:02:01 10:05:00"_s}) {
        QString error;
        fotos << *PhotoStore::Preparar(FotosPrueba::Foto({fecha}), fecha.right(5) + u".jpg"_s, {},
                                       &error);
    }
    QVERIFY(PhotoStore().Asignar(o.alvaro, fotos));
    Modificar(consulta, o.alvaro);
    QCOMPARE(Textos(f, {"Cbmotivo"}), u"Muestreo"_s);
    QVERIFY(Items(c<QComboBox>("Cbmotivo")).contains(u"Muestreo planificado"_s));
    auto *tira = c<QListWidget>("Lsfotos");
    QCOMPARE(tira->count(), 2);
    QCOMPARE(tira->item(1)->text(), u"05:00.jpg"_s);
    tira->setCurrentRow(0);
    QTest::mouseClick(c<QPushButton>("CdQuitarFoto"), Qt::LeftButton);
    // A count of ten digits is taken whole, as newobs takes it: nothing cuts it as typed.
    User::Escribir(c<QLineEdit>("Txexemplars"), u"1000000007"_s);
    QCOMPARE(Guardar(), u"Se ha modificado la observación en la base de datos"_s);
    QCOMPARE(Fila(bd, u"SELECT motivo, numejemp FROM observacion WHERE id_observacion = ?"_s,
                  {o.alvaro}),
             u"Muestreo|1000000007"_s);
    QCOMPARE(Fila(bd, u"SELECT count(*), max(nombre), max(orden) FROM foto WHERE observacion = ?"_s,
                  {o.alvaro}),
             u"1|05:00.jpg|1"_s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Asked for another observation while open: the same form reloads with it.
    Modificar(consulta, o.alvaro);
    QPointer<frmodif> primera = f;
    Modificar(consulta, o.ana);
    QCOMPARE(f, primera);
    QCOMPARE(Textos(f, {"Lbnumobs", "Cbperiodo", "Txexemplars", "Cbestadio", "Cbmotivo", "Txlong"}),
             u"%1|Mañana|12|Larva|Muestreo|440291"_s.arg(o.ana));
    QCOMPARE(c<QTimeEdit>("Txhini")->time(), QTime(10, 30));
    QVERIFY(c<QCheckBox>("Check1")->isChecked());

    // (Required fields, named in the order the observation forms share: tst_newobs; this
    // form's refusal of a record with its species gone: below.)

    // Every value changed, one column each; the second of two same-named localities.
    User::Poner(c<QLineEdit>("Txobs1"), u"ana"_s);
    QList<QWidget *> solicitantes;
    ChoiceService::Prueba().observador = [&](QWidget *solicitante, auto elegir) {
        solicitantes << solicitante;
        elegir(u"ALV"_s, u"Álvaro Gil"_s);
    };
    QTest::mouseClick(c<QPushButton>("Cdselobs4"), Qt::LeftButton);
    QCOMPARE(solicitantes, QList<QWidget *>{f.data()});
    QCOMPARE(Textos(f, {"Lbobs4"}), u"Álvaro Gil"_s);
    c<QDateEdit>("Txdata")->setDate(QDate(2011, 4, 9));
    c<QTimeEdit>("Txhini")->setTime(QTime(9, 0));
    c<QTimeEdit>("Txhfi")->setTime(QTime(9, 40));
    User::SalirDe(c<QTimeEdit>("Txhfi"));
    User::Poner(c<QComboBox>("Cbespecie"), u"podh"_s);
    QCOMPARE(Textos(f, {"Lbespecie"}), u"Lagartija ibérica"_s);
    for (const auto &[lista, texto] :
         {std::pair{"Cbperiodo", u"Tarde"_s}, std::pair{"Cbmeteo", u"Niebla"_s},
          std::pair{"Cbvents", u"Bonancible (20-28)"_s}, std::pair{"Cbestadio", u"Juvenil"_s},
          std::pair{"Cbmotivo", u"Atropello"_s}, std::pair{"Cbhabitat", u"Dehesa"_s}})
        User::Elegir(c<QComboBox>(lista), texto);
    User::Escribir(c<QLineEdit>("Txexemplars"), u"0"_s);
    // Enter and Tab pass the digit filter: no beep, and Tab goes on to the next control.
    const int pitidos = Screen::Pitidos();
    QTest::keyClick(c<QLineEdit>("Txexemplars"), Qt::Key_Return);
    QTest::keyClick(c<QLineEdit>("Txexemplars"), Qt::Key_Tab);
    QVERIFY(!c<QLineEdit>("Txexemplars")->hasFocus());
    QCOMPARE(Screen::Pitidos(), pitidos);
    QTest::mouseClick(c<QCheckBox>("Check1"), Qt::LeftButton);
    User::Escribir(c<QLineEdit>("Txdesc"), u"Junto al agua"_s);
    auto *localidades = c<QComboBox>("Cbloc");
    ModBaseDatos::ElegirComoUsuario(localidades, localidades->findText(u"Charca del Sol"_s) + 1);
    QCOMPARE(Textos(f, {"cb10k"}), u"UK69"_s);
    QCOMPARE(Guardar(), u"Se ha modificado la observación en la base de datos"_s);
    QCOMPARE(Fila(bd,
                  u"SELECT observador1, observador4, fecha, horaini, horafin, periodo, meteo, "
                  "viento, especie, estadio, numejemp, numaprox, descripcion, motivo, habitat, "
                  "localidad FROM observacion WHERE id_observacion = ?"_s,
                  {o.ana}),
             u"ANA|ALV|2011-04-09|09:00|09:40|4|5|5|PODHIS|13|0|0|Junto al agua|Atropello|5|L3"_s);
    // The query, still open, shows the change.
    auto *lista = consulta.findChild<QTableView *>(u"DBObs"_s)->model();
    QCOMPARE(lista->match(lista->index(0, 1), Qt::DisplayRole, u"Podarcis hispanicus"_s, -1).size(),
             2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!f);

    // A row gone meanwhile: said so, the form stays; "Salir" writes nothing.
    Modificar(consulta, o.alvaro);
    bd.Ejecutar(u"DELETE FROM observacion WHERE id_observacion = ?"_s, {o.alvaro});
    QCOMPARE(Guardar(), u"No se ha podido modificar la observación: La observación ya no existe "
                        "en la base de datos."_s);
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
    QCOMPARE(Aviso() + u'|' + Textos(f, {"Lbnumobs", "Lbobs1", "Txobs3", "Cbespecie", "Cbloc"}),
             u"No existe ningun Observador con este código|%1|Ánxela D'Ors|||"_s.arg(o.dors));
    Guardar();
    QCOMPARE(MessageService::Ultimo().titulo, u"Datos incompletos"_s);
    QCOMPARE(Fila(bd, u"SELECT especie, localidad FROM observacion WHERE id_observacion = ?"_s,
                  {o.dors}),
             u"NOHAY|LX"_s);
    QTest::mouseClick(c<QPushButton>("Command2"), Qt::LeftButton);

    // Not found at all: the message, and no form.
    MessageService::Limpiar();
    QVERIFY(!frmodif::Abrir(nullptr, o.alvaro, {}));
    QCOMPARE(Aviso(), u"Error al intentar encontrar esta observación en la base de datos"_s);
}

void tst_frmodif::repetida() {
    // A change that makes an observation the same as another (species, stage, behaviour,
    // day, locality, first observer) is asked about: No keeps the form open with nothing
    // stored, Yes saves.
    TestDatabase bd(TestDatabase::Datos::Reales);
    Observaciones o(bd);
    QVERIFY(bd.Ejecutar(u"UPDATE observacion SET observador1 = 'ANA', especie = 'BUFSPI', "
                        "fecha = '2007-03-05', localidad = 'L1', estadio = 2, conducta = 1 "
                        "WHERE id_observacion = ?"_s,
                        {o.alvaro}));
    frcons consulta;
    consulta.show();
    Modificar(consulta, o.alvaro);
    const QSqlRecord antes = Registro(bd, o.alvaro);
    User::Escribir(c("Txexemplars"), u"3"_s);
    QCOMPARE(Guardar({QMessageBox::No}),
             u"Ya existe una observación de esta especie, estadio y conducta en esta "
             "localidad y fecha con el mismo observador. ¿Registrarla igualmente?"_s);
    QCOMPARE(MessageService::Ultimo().porDefecto, QMessageBox::No);
    QVERIFY(f && f->isVisible());
    QCOMPARE(Registro(bd, o.alvaro), antes);
    QCOMPARE(Guardar({QMessageBox::Yes}), u"Se ha modificado la observación en la base de datos"_s);
    QCOMPARE(Fila(bd, u"SELECT numejemp FROM observacion WHERE id_observacion = ?"_s, {o.alvaro}),
             u"3"_s);
}

void tst_frmodif::cambiadaPorOtro() {
    // Another user changes the observation while it is open here: the save refuses to
    // overwrite it, shows the other user's values, and the next save goes through.
    TestDatabase bd(TestDatabase::Datos::Reales);
    Observaciones o(bd);
    frcons consulta;
    consulta.show();
    Modificar(consulta, o.ana);
    User::Escribir(c("Txexemplars"), u"5"_s);
    QVERIFY(bd.Ejecutar(u"UPDATE observacion SET descripcion = 'Cambiada en otro programa' "
                        "WHERE id_observacion = ?"_s,
                        {o.ana}));
    QCOMPARE(Guardar(),
             u"La observación ha sido modificada por otro usuario desde que se abrió."_s);
    QVERIFY(f && f->isVisible());
    QCOMPARE(Fila(bd, u"SELECT numejemp, descripcion FROM observacion WHERE id_observacion = ?"_s,
                  {o.ana}),
             u"12|Cambiada en otro programa"_s);
    QCOMPARE(Textos(f, {"Txexemplars"}), u"12"_s);
    User::Escribir(c("Txexemplars"), u"5"_s);
    QCOMPARE(Guardar(), u"Se ha modificado la observación en la base de datos"_s);
    QCOMPARE(Fila(bd, u"SELECT numejemp, descripcion FROM observacion WHERE id_observacion = ?"_s,
                  {o.ana}),
             u"5|Cambiada en otro programa"_s);
}

QTEST_MAIN(tst_frmodif)
#include "tst_frmodif.moc"
