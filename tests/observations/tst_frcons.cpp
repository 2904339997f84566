#include "Observaciones.h"
#include "support/Files.h"
#include "support/SheetReader.h"
#include "support/User.h"

#include "data/ModConex.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Progreso.h"
#include "observations/frcons.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>

// The query as a user meets it: filters typed and chosen, dates typed and picked, rows
// deleted and exported, on observations stored through the stores.
class tst_frcons : public QObject {
    Q_OBJECT
private slots:
    void sesion();

private:
    template <typename T = QWidget> T *c(const char *nombre) { return Control<T>(f, nombre); }
    QList<int> Ids() { return ::Ids(c<QTableView>("DBObs"), ObservationStore::ColumnaId()); }
    void Elegir(const char *lista, const QString &texto) {
        User::Elegir(c<QComboBox>(lista), texto);
    }
    void Filtrar() { QTest::mouseClick(c<QPushButton>("CdBuscar"), Qt::LeftButton); }
    void SinFiltros() {
        for (const char *campo : {"Txdini", "Txdfin", "Cbobs", "Cbesp"})
            User::Poner(c(campo), QString());
        for (const char *lista : {"cb10k", "Cbprov", "Cbloc"})
            Elegir(lista, u" "_s);
    }

    frcons *f = nullptr;
};

void tst_frcons::sesion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    Observaciones o(bd);
    frcons consulta;
    f = &consulta;
    consulta.show();

    // Every observation, those with unchosen or missing values included, by date.
    QCOMPARE(Ids(), (QList<int>{o.alvaro, o.ana, o.juliana, o.dors}));
    QCOMPARE(Textos(f, {"Lbcount"}), u"Número de Registros : 4"_s);
    auto *rejilla = c<QTableView>("DBObs");
    auto *modelo = rejilla->model();
    const QStringList filas = Celdas(modelo);
    QCOMPARE(filas[1].section(u'|', 0, 4),
             u"2007-03-05|Bufo spinosus|Larva|En reposo|Charca del Sol"_s);
    // Juliana's period, weather, wind, stage, behaviour, habitat unchosen; her province;
    // D'Ors's species, which is gone.
    const QStringList juliana = filas[2].split(u'|');
    QCOMPARE(QStringList({juliana[2], juliana[3], juliana[16], juliana[23], juliana[24],
                          juliana[25], juliana[10], filas[3].section(u'|', 1, 1)})
                 .join(u'|'),
             u"||||||Ávila|"_s);
    auto *delegado = static_cast<QStyledItemDelegate *>(rejilla->itemDelegateForColumn(0));
    QCOMPARE(delegado->displayText(modelo->index(1, 0).data(), QLocale()), u"05/03/2007"_s);
    QCOMPARE(consulta.idObservacion(), o.alvaro);
    // Thirty columns do not fit: a date, a coordinate and a square stay whole, and the grid
    // scrolls sideways to the rest.
    QApplication::processEvents();
    for (const auto &[col, texto] :
         {std::pair{0, u"05/03/2007"_s}, std::pair{6, u"4474254"_s}, std::pair{9, u"VK4074"_s}})
        QVERIFY2(rejilla->columnWidth(col) > rejilla->fontMetrics().horizontalAdvance(texto),
                 qPrintable(texto));
    QVERIFY(rejilla->horizontalScrollBar()->maximum() > 0);

    // Each filter alone and combined; the blank entry is no filter. Each case's filters are in
    // the order of `campos`: the first three typed, the rest chosen.
    const char *const campos[] = {"Txdini", "Txdfin", "Cbobs", "Cbesp", "cb10k", "Cbprov", "Cbloc"};
    const QList<std::pair<QStringList, QList<int>>> casos = {
        {{u"01/01/2007"_s, {}, {}, {}, {}, {}, {}}, {o.ana, o.juliana, o.dors}},
        {{{}, u"05/03/2007"_s, {}, {}, {}, {}, {}}, {o.alvaro, o.ana}},
        {{u"01/01/2007"_s, u"31/12/2008"_s, {}, {}, {}, {}, {}}, {o.ana, o.juliana}},
        {{{}, {}, u"ana"_s, {}, {}, {}, {}}, {o.ana, o.juliana}}, // the first observer only
        {{{}, {}, u"ÁLVARO"_s, {}, {}, {}, {}}, {o.alvaro}},
        {{{}, {}, u"d'ors"_s, {}, {}, {}, {}}, {o.dors}},
        {{{}, {}, u"50%"_s, {}, {}, {}, {}}, {}},
        {{{}, {}, {}, u"BUFSPI"_s, {}, {}, {}}, {o.ana}},
        {{{}, {}, {}, {}, u"UK59"_s, {}, {}}, {o.juliana}},
        {{{}, {}, {}, {}, {}, u"Ávila"_s, {}}, {o.alvaro, o.juliana}},
        {{{}, {}, {}, {}, {}, {}, u"Fuente d'Ávila"_s}, {o.juliana}},
        {{{}, {}, {}, {}, {}, {}, u"Charca del Sol"_s}, {o.alvaro, o.ana}},
        {{{}, {}, {}, {}, {}, u"Madrid"_s, u"Charca del Sol"_s}, {o.ana}},
        {{u"01/01/2006"_s, {}, u"ana"_s, {}, {}, u"Ávila"_s, {}}, {o.juliana}},
        {{{}, {}, {}, {}, {}, u" "_s, {}}, {o.alvaro, o.ana, o.juliana, o.dors}},
    };
    for (const auto &[filtros, ids] : casos) {
        SinFiltros();
        for (int i = 0; i < 7; ++i)
            if (i < 3)
                User::Escribir(c(campos[i]), filtros[i]);
            else if (!filtros[i].isEmpty())
                Elegir(campos[i], filtros[i]);
        Filtrar();
        QVERIFY2(Ids() == ids, qPrintable(filtros.join(u'|')));
        QCOMPARE(Textos(f, {"Lbcount"}), u"Número de Registros : %1"_s.arg(ids.size()));
        // Nothing listed, nothing to change, delete or export.
        for (const char *boton : {"Command1", "CdSup", "Excel"})
            QCOMPARE(c<QPushButton>(boton)->isEnabled(), !ids.isEmpty());
    }
    QVERIFY(MessageService::Mostrados().isEmpty());
    SinFiltros();

    // A square narrows the provinces and empties the province filter.
    Elegir("Cbprov", u"Madrid"_s);
    Elegir("cb10k", u"TK66"_s);
    QCOMPARE(Textos(f, {"Cbprov"}), QString());
    QVERIFY(c<QComboBox>("Cbprov")->findText(u"Ávila"_s) > 0);
    QCOMPARE(c<QComboBox>("Cbprov")->findText(u"Madrid"_s), -1);
    Elegir("cb10k", u" "_s);
    QVERIFY(c<QComboBox>("Cbprov")->findText(u"Madrid"_s) > 0);
    QVERIFY(c<QComboBox>("Cbprov")->findText(u"Ávila"_s) <
            c<QComboBox>("Cbprov")->findText(u"Badajoz"_s)); // in Spanish order

    // Species: completed and named; a text that is no entry becomes the blank.
    for (const auto &[texto, queda] :
         {std::pair{u"vipl"_s, u"VIPLAT|Víbora hocicuda"_s}, std::pair{u"zz"_s, u" |"_s}}) {
        User::Poner(c("Cbesp"), texto);
        QCOMPARE(Textos(f, {"Cbesp", "Lbespecie"}), queda);
    }
    // A listed code whose species row is gone.
    Elegir("Cbesp", u"NOHAY"_s);
    QCOMPARE(Aviso(), u"No existe ninguna Especie con este nombre"_s);
    QCOMPARE(Textos(f, {"Cbesp"}), QString());

    // Dates typed: refused with their message, emptied, the focus back; a refused date
    // left for "Filtrar" stops that search.
    for (const auto &[texto, aviso] :
         {std::pair{u"hola"_s, u"Format incorrecte de Data."_s},
          {u"31/02/2005"_s, u"Format incorrecte de Data."_s},
          {u"1/2/2005"_s, u"Format incorrecte de Data. (DD/MM/AAAA)"_s},
          {u"01/02/2005"_s, QString()}}) {
        MessageService::Limpiar();
        User::Poner(c("Txdfin"), texto);
        // Shown: the date typed, the message, the field's text, whether it has the focus.
        const bool mal = !aviso.isEmpty();
        QCOMPARE(u"%1|%2|%3|%4"_s.arg(texto, Aviso(), Textos(f, {"Txdfin"}),
                                      c("Txdfin")->hasFocus() ? u"foco"_s : QString()),
                 u"%1|%2|%3|%4"_s.arg(texto, aviso, mal ? QString() : texto,
                                      mal ? u"foco"_s : QString()));
    }
    Filtrar();
    QCOMPARE(Ids(), QList<int>{o.alvaro}); // 1 February 2005 at the latest
    MessageService::Limpiar();
    User::Escribir(c<QLineEdit>("Txdini"), u"1/1/2009"_s);
    Filtrar();
    QCOMPARE(MessageService::Mostrados().size(), 1);
    QCOMPARE(Ids(), QList<int>{o.alvaro});

    // Dates picked in the picker the button opens, by a click on the calendar's day: as
    // dd/mm/yyyy; "Cancelar" writes nothing; each opening starts on today.
    for (const auto &[boton, dia, cancelar, queda] :
         {std::tuple{"Cdfini", QDate(2007, 3, 5), false, u"05/03/2007|01/02/2005"_s},
          std::tuple{"Cdffin", QDate(2008, 6, 1), true, u"05/03/2007|01/02/2005"_s},
          std::tuple{"Cdffin", QDate(2008, 6, 1), false, u"05/03/2007|01/06/2008"_s}}) {
        QDate alAbrir;
        ChoiceService::Prueba().dialogo = [&](QDialog *d) {
            d->show();
            auto *calendario = d->findChild<QCalendarWidget *>(u"Fecha"_s);
            alAbrir = calendario->selectedDate();
            // The month arrows move the calendar and write nothing.
            QTest::mouseClick(d->findChild<QToolButton *>(u"qt_calendar_nextmonth"_s),
                              Qt::LeftButton);
            if (cancelar) {
                QTest::mouseClick(d->findChild<QPushButton *>(u"Command1"_s), Qt::LeftButton);
                return d->result();
            }
            calendario->setSelectedDate(dia);
            auto *dias = calendario->findChild<QTableView *>();
            QTest::mouseClick(dias->viewport(), Qt::LeftButton, {},
                              dias->visualRect(dias->currentIndex()).center());
            return d->result();
        };
        QTest::mouseClick(c<QToolButton>(boton), Qt::LeftButton);
        ChoiceService::Prueba().dialogo = nullptr;
        // The day it opened on, then the fields: `queda` tells the case.
        QCOMPARE(alAbrir.toString(Qt::ISODate) + u'|' + Textos(f, {"Txdini", "Txdfin"}),
                 QDate::currentDate().toString(Qt::ISODate) + u'|' + queda);
    }
    // Ana's observation has two photos: counted in the grid's last column.
    QVERIFY(bd.Ejecutar(u"INSERT INTO foto (observacion, sha256, orden) VALUES (?, 'a', 1), "
                        "(?, 'b', 2)"_s,
                        {o.ana, o.ana}));
    Filtrar();
    QCOMPARE(Ids(), (QList<int>{o.ana, o.juliana}));
    QCOMPARE(QStringList(modelo->headerData(28, Qt::Horizontal).toString()) + Valores(modelo, 28),
             (QStringList{u"fotos"_s, u"2"_s, u"0"_s}));

    // The spreadsheet of the rows listed, proposed in the documents with the date.
    QString propuesto, ruta = bd.carpeta() + u"/mis hojas/observaciones"_s;
    ChoiceService::Prueba().archivoGuardar = [&](const QString &, const QString &p) {
        propuesto = p;
        return ruta;
    };
    QList<QUrl> abiertos;
    ChoiceService::Prueba().abrir = [&](const QUrl &u) {
        abiertos << u;
        return false;
    };
    MessageService::Limpiar();
    QTest::mouseClick(c<QPushButton>("Excel"), Qt::LeftButton); // the folder does not exist
    QVERIFY2(propuesto.contains(QDate::currentDate().toString(u"yyyy-MM-dd"_s)) &&
                 propuesto.endsWith(u".xlsx"_s),
             qPrintable(propuesto));
    QVERIFY(Aviso().startsWith(u"No se ha podido escribir la hoja de cálculo"_s) &&
            abiertos.isEmpty());
    QVERIFY(QDir().mkpath(bd.carpeta() + u"/mis hojas"_s));
    QTest::mouseClick(c<QPushButton>("Excel"), Qt::LeftButton);
    ruta += u".xlsx"_s;
    QCOMPARE(abiertos, QList<QUrl>{QUrl::fromLocalFile(ruta)});
    QVERIFY(Aviso().contains(ruta)); // no program: where it is
    SheetReader hoja(ruta);
    QVERIFY(hoja.ok);
    QCOMPARE(hoja.Fila(3, 29), ObservationStore::ColumnasConsulta().Cabeceras());
    // A date as a day number shown as a date, numbers as numbers, the approximate number
    // as Si/No, an unchosen value empty; the rows listed only.
    const QStringList ana = hoja.Fila(4, 29), vacia = hoja.Fila(5, 29);
    QCOMPARE(QStringList({ana[0], hoja.formato[u"A4"_s], ana[5], ana[6], ana[7], ana[13], ana[14],
                          ana[27], vacia[14], vacia[23], ana[28], vacia[28]})
                 .join(u'|'),
             u"39146|dd/mm/yyyy|440291|4474254|30|12|Si|%1|No||2|0"_s.arg(o.ana));
    QVERIFY(!hoja.valor.contains(u"A6"_s));
    // Cancelled at the first row or at the packing: the sheet stays as it was, nothing is
    // opened and nothing said.
    const QByteArray hecha = Files::Read(ruta);
    for (int cancelarEn : {1, 2}) {
        abiertos.clear();
        MessageService::Limpiar();
        Progreso::Limpiar();
        Progreso::CancelarEn(cancelarEn);
        QTest::mouseClick(c<QPushButton>("Excel"), Qt::LeftButton);
        QVERIFY(Progreso::Vistos().size() == 1 && Progreso::Vistos()[0].cancelado);
        QVERIFY(MessageService::Mostrados().isEmpty() && abiertos.isEmpty());
        QCOMPARE(Files::Read(ruta), hecha);
    }
    // Written or cancelled, the file's page cache is again the large one the map and the
    // queries read from; the writing held it to one pass.
    if (!bd.enServidor())
        QCOMPARE(TestDatabase::Lineas(ModConex::DatabaseConnection(), u"PRAGMA cache_size"_s),
                 u"-524288"_s);

    // Deletion: No keeps the row, Yes removes it and the count follows; a row deleted
    // meanwhile is said to be gone.
    rejilla->setCurrentIndex(modelo->index(1, 0));
    QCOMPARE(consulta.idObservacion(), o.juliana);
    MessageService::EncolarRespuesta(QMessageBox::No);
    QTest::mouseClick(c<QPushButton>("CdSup"), Qt::LeftButton);
    QCOMPARE(Aviso(),
             u"La observación con id: %1 se borrará de la Base de Datos. "_s.arg(o.juliana));
    QCOMPARE(Ids(), (QList<int>{o.ana, o.juliana}));
    rejilla->setCurrentIndex(modelo->index(1, 0));
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    QTest::mouseClick(c<QPushButton>("CdSup"), Qt::LeftButton);
    QCOMPARE(Ids(), QList<int>{o.ana});
    QCOMPARE(Textos(f, {"Lbcount"}), u"Número de Registros : 1"_s);
    QCOMPARE(bd.Contar(u"observacion"_s), 3);
    bd.Ejecutar(u"DELETE FROM observacion WHERE id_observacion = ?"_s, {o.ana});
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    QTest::mouseClick(c<QPushButton>("CdSup"), Qt::LeftButton);
    QCOMPARE(Aviso(), u"La observación ya no existe en la base de datos."_s);
    QVERIFY(Ids().isEmpty() && !c<QPushButton>("CdSup")->isEnabled());

    // More rows than a page: read as the grid is scrolled to its end, each once, in order.
    QVERIFY(bd.Ejecutar(
        u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1500) "
        "INSERT INTO observacion (observador1, fecha, especie) SELECT 'ANA', CASE WHEN i % 3 = "
        "0 THEN '2011-05-01' ELSE '2011-05-02' END, 'BUFSPI' FROM n"_s));
    const QString esperados = bd.Lineas(u"SELECT id_observacion FROM observacion WHERE fecha >= "
                                        "'2011-01-01' ORDER BY fecha, id_observacion"_s);
    SinFiltros();
    User::Escribir(c<QLineEdit>("Txdini"), u"01/01/2011"_s);
    Filtrar();
    QCOMPARE(Textos(f, {"Lbcount"}), u"Número de Registros : 1500"_s);
    QVERIFY(modelo->rowCount() < 1500);
    const auto AlFinal = [&] {
        for (int i = 0; i < 100 && modelo->canFetchMore({}); ++i)
            QTest::keyClick(rejilla, Qt::Key_End, Qt::ControlModifier);
    };
    // Another user records an observation of an earlier day, and deletes one not yet read:
    // neither repeats nor skips a row of those still there.
    QVERIFY(bd.Ejecutar(u"INSERT INTO observacion (observador1, fecha, especie) VALUES "
                        "('ANA', '2011-01-01', 'BUFSPI')"_s));
    QVERIFY(bd.Ejecutar(u"DELETE FROM observacion WHERE id_observacion = ?"_s,
                        {esperados.section(u'\n', 400, 400)}));
    AlFinal();
    QStringList leidos = esperados.split(u'\n');
    leidos.removeAt(400);
    QCOMPARE(Valores(modelo, ObservationStore::ColumnaId()).join(u'\n'), leidos.join(u'\n'));
    // Undated ones (the server sorts them last) page like the others.
    QVERIFY(bd.Ejecutar(
        u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600) "
        "INSERT INTO observacion (observador1, especie) SELECT 'ANA', 'BUFSPI' FROM n"_s));
    SinFiltros();
    Filtrar();
    AlFinal();
    QCOMPARE(Valores(modelo, ObservationStore::ColumnaId()).join(u'\n'),
             bd.Lineas(u"SELECT id_observacion FROM observacion ORDER BY fecha, id_observacion"_s));
}

QTEST_MAIN(tst_frcons)
#include "tst_frcons.moc"
