#include "Observaciones.h"
#include "support/User.h"

#include "observations/frmotivos.h"
#include "observations/newobs.h"

#include <QApplication>

// The reasons grid kept as a user keeps it: typing into cells, moving between rows,
// the Delete key, closing; then the observation form that lists the reasons.
class tst_frmotivos : public QObject {
    Q_OBJECT
private slots:
    void mantenimiento();
};

namespace {

QTableView *Rejilla(QWidget *f) {
    return Control<QTableView>(f, "DBmot");
}

void Ir(QWidget *f, int fila, int columna = 1) {
    QTableView *t = Rejilla(f);
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {},
                      t->visualRect(t->model()->index(fila, columna)).center());
    // A refused row takes the cursor back once the click is over.
    QCoreApplication::processEvents();
}

// Types into a cell through its editor and, unless told not to, confirms with Enter.
void Teclear(QWidget *f, int fila, int columna, const QString &texto, bool confirmar = true) {
    Ir(f, fila, columna);
    QTest::keyClick(Rejilla(f), Qt::Key_F2);
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor && Rejilla(f)->isAncestorOf(editor));
    User::Escribir(editor, texto);
    if (!confirmar) return;
    QTest::keyClick(editor, Qt::Key_Return);
    // Enter takes the text once the editor has handled the key.
    QCoreApplication::processEvents();
}

QString Celdas(QWidget *f, int fila) {
    return ::Celdas(Rejilla(f)->model()).value(fila);
}

// The stored reasons, those of the identifiers given or all.
QString Guardados(const TestDatabase &bd, const QString &ids = u"id_motivo"_s) {
    return Fila(bd, u"SELECT group_concat(id_motivo || '|' || motivo_cast || '|' || "
                    "coalesce(descripcion, ''), '/') FROM (SELECT * FROM motivo "
                    "WHERE id_motivo IN (%1) ORDER BY id_motivo)"_s.arg(ids));
}

} // namespace

void tst_frmotivos::mantenimiento() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    bd.Ejecutar(u"INSERT INTO observacion (fecha, motivo) VALUES ('2008-02-15', 'Atropello')"_s);
    frmotivos f;
    f.show();
    QApplication::setActiveWindow(&f);
    Rejilla(&f)->setFocus();
    QCOMPARE(Celdas(&f, 8), u"||"_s); // after the eight reasons, the empty row

    // A new reason in the empty row: its identifier is generated when the row is left.
    Teclear(&f, 8, 1, u"Fotografía"_s);
    Teclear(&f, 8, 2, u"Foto; con GPS"_s);
    Ir(&f, 0);
    QCOMPARE(Celdas(&f, 8), u"9|Fotografía|Foto; con GPS"_s);
    QCOMPARE(Celdas(&f, 9), u"||"_s);

    // Refused rows are named and kept to correct; the cursor goes back to them.
    const struct {
        QString id, motivo, aviso;
    } casos[] = {
        {u"3"_s, u"Otro"_s, u"Ya existe un motivo con el identificador 3."_s},
        {u"abc"_s, u"Otro"_s, u"El identificador «abc» no es válido"_s},
        {u"-4"_s, u"Otro"_s, u"El identificador «-4» no es válido"_s},
        {u"30"_s, u""_s, u"El motivo no puede quedar vacío"_s},
        {u""_s, u"muestreo"_s, u"Ya existe el motivo «muestreo»."_s},
    };
    const QString antes = Guardados(bd);
    for (const auto &c : casos) {
        MessageService::Limpiar();
        Teclear(&f, 9, 0, c.id);
        Teclear(&f, 9, 1, c.motivo);
        Ir(&f, 2);
        QVERIFY2(Aviso().startsWith(c.aviso), qPrintable(Aviso()));
        QCOMPARE(Rejilla(&f)->currentIndex().row(), 9);
        QCOMPARE(Celdas(&f, 9), c.id + u'|' + c.motivo + u'|');
        QCOMPARE(Guardados(bd), antes);
        // Delete on the new row drops what was typed there, without a question.
        QTest::keyClick(Rejilla(&f), Qt::Key_Delete);
        QCOMPARE(Celdas(&f, 9), u"||"_s);
    }
    MessageService::Limpiar();
    Teclear(&f, 9, 0, u"20"_s);
    Teclear(&f, 9, 1, u"Otro"_s);
    Ir(&f, 0);
    QCOMPARE(Aviso(), QString());
    QCOMPARE(Celdas(&f, 9), u"20|Otro|"_s);

    // A cell changed in place; an identifier changed to a taken one is refused.
    Teclear(&f, 0, 1, u"Muestreo sistemático"_s);
    Ir(&f, 3);
    Teclear(&f, 3, 0, u"20"_s);
    Ir(&f, 4);
    QCOMPARE(Aviso(), u"Ya existe un motivo con el identificador 20."_s);
    Teclear(&f, 3, 0, u"4"_s);
    Ir(&f, 4);

    // Delete asks; a reason that observations hold stays.
    MessageService::EncolarRespuesta(QMessageBox::No);
    Ir(&f, 7);
    QTest::keyClick(Rejilla(&f), Qt::Key_Delete);
    QCOMPARE(Celdas(&f, 7), u"8|Cita bibliográfica|Dato tomado de una publicación"_s);
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    QTest::keyClick(Rejilla(&f), Qt::Key_Delete);
    QCOMPARE(MessageService::Mostrados().last().texto,
             u"El motivo «Cita bibliográfica» se borrará de la base de datos. ¿Continuar?"_s);
    QCOMPARE(Celdas(&f, 7), u"9|Fotografía|Foto; con GPS"_s);
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    Ir(&f, 2);
    QTest::keyClick(Rejilla(&f), Qt::Key_Delete);
    QCOMPARE(Aviso(), u"El motivo «Atropello» figura en una observación: no se puede eliminar "
                      "mientras alguna observación lo tenga."_s);

    // A refused row keeps the window open unless the user gives the change up.
    Teclear(&f, 9, 0, u"3"_s);
    Teclear(&f, 9, 1, u"Repetido"_s);
    MessageService::EncolarRespuesta(QMessageBox::No);
    QVERIFY(!f.close());
    QCOMPARE(MessageService::Ultimo().texto,
             u"Este cambio no se ha guardado. ¿Cerrar de todos modos y perderlo?"_s);
    QTest::keyClick(Rejilla(&f), Qt::Key_Delete);

    // A change still in its cell's editor is stored when the window is closed.
    Teclear(&f, 6, 2, u"Trasladado a lugar seguro"_s, false);
    QVERIFY(f.close());
    QCOMPARE(Guardados(bd, u"1, 3, 4, 7, 8, 9, 20"_s),
             u"1|Muestreo sistemático|Muestreo planificado de una zona o transecto/"
             "3|Atropello|Ejemplar atropellado en una carretera o camino/"
             "4|Seguimiento|Visita periódica a una población o punto de reproducción/"
             "7|Rescate|Trasladado a lugar seguro/9|Fotografía|Foto; con GPS/20|Otro|"_s);
    QCOMPARE(bd.Contar(u"motivo"_s), 9);

    // The observation forms opened afterwards offer the reasons as they now stand.
    newobs o;
    const QStringList items = Items(Control<QComboBox>(&o, "Cbmotivo"));
    QVERIFY(items.contains(u"Fotografía"_s) && items.contains(u"Muestreo sistemático"_s));
    QVERIFY(!items.contains(u"Cita bibliográfica"_s) && !items.contains(u"Muestreo"_s));
}

QTEST_MAIN(tst_frmotivos)
#include "tst_frmotivos.moc"
