#include "Localidades.h"

#include "gui/ChoiceService.h"
#include "localities/frloc.h"

#include <QDialog>
#include <QLabel>
#include <QTableView>

class tst_frloc : public QObject {
    Q_OBJECT
private slots:
    void sesion();
};

namespace {

QTableView *Rejilla(QWidget *f) {
    return Control<QTableView>(f, u"DBloc"_s);
}
QStringList Codigos(QWidget *f) {
    QStringList r;
    for (int i = 0; i < Rejilla(f)->model()->rowCount(); ++i)
        r << Rejilla(f)->model()->index(i, 1).data().toString();
    return r;
}
QPoint Celda(QWidget *f, const QString &codigo) {
    const int fila = int(Codigos(f).indexOf(codigo));
    return Rejilla(f)->visualRect(Rejilla(f)->model()->index(fila, 2)).center();
}
// The selected code, and whether "Modificar" is offered.
QString Seleccion(QWidget *f) {
    return Control<QLabel>(f, u"Lbcode"_s)->text() + u'|' +
           (Control(f, u"cdAct"_s)->isVisible() ? u"Modificar"_s : QString());
}

} // namespace

void tst_frloc::sesion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    Poblar(bd);
    // Without a province it is not listed.
    bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad, prov, muni) "
                "VALUES ('A0', 'Sin provincia', 99, 5019)"_s);
    frloc f;
    f.show();
    QCOMPARE(Codigos(&f), (QStringList{"aM2", "AV1", "BA2", "MA'1"}));
    QCOMPARE(Seleccion(&f), u"|"_s);

    // Code begins, name contains, both ignoring case; quotes and wildcards as typed.
    const QList<QPair<QStringList, QStringList>> busquedas = {
        {{"A", ""}, {"aM2", "AV1"}},
        {{"", "a"}, {"aM2", "AV1", "BA2", "MA'1"}},
        {{"a", "SAPO"}, {"AV1"}},
        {{"ma'", ""}, {"MA'1"}},
        {{"", "D'á"}, {"BA2"}},
        {{"%", ""}, {}},
        {{"", "_"}, {}},
        {{"", ""}, {"aM2", "AV1", "BA2", "MA'1"}},
    };
    for (const auto &[filtros, codigos] : busquedas) {
        Escribir(&f, u"Txcod"_s, filtros[0]);
        Escribir(&f, u"Txnom"_s, filtros[1]);
        Clic(&f, u"CdBuscar"_s);
        QCOMPARE(Codigos(&f), codigos);
    }

    // A row selected offers its change; a search without rows hides it.
    QTest::mouseClick(Rejilla(&f)->viewport(), Qt::LeftButton, {}, Celda(&f, u"BA2"_s));
    QCOMPARE(Seleccion(&f), u"BA2|Modificar"_s);
    Escribir(&f, u"Txcod"_s, u"Z"_s);
    Clic(&f, u"CdBuscar"_s);
    QCOMPARE(Seleccion(&f), u"|"_s);

    // A double click opens the change of that locality; a new locality stored shows up under
    // the filter that stands.
    QStringList abiertos;
    ChoiceService::Prueba().dialogo = [&](QDialog *d) {
        abiertos << d->objectName() + u'|' + d->findChild<QLabel *>(u"Lbcode"_s)->text();
        if (d->objectName() == u"frinsLoc"_s)
            bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad, prov, muni) "
                        "VALUES ('AV7', 'Nava', 5, 5019)"_s);
        return int(QDialog::Accepted);
    };
    Escribir(&f, u"Txcod"_s, u"av"_s);
    Clic(&f, u"CdBuscar"_s);
    QTest::mouseClick(Rejilla(&f)->viewport(), Qt::LeftButton, {}, Celda(&f, u"AV1"_s));
    QTest::mouseDClick(Rejilla(&f)->viewport(), Qt::LeftButton, {}, Celda(&f, u"AV1"_s));
    Clic(&f, u"CdNou"_s);
    QCOMPARE(abiertos, (QStringList{u"frmodifloc|AV1"_s, u"frinsLoc|código"_s}));
    QCOMPARE(Codigos(&f), (QStringList{"AV1", "AV7"}));
}

QTEST_MAIN(tst_frloc)
#include "tst_frloc.moc"
