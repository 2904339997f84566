#include "Observaciones.h"
#include "support/User.h"

#include "app/principal.h"
#include "data/Clock.h"
#include "data/ModBaseDatos.h"
#include "export/DarwinCoreArchive.h"
#include "export/ExportStore.h"
#include "gui/Screen.h"
#include "observations/BinStore.h"
#include "observations/frcons.h"
#include "observations/frpapelera.h"
#include "photos/PhotoStore.h"

#include <QAction>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>

// The bin as a user meets it: observations deleted from the query, found in the bin,
// restored as they were or emptied for good, old ones emptied at start-up; the exports
// never see what it holds.
class tst_frpapelera : public QObject {
    Q_OBJECT
private slots:
    void sesion();
};

namespace {
// Every stored column of the observation and of its photos, as text.
QString Completa(const TestDatabase &bd, int id) {
    return Fila(bd,
                u"SELECT id_observacion, observador1, observador2, observador3, observador4, "
                "o.fecha, horaini, horafin, periodo, meteo, viento, especie, numejemp, numaprox, "
                "estadio, conducta, descripcion, motivo, habitat, localidad, uuid, "
                "count(id_foto), min(id_foto), min(sha256), min(nombre), min(latitud), "
                "min(autor), min(orden), max(orden) FROM observacion o LEFT JOIN foto ON "
                "observacion = id_observacion WHERE id_observacion = ? GROUP BY id_observacion"_s,
                {id});
}

// What the exports see: the archive's records, the association's rows (-1 when the read
// fails), the photos listed; or why the archive failed.
QString Exportado(const QDate &dia) {
    DarwinCoreArchive::Resumen resumen;
    QString error;
    QTemporaryDir carpeta;
    if (!DarwinCoreArchive::Exportar(carpeta.path(), dia, DarwinCoreArchive::Licencia::CcBy,
                                     &resumen, &error))
        return error;
    ExportStore exportar;
    QSqlQuery q = exportar.Consultar(ExportStore::Tabla::Observaciones);
    int n = 0;
    while (q.next())
        ++n;
    return u"%1|%2|%3"_s.arg(resumen.registros)
        .arg(q.isActive() ? n : -1)
        .arg(exportar.Fotos().size());
}
} // namespace

void tst_frpapelera::sesion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    Observaciones o(bd);
    ModBaseDatos::setEscalaEsperas(0.0);
    // Ana's observation has two photos, one picture shared with Álvaro's.
    const Foto foto{.sha256 = QString(64, u'a'),
                    .nombre = u"charca.jpg"_s,
                    .latitud = 40.25,
                    .autor = u"Ana d'Ors"_s,
                    .bytes = "imagen a"};
    Foto otra = foto;
    otra.sha256 = QString(64, u'b');
    otra.bytes = "imagen b";
    QVERIFY(PhotoStore().Asignar(o.ana, {foto, otra}) && PhotoStore().Asignar(o.alvaro, {foto}));
    const QString anaAntes = Completa(bd, o.ana);
    // Its photos' count, after its 21 columns.
    QCOMPARE(anaAntes.section(u'|', 21, 21), u"2"_s);
    QVERIFY(bd.Ejecutar(u"UPDATE DefaultObs SET cd_obs = 'ANA'"_s)); // the dataset's author
    const QDateTime ahora(QDate(2026, 5, 20), QTime(9, 15, 30));
    Clock::setPrueba([&] { return ahora; });
    // The association's statement needs the locality, which one has lost.
    QCOMPARE(Exportado(ahora.date()), u"4|3|3"_s);

    // Deleted from the query with its question as it always was: gone from the query and
    // from the exports, its photos with it.
    principal p;
    p.findChild<QAction *>(u"cons"_s)->trigger();
    auto *consulta = qobject_cast<frcons *>(Screen::BuscarFormulario(u"frcons"_s));
    QVERIFY(consulta);
    auto *obs = consulta->findChild<QTableView *>(u"DBObs"_s);
    Pulsar(obs, 1);
    QCOMPARE(consulta->idObservacion(), o.ana);
    User::Responder({QMessageBox::Yes});
    QTest::mouseClick(Control<QPushButton>(consulta, "CdSup"), Qt::LeftButton);
    QCOMPARE(Aviso(), u"La observación con id: %1 se borrará de la Base de Datos. "_s.arg(o.ana));
    QCOMPARE(Ids(obs, ObservationStore::ColumnaId()), (QList<int>{o.alvaro, o.juliana, o.dors}));
    QCOMPARE(bd.Contar(u"foto"_s), 1);
    QCOMPARE(Exportado(ahora.date()), u"3|2|1"_s);

    // In the bin, opened from the menu: its date, species, locality and when it was
    // deleted; who, on a server.
    QPointer<QWidget> f;
    QTableView *rejilla = nullptr;
    QPushButton *restaurar = nullptr, *vaciar = nullptr;
    const auto abrir = [&] {
        p.findChild<QAction *>(u"papelera"_s)->trigger();
        QTRY_VERIFY(!f && !Screen::BuscarFormulario(u"frcons"_s));
        f = qobject_cast<frpapelera *>(Screen::BuscarFormulario(u"frpapelera"_s));
        QVERIFY(f);
        rejilla = Control<QTableView>(f, "DBpapelera");
        restaurar = Control<QPushButton>(f, "CdRestaurar");
        vaciar = Control<QPushButton>(f, "CdVaciar");
    };
    abrir();
    QStringList fila;
    for (int col = 0; col < rejilla->model()->columnCount(); ++col) {
        const QModelIndex i = rejilla->model()->index(0, col);
        fila << static_cast<QStyledItemDelegate *>(rejilla->itemDelegateForIndex(i))
                    ->displayText(i.data(), QLocale());
    }
    const QString quien =
        bd.enServidor() ? bd.Valor(u"SELECT current_user"_s).toString() : QString();
    QCOMPARE(fila.join(u'|'),
             u"05/03/2007|Bufo spinosus|Charca del Sol|20/05/2026 09:15|%1|2|%2"_s.arg(quien).arg(
                 o.ana));
    QCOMPARE(rejilla->isColumnHidden(BinStore::ColumnaQuien()), !bd.enServidor());
    QCOMPARE(Textos(f, {"Lbcount"}), u"Número de Registros : 1"_s);
    QVERIFY(!restaurar->isEnabled() && !vaciar->isEnabled()); // nothing chosen yet

    // Restored as it was, identifier, UUID and photos included; exported again.
    Pulsar(rejilla, 0);
    QVERIFY(restaurar->isEnabled() && vaciar->isEnabled());
    MessageService::Limpiar();
    QTest::mouseClick(restaurar, Qt::LeftButton);
    QCOMPARE(Aviso(), u"Se ha restaurado la observación con id: %1."_s.arg(o.ana));
    QCOMPARE(Completa(bd, o.ana), anaAntes);
    QVERIFY(rejilla->model()->rowCount() == 0 && !restaurar->isEnabled() && !vaciar->isEnabled());
    QCOMPARE(bd.Contar(u"papelera"_s) + bd.Contar(u"papelera_foto"_s), 0);
    QCOMPARE(Exportado(ahora.date()), u"4|3|3"_s);

    // Three deleted; two chosen. A restore that fails half way (one of them emptied by
    // another user meanwhile, or a refused insert) brings none back and leaves the bin
    // as it was.
    for (int id : {o.ana, o.alvaro, o.juliana})
        QVERIFY(ObservationStore().Suprimir(id));
    abrir();
    const int columnaId = BinStore::ColumnaId();
    QCOMPARE(Ids(rejilla, columnaId), (QList<int>{o.alvaro, o.juliana, o.ana}));
    const auto papelera = [&] {
        return Fila(bd, u"SELECT count(*), sum(id_observacion) FROM papelera"_s) +
               Fila(bd, u"SELECT count(*), sum(id_foto) FROM papelera_foto"_s);
    };
    const QString binAntes = papelera();
    Pulsar(rejilla, 1);
    Pulsar(rejilla, 2, Qt::ControlModifier);
    QVERIFY(
        bd.Rechazar(u"observacion"_s, u"disco lleno"_s, u"NEW.id_observacion = %1"_s.arg(o.ana)));
    MessageService::Limpiar();
    QTest::mouseClick(restaurar, Qt::LeftButton);
    QVERIFY2(Aviso().contains(u"disco lleno"_s), qPrintable(Aviso()));
    QCOMPARE(MessageService::Mostrados().size(), 1);
    QVERIFY(bd.Permitir(u"observacion"_s));
    QCOMPARE(papelera(), binAntes);
    QCOMPARE(bd.Contar(u"observacion"_s), 1);
    QCOMPARE(Ids(rejilla, columnaId), (QList<int>{o.alvaro, o.juliana, o.ana}));
    QVERIFY(BinStore().Vaciar({o.ana})); // as another user would, the choice kept
    QTest::mouseClick(restaurar, Qt::LeftButton);
    QCOMPARE(Aviso(), u"La observación con id: %1 ya no está en la papelera: no se ha restaurado "
                      "nada."_s.arg(o.ana));
    QCOMPARE(Ids(rejilla, columnaId), (QList<int>{o.alvaro, o.juliana}));
    QCOMPARE(rejilla->selectionModel()->selectedRows(columnaId).value(0).data().toInt(),
             o.juliana); // still chosen, for the next try
    QCOMPARE(bd.Contar(u"observacion"_s), 1);

    // Chosen by the keyboard, emptied for good after a question whose default is No; the
    // pictures stay.
    rejilla->clearSelection();
    User::Activar(rejilla);
    rejilla->setFocus(Qt::TabFocusReason);
    QTest::keyClick(rejilla, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(rejilla, Qt::Key_Down, Qt::ShiftModifier);
    User::Responder({QMessageBox::No});
    QTest::mouseClick(vaciar, Qt::LeftButton);
    QCOMPARE(Aviso(), u"Las 2 observaciones elegidas se borrarán para siempre, con sus fotos. "
                      "¿Vaciarlas de la papelera?"_s);
    QCOMPARE(MessageService::Ultimo().porDefecto, QMessageBox::No);
    QCOMPARE(bd.Contar(u"papelera"_s), 2);
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    QTest::mouseClick(vaciar, Qt::LeftButton);
    QCOMPARE(rejilla->model()->rowCount(), 0);
    QCOMPARE(bd.Contar(u"papelera"_s) + bd.Contar(u"papelera_foto"_s), 0);
    QCOMPARE(PhotoStore().Bytes(foto.sha256), std::optional<QByteArray>("imagen a"));

    // At start-up, what was deleted more than 90 days before is emptied, the rest kept.
    QList<int> borradas;
    for (int dias : {-91, -89}) {
        const QDateTime cuando = ahora.addDays(dias);
        Clock::setPrueba([cuando] { return cuando; });
        ObservationStore observaciones;
        const auto id = observaciones.Guardar(*observaciones.Cargar(o.dors), std::nullopt);
        QVERIFY(id && observaciones.Suprimir(*id));
        borradas << *id;
    }
    Clock::setPrueba([&] { return ahora; });
    MessageService::Limpiar();
    principal().Form_Load(); // a start-up, the window gone after it
    QVERIFY2(MessageService::Mostrados().isEmpty(), qPrintable(Aviso()));
    QCOMPARE(Fila(bd, u"SELECT count(*), max(id_observacion) FROM papelera"_s),
             u"1|%1"_s.arg(borradas[1]));
    Clock::setPrueba(nullptr);
}

QTEST_MAIN(tst_frpapelera)
#include "tst_frpapelera.moc"
