#include "Localidades.h"

#include "gui/ChoiceService.h"
#include "localities/frloc.h"
#include "support/SheetReader.h"

#include <QDialog>
#include <QTableView>
#include <QTemporaryDir>
#include <QUrl>

class tst_frloc : public QObject {
    Q_OBJECT
private slots:
    void sesion();

private:
    static QTableView *Rejilla(QWidget *f) { return Control<QTableView>(f, u"DBloc"_s); }
    static QStringList Codigos(QWidget *f) { return Valores(Rejilla(f)->model(), 1); }
    static QPoint Celda(QWidget *f, const QString &codigo) {
        const int fila = int(Codigos(f).indexOf(codigo));
        return Rejilla(f)->visualRect(Rejilla(f)->model()->index(fila, 2)).center();
    }
    // The selected code, and whether "Modificar" is offered.
    static QString Seleccion(QWidget *f) {
        return Control<QLabel>(f, u"Lbcode"_s)->text() + u'|' +
               (Control(f, u"cdAct"_s)->isVisible() ? u"Modificar"_s : QString());
    }
};

void tst_frloc::sesion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    Poblar(bd);
    // Without a province it is not listed.
    bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad, prov, muni) "
                "VALUES ('A0', 'Sin provincia', 99, 5019)"_s);
    frloc f;
    f.show();
    QCOMPARE(Seleccion(&f), u"|"_s);

    // Code begins, name contains, both ignoring case; quotes and wildcards as typed; sorted
    // by code ignoring case.
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

    // The spreadsheet holds the last search's rows, whatever the filter fields hold now; the
    // extension is added; with nothing to open it, the user is told where it is.
    QTemporaryDir carpeta;
    QString propuesto;
    QList<QUrl> abiertas;
    ChoiceService::Prueba().archivoGuardar = [&](const QString &, const QString &p) {
        propuesto = p;
        return carpeta.filePath(u"lista d'Ávila"_s);
    };
    ChoiceService::Prueba().abrir = [&](const QUrl &u) {
        abiertas << u;
        return false;
    };
    Escribir(&f, u"Txcod"_s, u"zzz"_s);
    Clic(&f, u"Excel"_s);
    const QString ruta = carpeta.filePath(u"lista d'Ávila.xlsx"_s);
    QVERIFY2(propuesto.endsWith(QDate::currentDate().toString(u"yyyy-MM-dd"_s) + u".xlsx"_s),
             qPrintable(propuesto));
    QVERIFY(abiertas == QList<QUrl>{QUrl::fromLocalFile(ruta)} && Aviso().contains(ruta));
    const SheetReader hoja(ruta);
    QCOMPARE(hoja.Fila(3, 10), (QStringList{"ID", "CÓDIGO", "LOCALIDAD", "MUNICIPIO", "PROVINCIA",
                                            "LONGITUD", "LATITUD", "UTMHUSO", "UTM1K", "UTM10K"}));
    QCOMPARE(hoja.Fila(4, 10).mid(1), (QStringList{"AV1", "Charca del Sapo", "Ávila", "Ávila",
                                                   "358725", "4503329", "30", "UL5803", "UL50"}));
    // The last row, then two empty cells below it.
    QCOMPARE(hoja.Fila(5, 2).last() + u'#' + hoja.Fila(6, 2).join(u'|'), u"AV7#|"_s);
    QCOMPARE(hoja.formato.value(u"A4"_s) + hoja.formato.value(u"F4"_s) +
                 hoja.formato.value(u"H4"_s),
             u"0@0"_s);

    // A folder that cannot be written: said so, in the user's words.
    ChoiceService::Prueba().archivoGuardar = [&](const QString &, const QString &) {
        return carpeta.filePath(u"no/existe.xlsx"_s);
    };
    Clic(&f, u"Excel"_s);
    QVERIFY2(
        Aviso().startsWith(u"Exportar a MS Excel|No se ha podido escribir la hoja de cálculo "_s),
        qPrintable(Aviso()));
}

QTEST_MAIN(tst_frloc)
#include "tst_frloc.moc"
