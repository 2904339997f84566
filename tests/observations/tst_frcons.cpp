#include "Observaciones.h"
#include "support/SheetReader.h"
#include "support/User.h"

#include "app/principal.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Progreso.h"
#include "gui/Screen.h"
#include "observations/frcons.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QDialog>
#include <QDir>
#include <QFile>
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
        for (const char *campo : {"Txdini", "Txdfin", "Cbobs", "Cbesp"}) {
            User::Escribir(c(campo), QString());
            User::SalirDe(c(campo));
        }
        for (const char *lista : {"cb10k", "Cbprov", "Cbloc"})
            Elegir(lista, u" "_s);
    }
    // Picks a day in the date picker opened by the button, as a click on the calendar.
    void Picar(const char *boton, QDate dia, bool cancelar = false) {
        ChoiceService::Prueba().dialogo = [&](QDialog *d) {
            d->show();
            auto *calendario = d->findChild<QCalendarWidget *>(u"Fecha"_s);
            hoyAlAbrir = calendario->selectedDate();
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
    }

    frcons *f = nullptr;
    QDate hoyAlAbrir;
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
    const auto fila = [&](int r) {
        QStringList v;
        for (int col = 0; col < modelo->columnCount(); ++col)
            v << modelo->index(r, col).data().toString();
        return v;
    };
    QCOMPARE(fila(1).mid(0, 5), (QStringList{u"2007-03-05"_s, u"Bufo spinosus"_s, u"Larva"_s,
                                             u"En reposo"_s, u"Charca del Sol"_s}));
    const auto juliana = fila(2); // period, weather, wind, stage, behaviour, habitat unchosen
    for (int col : {2, 3, 16, 23, 24, 25})
        QVERIFY2(juliana[col].isEmpty(), qPrintable(juliana[col]));
    QCOMPARE(juliana[10], u"Ávila"_s);
    QCOMPARE(fila(3)[1], QString()); // a species that is gone
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

    // Each filter alone and combined; the blank entry is no filter.
    struct Caso {
        QString desde, hasta, observador, especie, cuadrado, provincia, localidad;
        QList<int> ids;
    };
    const QList<Caso> casos = {
        {u"01/01/2007"_s, {}, {}, {}, {}, {}, {}, {o.ana, o.juliana, o.dors}},
        {{}, u"05/03/2007"_s, {}, {}, {}, {}, {}, {o.alvaro, o.ana}},
        {u"01/01/2007"_s, u"31/12/2008"_s, {}, {}, {}, {}, {}, {o.ana, o.juliana}},
        {{}, {}, u"ana"_s, {}, {}, {}, {}, {o.ana, o.juliana}}, // the first observer only
        {{}, {}, u"ÁLVARO"_s, {}, {}, {}, {}, {o.alvaro}},
        {{}, {}, u"d'ors"_s, {}, {}, {}, {}, {o.dors}},
        {{}, {}, u"50%"_s, {}, {}, {}, {}, {}},
        {{}, {}, {}, u"BUFSPI"_s, {}, {}, {}, {o.ana}},
        {{}, {}, {}, {}, u"UK59"_s, {}, {}, {o.juliana}},
        {{}, {}, {}, {}, {}, u"Ávila"_s, {}, {o.alvaro, o.juliana}},
        {{}, {}, {}, {}, {}, {}, u"Fuente d'Ávila"_s, {o.juliana}},
        {{}, {}, {}, {}, {}, {}, u"Charca del Sol"_s, {o.alvaro, o.ana}},
        {{}, {}, {}, {}, {}, u"Madrid"_s, u"Charca del Sol"_s, {o.ana}},
        {u"01/01/2006"_s, {}, u"ana"_s, {}, {}, u"Ávila"_s, {}, {o.juliana}},
        {{}, {}, {}, {}, {}, u" "_s, {}, {o.alvaro, o.ana, o.juliana, o.dors}},
    };
    for (const Caso &k : casos) {
        SinFiltros();
        User::Escribir(c<QLineEdit>("Txdini"), k.desde);
        User::Escribir(c<QLineEdit>("Txdfin"), k.hasta);
        User::Escribir(c<QComboBox>("Cbobs"), k.observador);
        if (!k.especie.isEmpty()) Elegir("Cbesp", k.especie);
        if (!k.cuadrado.isEmpty()) Elegir("cb10k", k.cuadrado);
        if (!k.provincia.isEmpty()) Elegir("Cbprov", k.provincia);
        if (!k.localidad.isEmpty()) Elegir("Cbloc", k.localidad);
        Filtrar();
        const QString caso = QStringList({k.desde, k.hasta, k.observador, k.especie, k.cuadrado,
                                          k.provincia, k.localidad})
                                 .join(u'|');
        QVERIFY2(Ids() == k.ids, qPrintable(caso));
        QCOMPARE(Textos(f, {"Lbcount"}), u"Número de Registros : %1"_s.arg(k.ids.size()));
        // Nothing listed, nothing to change, delete or export.
        for (const char *boton : {"Command1", "CdSup", "Excel"})
            QCOMPARE(c<QPushButton>(boton)->isEnabled(), !k.ids.isEmpty());
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
        User::Escribir(c("Cbesp"), texto);
        User::SalirDe(c("Cbesp"));
        QCOMPARE(Textos(f, {"Cbesp", "Lbespecie"}), queda);
    }
    // A listed code whose species row is gone.
    Elegir("Cbesp", u"NOHAY"_s);
    QCOMPARE(Aviso(), u"No existe ninguna Especie con este nombre"_s);
    QCOMPARE(Textos(f, {"Cbesp"}), QString());

    // Dates typed: refused with their message, emptied, the focus back; a refused date
    // left for "Filtrar" stops that search.
    const QList<QPair<QString, QString>> fechas = {
        {u"hola"_s, u"Format incorrecte de Data."_s},
        {u"31/02/2005"_s, u"Format incorrecte de Data."_s},
        {u"1/2/2005"_s, u"Format incorrecte de Data. (DD/MM/AAAA)"_s},
        {u"01/02/2005"_s, QString()},
    };
    for (const auto &[texto, aviso] : fechas) {
        MessageService::Limpiar();
        User::Escribir(c<QLineEdit>("Txdfin"), texto);
        User::SalirDe(c<QLineEdit>("Txdfin"));
        QCOMPARE(MessageService::Mostrados().isEmpty(), aviso.isEmpty());
        if (aviso.isEmpty()) continue;
        QCOMPARE(Aviso(), aviso);
        QCOMPARE(Textos(f, {"Txdfin"}), QString());
        QVERIFY(c<QLineEdit>("Txdfin")->hasFocus());
    }
    Filtrar();
    QCOMPARE(Ids(), QList<int>{o.alvaro}); // 1 February 2005 at the latest
    MessageService::Limpiar();
    User::Escribir(c<QLineEdit>("Txdini"), u"1/1/2009"_s);
    Filtrar();
    QCOMPARE(MessageService::Mostrados().size(), 1);
    QCOMPARE(Ids(), QList<int>{o.alvaro});

    // Dates picked: the day clicked, as dd/mm/yyyy; "Cancelar" writes nothing.
    Picar("Cdfini", QDate(2007, 3, 5));
    QCOMPARE(hoyAlAbrir, QDate::currentDate());
    QCOMPARE(Textos(f, {"Txdini", "Txdfin"}), u"05/03/2007|01/02/2005"_s);
    Picar("Cdffin", QDate(2008, 6, 1), true);
    QCOMPARE(Textos(f, {"Txdfin"}), u"01/02/2005"_s);
    Picar("Cdffin", QDate(2008, 6, 1));
    QCOMPARE(hoyAlAbrir, QDate::currentDate()); // each opening starts on today
    QCOMPARE(Textos(f, {"Txdfin"}), u"01/06/2008"_s);
    // Ana's observation has two photos: counted in the grid's last column.
    QVERIFY(bd.Ejecutar(u"INSERT INTO foto (observacion, sha256, orden) VALUES (?, 'a', 1), "
                        "(?, 'b', 2)"_s,
                        {o.ana, o.ana}));
    Filtrar();
    QCOMPARE(Ids(), (QList<int>{o.ana, o.juliana}));
    QCOMPARE(modelo->headerData(28, Qt::Horizontal).toString(), u"fotos"_s);
    QCOMPARE(modelo->index(0, 28).data().toInt() * 10 + modelo->index(1, 28).data().toInt(), 20);

    // The spreadsheet of the rows listed, proposed in the documents with the date.
    QString propuesto;
    QString ruta = bd.carpeta() + u"/mis hojas/observaciones"_s;
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
    QVERIFY(propuesto.contains(QDate::currentDate().toString(u"yyyy-MM-dd"_s)));
    QVERIFY(propuesto.endsWith(u".xlsx"_s));
    QVERIFY(Aviso().startsWith(u"No se ha podido escribir la hoja de cálculo"_s));
    QVERIFY(abiertos.isEmpty());
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
    const auto Bytes = [&] {
        QFile f(ruta);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray hecha = Bytes();
    for (int cancelarEn : {1, 2}) {
        abiertos.clear();
        MessageService::Limpiar();
        Progreso::Limpiar();
        Progreso::CancelarEn(cancelarEn);
        QTest::mouseClick(c<QPushButton>("Excel"), Qt::LeftButton);
        QVERIFY(Progreso::Vistos().size() == 1 && Progreso::Vistos()[0].cancelado);
        QVERIFY(MessageService::Mostrados().isEmpty() && abiertos.isEmpty());
        QCOMPARE(Bytes(), hecha);
    }

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
    QCOMPARE(Ids(), QList<int>());
    QVERIFY(!c<QPushButton>("CdSup")->isEnabled());

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

    // The menu's "Consulta" opens the query.
    principal p;
    QAction *cons = p.findChild<QAction *>(u"cons"_s);
    QVERIFY(cons->isEnabled());
    cons->trigger();
    QVERIFY(qobject_cast<frcons *>(Screen::BuscarFormulario(u"frcons"_s)));
}

QTEST_MAIN(tst_frcons)
#include "tst_frcons.moc"
