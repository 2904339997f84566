#include "support/TestDatabase.h"

#include "data/ModBaseDatos.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

class tst_ModBaseDatos : public QObject {
    Q_OBJECT
private slots:
    void soloNumeros();
    void autocompletar();
    void esperar();
    void archivoTexto();
    void archivoTextoFallido();
    void unMensajePorAccion();
};

void tst_ModBaseDatos::soloNumeros() {
    int c = 'a';
    const int antes = Screen::Pitidos();
    ModBaseDatos::SoloNumeros(c);
    QCOMPARE(c, 0);
    QCOMPARE(Screen::Pitidos(), antes + 1);

    // In a real field: letters, minus and Enter are refused, digits and Backspace work,
    // and pasting goes through unfiltered.
    QWidget ventana;
    auto *campo = new QLineEdit(&ventana);
    ModBaseDatos::FiltrarDigitos(campo);
    ventana.show();
    QApplication::setActiveWindow(&ventana);
    campo->setFocus();
    QTest::keyClicks(campo, QStringLiteral("1a2-3.4"));
    QTest::keyClick(campo, Qt::Key_Return);
    QCOMPARE(campo->text(), QStringLiteral("1234"));
    QTest::keyClick(campo, Qt::Key_Backspace);
    QCOMPARE(campo->text(), QStringLiteral("123"));
    QTest::keyClick(campo, Qt::Key_Left);
    QTest::keyClick(campo, Qt::Key_7);
    QCOMPARE(campo->text(), QStringLiteral("1273"));
    QApplication::clipboard()->setText(QStringLiteral("x9"));
    campo->end(false);
    QTest::keyClick(campo, Qt::Key_V, Qt::ControlModifier);
    if (QApplication::clipboard()->text() == QStringLiteral("x9")) // offscreen may lack one
        QCOMPARE(campo->text(), QStringLiteral("1273x9"));
}

void tst_ModBaseDatos::autocompletar() {
    QWidget ventana;
    auto *lista = new QComboBox(&ventana);
    ModBaseDatos::HacerCompletable(lista);
    int elecciones = 0;
    ModBaseDatos::AlElegir(lista, [&] { ++elecciones; });
    ventana.show();
    QApplication::setActiveWindow(&ventana);
    lista->setFocus();

    // An empty list: nothing changes.
    ModBaseDatos::BorrandoTexto = false;
    ModBaseDatos::Autocompletar(QStringLiteral("sal"), lista);
    QCOMPARE(lista->currentIndex(), -1);

    lista->addItems({QStringLiteral("Bufo spinosus"), QStringLiteral("Salamandra"),
                     QStringLiteral("Salamanquesa"), QStringLiteral("Ávila")});
    lista->setCurrentIndex(-1);
    elecciones = 0;

    // Typing "sal" completes to the first item beginning so, with the tail selected.
    QTest::keyClicks(lista, QStringLiteral("sal"));
    QCOMPARE(lista->currentIndex(), 1);
    QCOMPARE(lista->currentText(), QStringLiteral("Salamandra"));
    QCOMPARE(lista->lineEdit()->selectedText(), QStringLiteral("amandra"));
    QCOMPARE(elecciones, 1); // the completion is a choice, raised once

    // The next letter replaces the tail and completes again.
    QTest::keyClicks(lista, QStringLiteral("amanq"));
    QCOMPARE(lista->currentText(), QStringLiteral("Salamanquesa"));
    QCOMPARE(lista->lineEdit()->selectedText(), QStringLiteral("uesa"));

    // Backspace removes the tail and does not complete; the next letter completes again.
    QTest::keyClick(lista, Qt::Key_Backspace);
    QVERIFY(ModBaseDatos::BorrandoTexto);
    QCOMPARE(lista->currentText(), QStringLiteral("Salamanq"));
    QTest::keyClick(lista, Qt::Key_Backspace);
    QCOMPARE(lista->currentText(), QStringLiteral("Salaman"));
    QTest::keyClicks(lista, QStringLiteral("d"));
    QVERIFY(!ModBaseDatos::BorrandoTexto);
    QCOMPARE(lista->currentText(), QStringLiteral("Salamandra"));

    // Accented capitals match ignoring case; plain letters do not match accented ones.
    lista->setEditText(QString());
    ModBaseDatos::Autocompletar(QStringLiteral("á"), lista);
    QCOMPARE(lista->currentText(), QStringLiteral("Ávila"));
    // Emptying the text by program with the flag clear would complete to the first item.
    ModBaseDatos::BorrandoTexto = true;
    lista->setCurrentIndex(-1);
    lista->setEditText(QStringLiteral("a"));
    ModBaseDatos::BorrandoTexto = false;
    ModBaseDatos::Autocompletar(QStringLiteral("a"), lista);
    QCOMPARE(lista->currentIndex(), -1);

    // No way of emptying the list completes it to the first item, and cutting a tail does
    // not complete it back.
    const QList<QPair<const char *, std::function<void()>>> vaciados = {
        {"cut", [&] { QTest::keyClick(lista, Qt::Key_X, Qt::ControlModifier); }},
        {"delete", [&] { QTest::keyClick(lista, Qt::Key_Delete); }},
        {"backspace", [&] { QTest::keyClick(lista, Qt::Key_Backspace); }},
        {"program", [&] { lista->setEditText(QString()); }},
    };
    for (const auto &[como, vaciar] : vaciados) {
        ModBaseDatos::PonerTexto(lista, QStringLiteral("Salamandra"));
        lista->lineEdit()->selectAll();
        elecciones = 0;
        vaciar();
        QVERIFY2(lista->currentText().isEmpty(), como);
        QVERIFY2(lista->currentIndex() == -1 || elecciones == 0, como);
    }
    ModBaseDatos::PonerTexto(lista, QStringLiteral("Salamandra"));
    lista->lineEdit()->setSelection(4, 6);
    QTest::keyClick(lista, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(lista->currentText(), QStringLiteral("Sala"));

    // Choosing the item already chosen runs the handler again, once.
    elecciones = 0;
    ModBaseDatos::ElegirComoUsuario(lista, 0);
    QCOMPARE(elecciones, 1);
    ModBaseDatos::ElegirComoUsuario(lista, 2);
    QCOMPARE(elecciones, 2);
    ModBaseDatos::PonerTexto(lista, QStringLiteral("Salamandra"));
    QCOMPARE(elecciones, 3);
    QCOMPARE(lista->currentIndex(), 1);
}

void tst_ModBaseDatos::esperar() {
    // Events keep running while the pause lasts.
    ModBaseDatos::setEscalaEsperas(0.05);
    bool atendido = false;
    QTimer::singleShot(10, [&] { atendido = true; });
    QElapsedTimer t;
    t.start();
    ModBaseDatos::Esperar(2);
    QVERIFY(atendido);
    QVERIFY(t.elapsed() >= 90);

    // Across midnight the time of day jumps back; the pause ends at once.
    ModBaseDatos::setEscalaEsperas(1.0);
    double ahora = 86399.5;
    int lecturas = 0;
    ModBaseDatos::setReloj([&] {
        ++lecturas;
        const double v = ahora;
        ahora = 0.2;
        return v;
    });
    ModBaseDatos::Esperar(3);
    QCOMPARE(lecturas, 2);
    ModBaseDatos::setReloj(nullptr);
    ModBaseDatos::setEscalaEsperas(0.0);
}

void tst_ModBaseDatos::archivoTexto() {
    TestDatabase bd;
    QVERIFY(bd.Ejecutar(
        QStringLiteral("INSERT INTO observacion (observador1, fecha, horaini, numejemp, "
                       "descripcion, motivo, localidad) VALUES (?,?,?,?,?,?,?)"),
        {QStringLiteral("JPG"), QStringLiteral("2026-03-07"), QStringLiteral("09:30"), QVariant(),
         QStringLiteral("Bajo piedra; húmeda"), QStringLiteral("dijo \"hola\""),
         QStringLiteral("Peñíscola €")}));
    QVERIFY(bd.Ejecutar(
        QStringLiteral("INSERT INTO observacion (observador1, fecha, numejemp, descripcion) "
                       "VALUES ('ANA', '2026-12-01', 3, 'línea\nnueva 日')")));
    const QByteArray esperado =
        "id_observacion;observador1;fecha;horaini;numejemp;descripcion;motivo;localidad\r\n"
        "1;JPG;07/03/2026;09:30;;\"Bajo piedra; h\xfa"
        "meda\";\"dijo \"\"hola\"\"\";Pe\xf1\xed"
        "scola \x80\r\n"
        "2;ANA;01/12/2026;;3;\"l\xed"
        "nea\nnueva ?\";;\r\n"
        "\r\n";
    // A query read row by row, and one read straight from SQLite's statement, agree; both
    // count the two values that lost a character.
    const QString ruta = bd.carpeta() + QStringLiteral("/obs.txt");
    QFile f(ruta);
    for (const bool soloAvance : {false, true}) {
        QSqlQuery q(bd.db());
        q.setForwardOnly(soloAvance);
        QVERIFY(q.exec(QStringLiteral("SELECT id_observacion, observador1, fecha, horaini, "
                                      "numejemp, descripcion, motivo, localidad FROM observacion "
                                      "ORDER BY 1")));
        int sustituidos = -1;
        QVERIFY(ModBaseDatos::CrearArchivoTexto(&q, ruta, true, QStringLiteral(";"), nullptr,
                                                &sustituidos));
        QCOMPARE(sustituidos, 1);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), esperado);
        f.close();
    }
    QVERIFY(MessageService::Mostrados().isEmpty());

    // No rows: the header and the closing empty line.
    QSqlQuery q(bd.db());
    q.setForwardOnly(true);
    QVERIFY(q.exec(QStringLiteral("SELECT cod_observador, nombre FROM observador")));
    QVERIFY(ModBaseDatos::CrearArchivoTexto(&q, ruta, true, QStringLiteral(";")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("cod_observador;nombre\r\n\r\n"));
}

void tst_ModBaseDatos::archivoTextoFallido() {
    TestDatabase bd;
    QSqlQuery q(bd.db());
    QVERIFY(q.exec(QStringLiteral("SELECT * FROM motivo")));
    const QString ruta = bd.carpeta() + QStringLiteral("/no/existe/mot.txt");
    QVERIFY(!ModBaseDatos::CrearArchivoTexto(&q, ruta, true, QStringLiteral(";")));
    QVERIFY(!QFile::exists(ruta));
    QCOMPARE(MessageService::Ultimo().titulo, QStringLiteral("Crear archivo de texto"));
    QCOMPARE(MessageService::Ultimo().icono, QMessageBox::Information);
    QVERIFY(
        MessageService::Ultimo().texto.contains(QStringLiteral("No se puede crear el archivo")));

    QVERIFY(!ModBaseDatos::CrearArchivoTexto(nullptr, ruta, true, QStringLiteral(";")));
    QCOMPARE(MessageService::Ultimo().texto,
             QStringLiteral("No hay ningún objeto Recordset referenciado."));
    QSqlQuery cerrada(bd.db());
    QVERIFY(!ModBaseDatos::CrearArchivoTexto(&cerrada, ruta, true, QStringLiteral(";")));
    QCOMPARE(MessageService::Ultimo().texto, QStringLiteral("El objeto Recordset está cerrado."));

    // An existing file stays whole when the new one cannot be written.
    const QString existente = bd.carpeta() + QStringLiteral("/mot.txt");
    QFile f(existente);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("anterior");
    f.close();
    QVERIFY(!ModBaseDatos::CrearArchivoTexto(nullptr, existente, true, QStringLiteral(";")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("anterior"));
}

void tst_ModBaseDatos::unMensajePorAccion() {
    MessageService::setModoPrueba(true);
    MessageService::Limpiar();
    // A choice is one action: its first database failure is shown; the repeats and the
    // notice that follows from it are not, a question still is. Outside an action every
    // failure is shown.
    QComboBox lista;
    lista.addItems({QStringLiteral("a"), QStringLiteral("b")});
    QMessageBox::StandardButton respuesta = QMessageBox::NoButton;
    ModBaseDatos::AlElegir(&lista, [&] {
        for (const char *fallo : {"uno", "dos", "tres"}) {
            const MessageService::UserAction anidada;
            MessageService::MostrarFallo(nullptr, QString::fromLatin1(fallo));
        }
        MessageService::Mostrar(nullptr, QStringLiteral("El campo Provincia es obligatorio."));
        respuesta =
            MessageService::Mostrar(nullptr, QStringLiteral("¿Seguir?"), QStringLiteral("Tritodex"),
                                    QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    });
    MessageService::EncolarRespuesta(QMessageBox::Ok);
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    ModBaseDatos::ElegirComoUsuario(&lista, 1);
    MessageService::MostrarFallo(nullptr, QStringLiteral("cuatro"));
    MessageService::MostrarFallo(nullptr, QStringLiteral("cinco"));
    QStringList textos;
    for (const auto &m : MessageService::Mostrados())
        textos << m.texto;
    QCOMPARE(textos, QStringList({"uno", "¿Seguir?", "cuatro", "cinco"}));
    QCOMPARE(respuesta, QMessageBox::Yes);
    // The next choice is a new action.
    MessageService::Limpiar();
    ModBaseDatos::ElegirComoUsuario(&lista, 0);
    QCOMPARE(MessageService::Mostrados().size(), 2);
}

QTEST_MAIN(tst_ModBaseDatos)
#include "tst_ModBaseDatos.moc"
