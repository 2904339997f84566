#include "Observadores.h"

#include "gui/ChoiceService.h"
#include "observers/frobs.h"

#include <QDialog>
#include <QPointer>
#include <QTableView>

class tst_frobs : public QObject {
    Q_OBJECT
private slots:
    void sesion();

private:
    static QTableView *Rejilla(QWidget *f) { return Control<QTableView>(f, "DBObs"); }
    static QStringList Codigos(QWidget *f) { return Valores(Rejilla(f)->model(), 0); }
    // Types both filters, clicks "Buscar" and returns the codes listed.
    static QStringList Filtrar(QWidget *f, const QString &codigo, const QString &nombre) {
        User::Escribir(Control<QLineEdit>(f, "Txcod"), codigo);
        User::Escribir(Control<QLineEdit>(f, "Txnom"), nombre);
        Clic(f, "CdBuscar");
        return Codigos(f);
    }
    static void ClicFila(QWidget *f, const QString &codigo) {
        const int fila = int(Codigos(f).indexOf(codigo));
        QVERIFY2(fila >= 0, qPrintable(codigo));
        QTest::mouseClick(Rejilla(f)->viewport(), Qt::LeftButton, {},
                          Rejilla(f)->visualRect(Rejilla(f)->model()->index(fila, 0)).center());
    }
    // The selected observer as shown, then how many of Modificar, Suprimir and Seleccionar
    // are enabled.
    static QString Actual(QWidget *f) {
        return Textos(f, {"Lbcode", "Txnomobs", "Txcognom"}) + u'|' +
               QString::number(Control(f, "cdAct")->isEnabled() + Control(f, "CdSup")->isEnabled() +
                               Control(f, "CdSel")->isEnabled());
    }
};

void tst_frobs::sesion() {
    TestDatabase bd;
    Poblar(bd);
    bd.Ejecutar(
        u"INSERT INTO observador (cod_observador, nombre, email) VALUES ('A\\B', 'N', 'm')"_s);
    frobs f;
    f.show();
    QCOMPARE(Actual(&f), u"|||0"_s);

    // The code anywhere in either case; first name or surname; both; Á is not A but its
    // case is ignored; quotes, wildcards and the escape character are text.
    const QList<QPair<QStringList, QStringList>> busquedas = {
        {{"a", ""}, {"A\\B", "ALV75", "XA1"}},
        {{"", "ez"}, {"ALV75", "JPG1980", "XA1"}},
        {{"A", "ez"}, {"ALV75", "XA1"}},
        {{"", "AN"}, {"JPG1980", "X_1"}},
        {{"", "álvarez"}, {"ALV75"}},
        {{"", "o'n"}, {"ONE61"}},
        {{"", "%"}, {}},
        {{"\\", ""}, {"A\\B"}},
        {{"x_", ""}, {"X_1"}},
    };
    for (const auto &[filtros, codigos] : busquedas)
        QCOMPARE(Filtrar(&f, filtros[0], filtros[1]), codigos);

    // The selection follows the row clicked or reached with the keys; a search that still
    // lists it keeps it, one that does not leaves none.
    Filtrar(&f, "", "");
    ClicFila(&f, "JPG1980");
    QCOMPARE(Actual(&f), u"JPG1980|Juan|Pérez García|3"_s);
    QTest::keyClick(Rejilla(&f), Qt::Key_Down);
    QTest::keyClick(Rejilla(&f), Qt::Key_Down);
    QCOMPARE(Actual(&f), u"ROD90|Rodrigo||3"_s);
    Filtrar(&f, "", "o");
    QCOMPARE(Actual(&f), u"ROD90|Rodrigo||3"_s);
    Filtrar(&f, "", "ez");
    QCOMPARE(Actual(&f), u"|||0"_s);

    // A new observer matching the filters is listed and the current row stays current; one
    // that does not match is stored but not listed; a change that takes one out of the
    // filters drops it from the list.
    QStringList valores; // typed in the new or change form, which then saves
    ChoiceService::Prueba().dialogo = ([&](QDialog *d) {
        d->show();
        Rellenar(d, valores);
        Clic(d, d->findChild<QWidget *>(u"CdIns"_s) ? "CdIns" : "cdAct");
        return d->result();
    });
    ClicFila(&f, "XA1");
    valores = QStringList({"NEZ70", "Inés", "Núñez", "SHE", "i@x.es"});
    Clic(&f, "CdNou");
    QCOMPARE(Codigos(&f).join(u' ') + u'|' + f.codObservador(), u"ALV75 JPG1980 NEZ70 XA1|XA1"_s);
    valores = QStringList({"BLA01", "Zoe", "Blanco", "SHE", "z@x.es"});
    Clic(&f, "CdNou");
    QCOMPARE(u"%1|%2"_s.arg(Codigos(&f).size()).arg(bd.Contar(u"observador"_s)), u"4|9"_s);
    ClicFila(&f, "NEZ70");
    valores = QStringList({"", "Inés", "Nuño", "SHE", "i@x.es"});
    Clic(&f, "cdAct");
    QCOMPARE(Codigos(&f), QStringList({"ALV75", "JPG1980", "XA1"}));

    // Deletion answered No: nothing deleted; the search runs again with its filters. Yes: the
    // default is cleared only when its observer goes; observations keep the codes. A code
    // ending in a frog goes; one gone since the list was read is said to be.
    bd.Ejecutar(u"UPDATE DefaultObs SET cd_obs = 'XA1'"_s);
    bd.Ejecutar(u"INSERT INTO observacion (observador1, observador3) VALUES ('JPG1980', 'XA1')"_s);
    const QString rana = u"ABCDEF🐸"_s;
    bd.Ejecutar(u"INSERT INTO observador (cod_observador, email) VALUES (?, 'r@x.es')"_s, {rana});
    const QString pregunta = u"Suprimir Factura|El Observador %1 se borrará de la Base de Datos. "
                             "Continuar ? "_s;
    const QString estado = u"SELECT cd_obs || '|' || (SELECT observador1 || '|' || observador3 "
                           "FROM observacion) FROM DefaultObs"_s;
    const QList<QStringList> borrados = {
        // filters, code, answer, codes listed after, the default and the observation's two
        {"", "ez", "JPG1980", "No", "ALV75 JPG1980 XA1", "XA1|JPG1980|XA1"},
        {"", "ez", "JPG1980", "Yes", "ALV75 XA1", "XA1|JPG1980|XA1"},
        {"", "ez", "XA1", "Yes", "ALV75", "|JPG1980|XA1"},
        {rana, "", rana, "Yes", "", "|JPG1980|XA1"},
        {"ONE", "", "ONE61", "Yes", "", "|JPG1980|XA1"}, // deleted meanwhile
    };
    for (const QStringList &b : borrados) {
        Filtrar(&f, b[0], b[1]);
        ClicFila(&f, b[2]);
        const bool ido = b[2] == u"ONE61"_s;
        if (ido) bd.Ejecutar(u"DELETE FROM observador WHERE cod_observador = 'ONE61'"_s);
        MessageService::EncolarRespuesta(b[3] == u"Yes"_s ? QMessageBox::Yes : QMessageBox::No);
        Clic(&f, "CdSup");
        QCOMPARE(Aviso(), ido ? u"Observador no suprimido|Error al intentar encontrar este "
                                "observador en la base de datos"_s
                              : pregunta.arg(b[2]));
        if (!ido) QCOMPARE(MessageService::Ultimo().botones, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(Codigos(&f).join(u' '), b[4]);
        QCOMPARE(bd.Valor(estado).toString(), b[5]);
    }

    // A file that cannot be written: said so, the observer stays.
    SoloLectura(true);
    Filtrar(&f, "", "ez");
    ClicFila(&f, "ALV75");
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    Clic(&f, "CdSup");
    QCOMPARE(Aviso(), u"Observador no suprimido|No se puede escribir en la base de datos: el "
                      "archivo es de solo lectura."_s);
    QCOMPARE(Actual(&f), u"ALV75|Ángela|Álvarez|3"_s);

    // Chosen for a slot of an observation form: the list open from the menu serves, hands
    // the observer to the slot that asked only, and closes; a missing surname leaves the
    // blank.
    QStringList elegidos;
    const auto ranura = [&](const QString &r) -> frobs::AlElegir {
        return [&elegidos, r](const QString &c, const QString &n) {
            elegidos << r + u':' + c + u'|' + n;
        };
    };
    QWidget alta, modif;
    QCOMPARE(frobs::AbrirSeleccion(&alta, ranura(u"alta3"_s)), &f);
    QVERIFY(Control(&f, "CdSel")->isVisible());
    Filtrar(&f, "", "");
    ClicFila(&f, "X_1");
    Clic(&f, "CdSel");
    QVERIFY(!f.isVisible());
    QPointer<frobs> lista = frobs::AbrirSeleccion(&modif, ranura(u"modif1"_s));
    ClicFila(lista, "ROD90");
    Clic(lista, "CdSel");
    QCOMPARE(elegidos, QStringList({"alta3:X_1|Ana Ruiz", "modif1:ROD90|Rodrigo "}));
    QTRY_VERIFY(!lista);
}

QTEST_MAIN(tst_frobs)
#include "tst_frobs.moc"
