#include "Observadores.h"

#include "gui/ChoiceService.h"
#include "gui/Screen.h"
#include "observers/frobs.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QTableView>

class tst_frobs : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void busquedaYSeleccion();
    void cambiosRefrescanLista();
};

namespace {

QTableView *Rejilla(QWidget *f) {
    return Control<QTableView>(f, "DBObs");
}

QStringList Codigos(QWidget *f) {
    QStringList r;
    for (int i = 0; i < Rejilla(f)->model()->rowCount(); ++i)
        r << Rejilla(f)->model()->index(i, 0).data().toString();
    return r;
}
// Types both filters, clicks "Buscar" and returns the codes listed.
QStringList Filtrar(QWidget *f, const QString &codigo, const QString &nombre) {
    User::Escribir(Control<QLineEdit>(f, "Txcod"), codigo);
    User::Escribir(Control<QLineEdit>(f, "Txnom"), nombre);
    Clic(f, "CdBuscar");
    return Codigos(f);
}
void ClicFila(QWidget *f, const QString &codigo) {
    const int fila = int(Codigos(f).indexOf(codigo));
    QVERIFY2(fila >= 0, qPrintable(codigo));
    QTest::mouseClick(Rejilla(f)->viewport(), Qt::LeftButton, {},
                      Rejilla(f)->visualRect(Rejilla(f)->model()->index(fila, 0)).center());
}

// The selected observer as shown, then how many of Modificar, Suprimir and Seleccionar
// are enabled.
QString Actual(QWidget *f) {
    return Control<QLabel>(f, "Lbcode")->text() + u'|' + Control<QLineEdit>(f, "Txnomobs")->text() +
           u'|' + Control<QLineEdit>(f, "Txcognom")->text() + u'|' +
           QString::number(Control(f, "cdAct")->isEnabled() + Control(f, "CdSup")->isEnabled() +
                           Control(f, "CdSel")->isEnabled());
}

// A window standing in for an observation form with its four observer slots.
QWidget *Abridor(const QString &nombre) {
    auto *w = new QWidget;
    w->setObjectName(nombre);
    for (int n = 1; n <= 4; ++n) {
        (new QLineEdit(w))->setObjectName(u"Txobs%1"_s.arg(n));
        (new QLabel(w))->setObjectName(u"Lbobs%1"_s.arg(n));
    }
    Screen::MostrarHijo(w);
    return w;
}
// What an observation form gives the list: the slot it fills with the choice.
frobs::AlElegir Ranura(QWidget *w, int n) {
    return [w, n](const QString &codigo, const QString &nombre) {
        Control<QLineEdit>(w, u"Txobs%1"_s.arg(n))->setText(codigo);
        Control<QLabel>(w, u"Lbobs%1"_s.arg(n))->setText(nombre);
    };
}
QStringList Ranuras(QWidget *w) {
    QStringList r;
    for (int n = 1; n <= 4; ++n)
        r << Control<QLineEdit>(w, u"Txobs%1"_s.arg(n))->text() + u'|' +
                 Control<QLabel>(w, u"Lbobs%1"_s.arg(n))->text();
    return r;
}

} // namespace

void tst_frobs::cleanup() {
    ChoiceService::Restablecer();
    for (QWidget *w : QApplication::topLevelWidgets())
        w->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_frobs::busquedaYSeleccion() {
    TestDatabase bd;
    Poblar(bd);
    frobs f;
    f.show();
    QCOMPARE(Codigos(&f), QStringList({"ALV75", "JPG1980", "ONE61", "ROD90", "X_1", "XA1"}));
    QCOMPARE(Actual(&f), u"|||0"_s);
    // The selection follows the row clicked or reached with the keys.
    ClicFila(&f, "JPG1980");
    QCOMPARE(Actual(&f), u"JPG1980|Juan|Pérez García|3"_s);
    QTest::keyClick(Rejilla(&f), Qt::Key_Down);
    QTest::keyClick(Rejilla(&f), Qt::Key_Down);
    QCOMPARE(Actual(&f), u"ROD90|Rodrigo||3"_s);
    // A search that still lists it keeps it; one that does not leaves none.
    Filtrar(&f, "", "o");
    QCOMPARE(Actual(&f), u"ROD90|Rodrigo||3"_s);
    Filtrar(&f, "", "ez");
    QCOMPARE(Actual(&f), u"|||0"_s);

    // The code anywhere in either case; first name or surname; both; Á is not A but its
    // case is ignored; quotes, wildcards and the escape character are text.
    QCOMPARE(Filtrar(&f, "a", ""), QStringList({"ALV75", "XA1"}));
    QCOMPARE(Filtrar(&f, "", "ez"), QStringList({"ALV75", "JPG1980", "XA1"}));
    QCOMPARE(Filtrar(&f, "A", "ez"), QStringList({"ALV75", "XA1"}));
    QCOMPARE(Filtrar(&f, "", "AN"), QStringList({"JPG1980", "X_1"}));
    QCOMPARE(Filtrar(&f, "", "álvarez"), QStringList({"ALV75"}));
    QCOMPARE(Filtrar(&f, "", "o'n"), QStringList({"ONE61"}));
    QCOMPARE(Filtrar(&f, "", "%"), QStringList());
    bd.Ejecutar(
        u"INSERT INTO observador (cod_observador, nombre, email) VALUES ('A\\B', 'N', 'm')"_s);
    QCOMPARE(Filtrar(&f, "\\", ""), QStringList({"A\\B"}));
    QCOMPARE(Filtrar(&f, "x_", ""), QStringList({"X_1"}));

    // Chosen for a slot of an observation form: the list open from the menu serves, hands
    // the observer to that slot of that window only and closes; a missing surname leaves
    // the blank.
    QPointer<QWidget> alta = Abridor("newobs"), modif = Abridor("frmodif");
    QCOMPARE(frobs::AbrirSeleccion("alta3", alta, Ranura(alta, 3)), &f);
    QVERIFY(Control(&f, "CdSel")->isVisible());
    QVERIFY(!Control(&f, "CdSel")->isEnabled());
    ClicFila(&f, "X_1");
    Clic(&f, "CdSel");
    QCOMPARE(Ranuras(alta), QStringList({"|", "|", "X_1|Ana Ruiz", "|"}));
    QVERIFY(!f.isVisible());
    QPointer<frobs> lista = frobs::AbrirSeleccion("modif1", modif, Ranura(modif, 1));
    ClicFila(lista, "ROD90");
    Clic(lista, "CdSel");
    QCOMPARE(Ranuras(modif), QStringList({"ROD90|Rodrigo ", "|", "|", "|"}));
    QCOMPARE(Ranuras(alta), QStringList({"|", "|", "X_1|Ana Ruiz", "|"}));
    QTRY_VERIFY(!lista);
}

void tst_frobs::cambiosRefrescanLista() {
    TestDatabase bd;
    Poblar(bd);
    bd.Ejecutar(u"UPDATE DefaultObs SET cd_obs = 'XA1'"_s);
    bd.Ejecutar(u"INSERT INTO observacion (observador1, observador3) VALUES ('JPG1980', 'XA1')"_s);
    frobs f;
    f.show();
    QStringList valores; // typed in the new or change form, which then saves
    ChoiceService::Prueba().dialogo = ([&](QDialog *d) {
        d->show();
        Rellenar(d, valores);
        Clic(d, Control(d, "CdIns") ? "CdIns" : "cdAct");
        return d->result();
    });
    auto suprimir = [&](QMessageBox::StandardButton respuesta) {
        MessageService::EncolarRespuesta(respuesta);
        Clic(&f, "CdSup");
    };
    Filtrar(&f, "", "ez");
    ClicFila(&f, "XA1");

    // A new observer matching the filters is listed and the current row stays current;
    // one that does not match is stored but not listed.
    valores = QStringList({"NEZ70", "Inés", "Núñez", "SHE", "i@x.es"});
    Clic(&f, "CdNou");
    QCOMPARE(Codigos(&f), QStringList({"ALV75", "JPG1980", "NEZ70", "XA1"}));
    QCOMPARE(f.codObservador(), u"XA1"_s);
    valores = QStringList({"BLA01", "Zoe", "Blanco", "SHE", "z@x.es"});
    Clic(&f, "CdNou");
    QCOMPARE(Codigos(&f).size(), 4);
    QCOMPARE(bd.Contar(u"observador"_s), 8);
    // A change that takes the observer out of the filters drops it from the list.
    ClicFila(&f, "NEZ70");
    valores = QStringList({"", "Inés", "Nuño", "SHE", "i@x.es"});
    Clic(&f, "cdAct");
    QCOMPARE(Codigos(&f), QStringList({"ALV75", "JPG1980", "XA1"}));

    // Deletion answered No: nothing deleted; the search runs again with its filters.
    ClicFila(&f, "JPG1980");
    suprimir(QMessageBox::No);
    QCOMPARE(Aviso(), u"Suprimir Factura|El Observador JPG1980 se borrará de la Base de Datos. "
                      "Continuar ? "_s);
    QCOMPARE(MessageService::Ultimo().botones, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(Codigos(&f), QStringList({"ALV75", "JPG1980", "XA1"}));
    // Yes: the default is cleared only when its observer goes; observations keep the codes.
    const QString estado = u"SELECT cd_obs || '|' || (SELECT observador1 || '|' || observador3 "
                           "FROM observacion) FROM DefaultObs"_s;
    suprimir(QMessageBox::Yes);
    QCOMPARE(Codigos(&f), QStringList({"ALV75", "XA1"}));
    QCOMPARE(bd.Valor(estado).toString(), u"XA1|JPG1980|XA1"_s);
    ClicFila(&f, "XA1");
    suprimir(QMessageBox::Yes);
    QCOMPARE(Codigos(&f), QStringList({"ALV75"}));
    QCOMPARE(bd.Valor(estado).toString(), u"|JPG1980|XA1"_s);

    // One whose code ends in a frog goes; one gone since the list was read is said to be.
    const QString rana = u"ABCDEF🐸"_s;
    bd.Ejecutar(u"INSERT INTO observador (cod_observador, email) VALUES (?, 'r@x.es')"_s, {rana});
    const QList<QPair<QString, QString>> borrados = {
        {rana, u"Suprimir Factura|El Observador "_s + rana +
                   u" se borrará de la Base de Datos. Continuar ? "_s},
        {u"ONE61"_s, u"Observador no suprimido|Error al intentar encontrar este observador en la "
                     "base de datos"_s},
    };
    for (const auto &[codigo, aviso] : borrados) {
        Filtrar(&f, "", "");
        ClicFila(&f, codigo);
        if (codigo == u"ONE61"_s)
            bd.Ejecutar(u"DELETE FROM observador WHERE cod_observador = ?"_s, {codigo});
        suprimir(QMessageBox::Yes);
        QCOMPARE(Aviso(), aviso);
        QVERIFY(!Codigos(&f).contains(codigo));
    }
    QCOMPARE(bd.Valor(u"SELECT count(*) FROM observador WHERE cod_observador = ?"_s, {rana}), 0);

    // A file that cannot be written: said so, the observer stays.
    SoloLectura(true);
    Filtrar(&f, "", "ez");
    ClicFila(&f, "ALV75");
    suprimir(QMessageBox::Yes);
    QCOMPARE(Aviso(), u"Observador no suprimido|No se puede escribir en la base de datos: el "
                      "archivo es de solo lectura."_s);
    QCOMPARE(Actual(&f), u"ALV75|Ángela|Álvarez|3"_s);
}

QTEST_MAIN(tst_frobs)
#include "tst_frobs.moc"
