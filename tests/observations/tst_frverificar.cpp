#include "Observaciones.h"
#include "support/User.h"

#include "app/principal.h"
#include "data/Clock.h"
#include "data/ModBaseDatos.h"
#include "gui/Screen.h"
#include "observations/frmodif.h"
#include "observations/frverificar.h"

#include <QAction>
#include <QCheckBox>
#include <QPointer>
#include <QPushButton>
#include <QTableView>

// The check of records as a coordinator meets it: opened from the menu, rows accepted,
// doubted and rejected by the buttons and by the keyboard, a rejection refused without its
// reason, and an accepted record put back to none by an edit on the change form.
class tst_frverificar : public QObject {
    Q_OBJECT
private slots:
    void sesion();
};

void tst_frverificar::sesion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    Observaciones o(bd);
    ModBaseDatos::setEscalaEsperas(0.0);
    QVERIFY(bd.Ejecutar(u"UPDATE DefaultObs SET cd_obs = 'ANA'"_s));
    QVERIFY(bd.Ejecutar(u"UPDATE observacion SET numejemp = 2000 WHERE id_observacion = ?"_s,
                        {o.juliana}));
    const QDateTime ahora(QDate(2026, 5, 20), QTime(9, 15, 30));
    Clock::setPrueba([&] { return ahora; });
    const QString cuando = u"ANA|2026-05-20 09:15:30"_s;
    // An observation's status, who set it, when and why.
    const QString estado = u"SELECT verificacion, verificador, fecha_verificacion, "
                           "comentario_verificacion FROM observacion WHERE id_observacion = ?"_s;

    principal p;
    p.findChild<QAction *>(u"verificar"_s)->trigger();
    QPointer<QWidget> f = Screen::BuscarFormulario(u"frverificar"_s);
    QVERIFY(f);
    auto *rejilla = Control<QTableView>(f, "DBverificar");
    auto *aceptar = Control<QPushButton>(f, "CdAceptar");
    auto *comentario = Control<QLineEdit>(f, "Txcomentario");
    // Not yet verified, by date; who verifies is the default observer; the warnings shown.
    QCOMPARE(Ids(rejilla, 0, Qt::UserRole), (QList<int>{o.alvaro, o.ana, o.juliana, o.dors}));
    QCOMPARE(Textos(f, {"Cbestado", "Cbverificador"}), u"Sin verificar|ANA"_s);
    QVERIFY(Control<QLabel>(f, "Lbpermiso")->isHidden());
    QCOMPARE(rejilla->model()->index(2, frverificar::ColAvisos).data().toString(),
             u"2000 ejemplares: más de 1000"_s);
    Control<QCheckBox>(f, "ChAvisos")->click();
    QCOMPARE(Ids(rejilla, 0, Qt::UserRole), QList<int>{o.juliana});
    Control<QCheckBox>(f, "ChAvisos")->click();
    QVERIFY(!aceptar->isEnabled()); // nothing chosen yet

    // Two rows accepted by the button: they leave the list of those not yet verified.
    Pulsar(rejilla, 0);
    QVERIFY(Control<QLabel>(f, "Lbdetalle")->text().contains(u"Observación %1"_s.arg(o.alvaro)));
    Pulsar(rejilla, 1, Qt::ControlModifier);
    MessageService::Limpiar();
    QTest::mouseClick(aceptar, Qt::LeftButton);
    QVERIFY(MessageService::Mostrados().isEmpty());
    QCOMPARE(Fila(bd, estado, {o.alvaro}), u"aceptada|%1|"_s.arg(cuando));
    QCOMPARE(Fila(bd, estado, {o.ana}), u"aceptada|%1|"_s.arg(cuando));
    QCOMPARE(Ids(rejilla, 0, Qt::UserRole), (QList<int>{o.juliana, o.dors}));
    QVERIFY(Textos(f, {"Lbcount"}).endsWith(u"2 observaciones marcadas como aceptadas."_s));

    // D on the grid asks first, giving the row; No leaves it, Yes marks it with the comment.
    Pulsar(rejilla, 0);
    User::Escribir(comentario, u"¿Seguro que 2000?"_s);
    rejilla->setFocus();
    User::Responder({QMessageBox::No});
    QTest::keyClick(rejilla, Qt::Key_D);
    QCOMPARE(Aviso(), u"¿Marcar como dudosa la observación con id: %1?"_s.arg(o.juliana));
    QCOMPARE(MessageService::Ultimo().porDefecto, QMessageBox::No);
    QCOMPARE(Fila(bd, estado, {o.juliana}), u"NULL|NULL|NULL|NULL"_s);
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    QTest::keyClick(rejilla, Qt::Key_D);
    QCOMPARE(Fila(bd, estado, {o.juliana}), u"dudosa|%1|¿Seguro que 2000?"_s.arg(cuando));
    QVERIFY(comentario->text().isEmpty());

    // A rejection needs its reason, by the button or by R; given, R asks with the count.
    QCOMPARE(Ids(rejilla, 0, Qt::UserRole), QList<int>{o.dors});
    QVERIFY(rejilla->selectionModel()->isRowSelected(0)); // the next one waits chosen
    MessageService::Limpiar();
    QTest::mouseClick(Control<QPushButton>(f, "CdRechazar"), Qt::LeftButton);
    QCOMPARE(Aviso(), u"Para rechazar una observación escriba en el comentario por qué."_s);
    QCOMPARE(Fila(bd, estado, {o.dors}), u"NULL|NULL|NULL|NULL"_s);
    User::Escribir(comentario, u"Especie desconocida"_s);
    rejilla->setFocus();
    User::Responder({QMessageBox::Yes});
    QTest::keyClick(rejilla, Qt::Key_R);
    QCOMPARE(MessageService::Mostrados().first().texto,
             u"¿Marcar como rechazada la observación con id: %1?"_s.arg(o.dors));
    QCOMPARE(Fila(bd, estado, {o.dors}), u"rechazada|%1|Especie desconocida"_s.arg(cuando));
    QCOMPARE(rejilla->model()->rowCount(), 0);

    // Every status, and then several rows by A: the count asked about.
    User::Elegir(Control<QComboBox>(f, "Cbestado"), u"Todas"_s);
    QCOMPARE(rejilla->model()->rowCount(), 4);
    QCOMPARE(rejilla->model()->index(3, frverificar::ColEstado).data().toString(), u"rechazada"_s);
    Pulsar(rejilla, 2);
    Pulsar(rejilla, 3, Qt::ShiftModifier);
    User::Responder({QMessageBox::Yes});
    QTest::keyClick(rejilla, Qt::Key_A);
    QCOMPARE(Aviso(), u"¿Marcar como aceptadas las 2 observaciones elegidas?"_s);
    QCOMPARE(Fila(bd, estado, {o.dors}), u"aceptada|%1|"_s.arg(cuando));

    // The change form says the record is accepted; an edit puts it back to none.
    frmodif *m = frmodif::Abrir(nullptr, o.ana, {});
    QVERIFY(m);
    QCOMPARE(Textos(m, {"Lbverificacion"}),
             u"Aceptada por ANA el 2026-05-20 09:15:30: si cambia algún dato volverá a quedar "
             "sin verificar."_s);
    User::Escribir(Control(m, "Txexemplars"), u"13"_s);
    MessageService::Limpiar();
    QTest::mouseClick(Control<QPushButton>(m, "Cbguardar"), Qt::LeftButton);
    QVERIFY2(Aviso().endsWith(u"Ha dejado de estar aceptada: vuelve a quedar sin verificar."_s),
             qPrintable(Aviso()));
    QCOMPARE(Fila(bd, estado, {o.ana}), u"NULL|NULL|NULL|NULL"_s);
}

QTEST_MAIN(tst_frverificar)
#include "tst_frverificar.moc"
