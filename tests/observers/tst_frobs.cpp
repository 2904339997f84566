#include "support/BaseDatosPrueba.h"

#include "app/Pantalla.h"
#include "data/Mensajes.h"
#include "data/ModConex.h"
#include "observers/frobs.h"

#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>

class tst_frobs : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void busqueda();
    void seleccionSigueFila();
    void supresion();
    void seleccionParaObservacion();
    void nuevoYModificarRefrescanLista();
};

namespace {

void Poblar(const BaseDatosPrueba &bd) {
    const QString sql = QStringLiteral("INSERT INTO observador (cod_observador, nombre, apellido, "
                                       "entidad, email) VALUES (?,?,?,?,?)");
    bd.Ejecutar(sql, {"XA1", "Luis", "Martínez", QVariant(), "luis@x.es"});
    bd.Ejecutar(sql, {"JPG1980", "Juan", "Pérez García", "SHE", "jpg@x.es"});
    bd.Ejecutar(sql, {"ONE61", "Seán", "O'Neill", "AHE", "sean@x.ie"});
    bd.Ejecutar(sql, {"ALV75", "Ángela", "Álvarez", "SHE", "angela@x.es"});
    bd.Ejecutar(sql, {"X_1", "Ana", "Ruiz", "SHE", "ana@x.es"});
    bd.Ejecutar(sql, {"ROD90", "Rodrigo", QVariant(), QVariant(), "rod@x.es"});
}

template <class T = QPushButton> T *Control(QWidget *w, const char *nombre) {
    return w->findChild<T *>(QString::fromLatin1(nombre));
}
QTableView *Rejilla(QWidget *f) {
    return Control<QTableView>(f, "DBObs");
}

QStringList Codigos(QWidget *f) {
    QStringList r;
    for (int i = 0; i < Rejilla(f)->model()->rowCount(); ++i)
        r << Rejilla(f)->model()->index(i, 0).data().toString();
    return r;
}

void Filtrar(QWidget *f, const QString &codigo, const QString &nombre) {
    Usuario::Escribir(Control<QLineEdit>(f, "Txcod"), codigo);
    Usuario::Escribir(Control<QLineEdit>(f, "Txnom"), nombre);
    QTest::mouseClick(Control(f, "CdBuscar"), Qt::LeftButton);
}

QPoint Centro(QWidget *f, const QString &codigo) {
    return Rejilla(f)
        ->visualRect(Rejilla(f)->model()->index(int(Codigos(f).indexOf(codigo)), 0))
        .center();
}
void ClicFila(QWidget *f, const QString &codigo) {
    QVERIFY2(Codigos(f).contains(codigo), qPrintable(codigo));
    QTest::mouseClick(Rejilla(f)->viewport(), Qt::LeftButton, {}, Centro(f, codigo));
}
void Clic(QWidget *f, const char *boton) {
    QTest::mouseClick(Control(f, boton), Qt::LeftButton);
}

// How many of the buttons that act on the selected observer are enabled.
int Activos(QWidget *f) {
    return Control(f, "cdAct")->isEnabled() + Control(f, "CdSup")->isEnabled() +
           Control(f, "CdSel")->isEnabled();
}

// A window standing in for an observation form, with its observer slots.
QWidget *Abridor(const QString &nombre) {
    auto *w = new QWidget;
    w->setObjectName(nombre);
    auto *rejilla = new QGridLayout(w);
    for (int n = 1; n <= 4; ++n) {
        const QString boton = n <= 2 ? QStringLiteral("CdSelobs%1") : QStringLiteral("Cdselobs%1");
        const QList<QPair<QWidget *, QString>> controles = {
            {new QLineEdit(w), QStringLiteral("Txobs%1")},
            {new QLabel(w), QStringLiteral("Lbobs%1")},
            {new QPushButton(w), boton}};
        for (int c = 0; c < 3; ++c) {
            controles[c].first->setObjectName(controles[c].second.arg(n));
            rejilla->addWidget(controles[c].first, n, c);
        }
    }
    Pantalla::MostrarHijo(w);
    return w;
}

QStringList Ranuras(QWidget *w) {
    QStringList r;
    for (int n = 1; n <= 4; ++n)
        r << w->findChild<QLineEdit *>(QStringLiteral("Txobs%1").arg(n))->text() + u'|' +
                 w->findChild<QLabel *>(QStringLiteral("Lbobs%1").arg(n))->text();
    return r;
}

} // namespace

void tst_frobs::cleanup() {
    frobs::setMostrarDialogo(nullptr);
    for (QWidget *w : QApplication::topLevelWidgets())
        w->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_frobs::busqueda() {
    BaseDatosPrueba bd;
    Poblar(bd);
    frobs f;
    f.show();
    QCOMPARE(Codigos(&f), QStringList({"ALV75", "JPG1980", "ONE61", "ROD90", "X_1", "XA1"}));
    QStringList titulos;
    for (int i = 0; i < 7; ++i)
        titulos << Rejilla(&f)->model()->headerData(i, Qt::Horizontal).toString();
    QCOMPARE(titulos, QStringList({"Código", "Email", "Nombre", "Apellidos", "generacion",
                                   "Entidad", "provincia"}));
    QVERIFY(Rejilla(&f)->horizontalHeader()->font().bold());

    const struct {
        const char *codigo, *nombre;
        QStringList esperados;
    } casos[] = {
        {"a", "", {"ALV75", "XA1"}},             // the code anywhere, either case
        {"", "ez", {"ALV75", "JPG1980", "XA1"}}, // first name or surname
        {"", "AN", {"JPG1980", "X_1"}},          // Á is not A
        {"A", "ez", {"ALV75", "XA1"}},           // both must hold
        {"", "álvarez", {"ALV75"}},              // accented capitals ignore case
        {"", "ÁNGELA", {"ALV75"}},
        {"", "o'n", {"ONE61"}}, // quotes are text
        {"'", "", {}},
        {"x_", "", {"X_1"}}, // so are wildcards
        {"", "%", {}},
        {"", " ", {"JPG1980"}}, // and blanks
    };
    for (const auto &c : casos) {
        Filtrar(&f, QString::fromUtf8(c.codigo), QString::fromUtf8(c.nombre));
        QCOMPARE(Codigos(&f), c.esperados);
    }
    QVERIFY(Mensajes::Mostrados().isEmpty());
    // Enter in a filter field searches too.
    Usuario::Escribir(Control<QLineEdit>(&f, "Txnom"), QStringLiteral("rui"));
    QTest::keyClick(Control<QLineEdit>(&f, "Txnom"), Qt::Key_Return);
    QCOMPARE(Codigos(&f), QStringList({"X_1"}));
}

void tst_frobs::seleccionSigueFila() {
    BaseDatosPrueba bd;
    Poblar(bd);
    frobs f;
    f.show();
    // Opened from the menu: no choice button, nothing selected, nothing to act on.
    QVERIFY(!Control(&f, "CdSel")->isVisible());
    QCOMPARE(Activos(&f), 0);

    ClicFila(&f, "JPG1980");
    QCOMPARE(f.codObservador(), QStringLiteral("JPG1980"));
    QCOMPARE(Control<QLabel>(&f, "Lbcode")->text(), QStringLiteral("JPG1980"));
    QCOMPARE(Control<QLineEdit>(&f, "Txcognom")->text(), QStringLiteral("Pérez García"));
    QCOMPARE(Activos(&f), 3);
    // The keyboard moves the selection; a null surname reads empty.
    QTest::keyClick(Rejilla(&f), Qt::Key_Down);
    QTest::keyClick(Rejilla(&f), Qt::Key_Down);
    QCOMPARE(f.codObservador(), QStringLiteral("ROD90"));
    QCOMPARE(Control<QLineEdit>(&f, "Txcognom")->text(), QString());

    // A search that still lists the observer keeps it; one that does not, or an empty
    // result, leaves none.
    Filtrar(&f, "", "o");
    QCOMPARE(f.codObservador(), QStringLiteral("ROD90"));
    Filtrar(&f, "", "ez");
    QCOMPARE(f.codObservador(), QString());
    QCOMPARE(Control<QLabel>(&f, "Lbcode")->text(), QString());
    QCOMPARE(Activos(&f), 0);
    ClicFila(&f, "XA1");
    Filtrar(&f, "nadie", "");
    QCOMPARE(f.codObservador(), QString());
    QCOMPARE(Activos(&f), 0);
    Clic(&f, "CdSup");
    QVERIFY(Mensajes::Mostrados().isEmpty());
}

void tst_frobs::supresion() {
    BaseDatosPrueba bd;
    Poblar(bd);
    bd.Ejecutar(QStringLiteral("UPDATE DefaultObs SET cd_obs = 'ALV75'"));
    bd.Ejecutar(QStringLiteral(
        "INSERT INTO observacion (observador1, observador3) VALUES ('JPG1980', 'ALV75')"));
    auto valor = [&](const char *sql) { return bd.Valor(QString::fromLatin1(sql)).toString(); };
    {
        frobs f;
        f.show();
        Filtrar(&f, "", "ez");
        ClicFila(&f, "JPG1980");

        // No: nothing deleted, the search runs again with its filters.
        Mensajes::EncolarRespuesta(QMessageBox::No);
        Clic(&f, "CdSup");
        QCOMPARE(
            Mensajes::Ultimo().texto,
            QStringLiteral("El Observador JPG1980 se borrará de la Base de Datos. Continuar ? "));
        QCOMPARE(Mensajes::Ultimo().titulo, QStringLiteral("Suprimir Factura"));
        QCOMPARE(Mensajes::Ultimo().botones, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(Codigos(&f), QStringList({"ALV75", "JPG1980", "XA1"}));

        // Yes on another than the default: the default stays, observations keep the code.
        Mensajes::EncolarRespuesta(QMessageBox::Yes);
        Clic(&f, "CdSup");
        QCOMPARE(Codigos(&f), QStringList({"ALV75", "XA1"}));
        QCOMPARE(valor("SELECT cd_obs FROM DefaultObs"), QStringLiteral("ALV75"));
        QCOMPARE(valor("SELECT observador1 FROM observacion"), QStringLiteral("JPG1980"));
        QCOMPARE(Activos(&f), 0);
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        // The default observer: the default is cleared.
        ClicFila(&f, "ALV75");
        Mensajes::EncolarRespuesta(QMessageBox::Yes);
        Clic(&f, "CdSup");
        QCOMPARE(Codigos(&f), QStringList({"XA1"}));
        QCOMPARE(valor("SELECT count(*) || cd_obs FROM DefaultObs"), QStringLiteral("1"));
        QCOMPARE(valor("SELECT observador3 FROM observacion"), QStringLiteral("ALV75"));
        QCOMPARE(bd.Contar(QStringLiteral("observador")), 4);
        QCOMPARE(Mensajes::Mostrados().size(), 3);
    }
    // A database that cannot be written: said so, the observer stays.
    ModConex::setSoloLectura(true);
    QVERIFY(ModConex::Conectar());
    frobs f;
    f.show();
    ClicFila(&f, "ONE61");
    Mensajes::EncolarRespuesta(QMessageBox::Yes);
    Clic(&f, "CdSup");
    QCOMPARE(
        Mensajes::Ultimo().texto,
        QStringLiteral("No se puede escribir en la base de datos: el archivo es de solo lectura."));
    QCOMPARE(Mensajes::Ultimo().icono, QMessageBox::Warning);
    QCOMPARE(f.codObservador(), QStringLiteral("ONE61"));
}

void tst_frobs::seleccionParaObservacion() {
    BaseDatosPrueba bd;
    Poblar(bd);
    QPointer<QWidget> alta = Abridor(QStringLiteral("newobs"));

    // Slot 3 of the new-observation form.
    frobs *lista = frobs::AbrirSeleccion(QStringLiteral("alta3"));
    QPointer<frobs> vivo(lista);
    QCOMPARE(Pantalla::BuscarFormulario(QStringLiteral("frobs")), lista);
    QVERIFY(Control(lista, "CdSel")->isVisible());
    QVERIFY(!Control(lista, "CdSel")->isEnabled());
    Filtrar(lista, "", "pérez");
    ClicFila(lista, "JPG1980");
    Clic(lista, "CdSel");
    QCOMPARE(Ranuras(alta), QStringList({"|", "|", "JPG1980|Juan Pérez García", "|"}));
    QCOMPARE(alta->focusWidget(), Control<QWidget>(alta, "Cdselobs3"));
    QTRY_VERIFY(!vivo);

    // Slot 1 of the modification form, through a list that was open from the menu, while
    // the new-observation form is open too; a missing surname leaves the blank.
    QPointer<QWidget> modif = Abridor(QStringLiteral("frmodif"));
    lista = new frobs;
    Pantalla::MostrarHijo(lista);
    vivo = lista;
    QCOMPARE(frobs::AbrirSeleccion(QStringLiteral("modif1")), lista);
    ClicFila(lista, "ROD90");
    Clic(lista, "CdSel");
    QCOMPARE(Ranuras(modif), QStringList({"ROD90|Rodrigo ", "|", "|", "|"}));
    QCOMPARE(Ranuras(alta), QStringList({"|", "|", "JPG1980|Juan Pérez García", "|"}));
    QCOMPARE(modif->focusWidget(), Control<QWidget>(modif, "CdSelobs1"));
    QTRY_VERIFY(!vivo);
    QVERIFY(Mensajes::Mostrados().isEmpty());

    // The asking form was closed meanwhile: the user is told, the list closes.
    alta->close();
    QTRY_VERIFY(!alta);
    vivo = frobs::AbrirSeleccion(QStringLiteral("alta2"));
    ClicFila(vivo, "XA1");
    Clic(vivo, "CdSel");
    QCOMPARE(Mensajes::Ultimo().titulo, QStringLiteral("Seleccionar"));
    QVERIFY(Mensajes::Ultimo().texto.contains(QStringLiteral("XA1")));
    QTRY_VERIFY(!vivo);
}

void tst_frobs::nuevoYModificarRefrescanLista() {
    BaseDatosPrueba bd;
    Poblar(bd);
    QStringList abiertos;
    std::function<void(QDialog *)> accion;
    frobs::setMostrarDialogo([&](QDialog *d) {
        abiertos << d->objectName() + u':' +
                        (d->objectName() == QLatin1String("frmodifobs")
                             ? Control<QLabel>(d, "Lbcode")->text()
                             : QString());
        d->show();
        accion(d);
        return d->result();
    });
    auto nuevo = [&](const QStringList &valores) {
        accion = [valores](QDialog *d) {
            const char *campos[] = {"Txcod", "Txnomobs", "Txcognom", "Txentidad", "Txmail"};
            for (int i = 0; i < 5; ++i)
                Usuario::Escribir(Control<QLineEdit>(d, campos[i]), valores[i]);
            Clic(d, "CdIns");
        };
    };
    frobs f;
    f.show();
    Filtrar(&f, "", "ez");
    ClicFila(&f, "XA1");

    // A new observer matching the filters is listed, the current row stays current; one
    // that does not match is stored but not listed; "Salir" stores nothing.
    nuevo({"NEZ70", "Inés", "Núñez", "SHE", "i@x.es"});
    Clic(&f, "CdNou");
    QCOMPARE(Codigos(&f), QStringList({"ALV75", "JPG1980", "NEZ70", "XA1"}));
    QCOMPARE(f.codObservador(), QStringLiteral("XA1"));
    nuevo({"BLA01", "Zoe", "Blanco", "SHE", "z@x.es"});
    Clic(&f, "CdNou");
    accion = [](QDialog *d) { Clic(d, "Command2"); };
    Clic(&f, "CdNou");
    QCOMPARE(Codigos(&f).size(), 4);
    QCOMPARE(bd.Contar(QStringLiteral("observador")), 8);

    // A change that takes the observer out of the filters drops it from the list.
    ClicFila(&f, "NEZ70");
    accion = [](QDialog *d) {
        Usuario::Escribir(Control<QLineEdit>(d, "Txcognom"), QStringLiteral("Nuño"));
        Clic(d, "cdAct");
    };
    Clic(&f, "cdAct");
    QCOMPARE(Codigos(&f), QStringList({"ALV75", "JPG1980", "XA1"}));
    QCOMPARE(f.codObservador(), QString());

    // A double click opens the change form for the row.
    ClicFila(&f, "JPG1980");
    accion = [](QDialog *d) { d->reject(); };
    QTest::mouseDClick(Rejilla(&f)->viewport(), Qt::LeftButton, {}, Centro(&f, "JPG1980"));
    QCOMPARE(abiertos, QStringList({"frinsObs:", "frinsObs:", "frinsObs:", "frmodifobs:NEZ70",
                                    "frmodifobs:JPG1980"}));

    // An observer removed behind the list's back: the form says so and does not open;
    // the list is read again.
    ClicFila(&f, "ALV75");
    bd.Ejecutar(QStringLiteral("DELETE FROM observador WHERE cod_observador='ALV75'"));
    Clic(&f, "cdAct");
    QCOMPARE(Mensajes::Ultimo().texto,
             QStringLiteral("Error al intentar encontrar este observador en la base de datos"));
    QCOMPARE(abiertos.size(), 5);
    QCOMPARE(Codigos(&f), QStringList({"JPG1980", "XA1"}));
}

QTEST_MAIN(tst_frobs)
#include "tst_frobs.moc"
