#include "data/Clock.h"
#include "support/Files.h"
#include "support/TestDatabase.h"

#include "data/ModBaseDatos.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class tst_ModBaseDatos : public QObject {
    Q_OBJECT
private slots:
    void teclado();
    void esperar();
    void archivoTexto();
    void unMensajePorAccion();
};

void tst_ModBaseDatos::teclado() {
    QWidget ventana;
    auto *campo = new QLineEdit(&ventana);
    ModBaseDatos::FiltrarDigitos(campo);
    auto *lista = new QComboBox(&ventana);
    ModBaseDatos::HacerCompletable(lista);
    int elecciones = 0;
    ModBaseDatos::AlElegir(lista, [&] { ++elecciones; });
    ventana.show();
    QApplication::setActiveWindow(&ventana);

    // A digit field refuses other characters with a beep, but not the editing keys nor a paste.
    campo->setFocus();
    const int antes = Screen::Pitidos();
    QTest::keyClicks(campo, u"1a2-3.4"_s);
    QCOMPARE(Screen::Pitidos(), antes + 3);
    for (const Qt::Key tecla : {Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Left, Qt::Key_7})
        QTest::keyClick(campo, tecla);
    QCOMPARE(campo->text(), u"1273"_s);
    QApplication::clipboard()->setText(u"x9"_s);
    campo->end(false);
    QTest::keyClick(campo, Qt::Key_V, Qt::ControlModifier);
    if (QApplication::clipboard()->text() == u"x9"_s) // offscreen may lack one
        QCOMPARE(campo->text(), u"1273x9"_s);

    lista->setFocus();
    ModBaseDatos::BorrandoTexto = false;
    ModBaseDatos::Autocompletar(u"sal"_s, lista); // an empty list: nothing to complete to
    QCOMPARE(lista->currentIndex(), -1);
    lista->addItems({u"Bufo spinosus"_s, u"Salamandra"_s, u"Salamanquesa"_s, u"Ávila"_s});
    lista->setCurrentIndex(-1);
    elecciones = 0;

    // Each letter typed completes to the first item so begun, the tail selected so that the
    // next letter replaces it; Backspace removes the tail, then a letter, and never completes.
    const QList<QPair<QString, QString>> pasos = {
        {u"sal"_s, u"Salamandra|amandra"_s}, {u"amanq"_s, u"Salamanquesa|uesa"_s},
        {u"\b"_s, u"Salamanq|"_s},           {u"\b"_s, u"Salaman|"_s},
        {u"d"_s, u"Salamandra|ra"_s},
    };
    for (const auto &[teclas, esperado] : pasos) {
        if (teclas == u"\b"_s)
            QTest::keyClick(lista, Qt::Key_Backspace);
        else
            QTest::keyClicks(lista, teclas);
        QCOMPARE(lista->currentText() + u'|' + lista->lineEdit()->selectedText(), esperado);
        if (teclas == u"sal"_s) // the completion is a choice, raised once
            QVERIFY(lista->currentIndex() == 1 && elecciones == 1);
    }

    // Case is ignored over Unicode, accents are not.
    for (const auto &[texto, indice] : {std::pair{u"á"_s, 3}, std::pair{u"a"_s, -1}}) {
        ModBaseDatos::BorrandoTexto = true; // sets the text without completing
        lista->setCurrentIndex(-1);
        lista->setEditText(texto);
        ModBaseDatos::BorrandoTexto = false;
        ModBaseDatos::Autocompletar(texto, lista);
        QCOMPARE(lista->currentIndex(), indice);
    }

    // No way of emptying the text completes it to the first item (by program included), and
    // cutting a tail does not complete it back.
    const QList<std::tuple<int, Qt::Key, Qt::KeyboardModifier, QString>> vaciados = {
        {0, Qt::Key_X, Qt::ControlModifier, QString()},
        {0, Qt::Key_Delete, Qt::NoModifier, QString()},
        {0, Qt::Key_Backspace, Qt::NoModifier, QString()},
        {0, Qt::Key_unknown, Qt::NoModifier, QString()},
        {4, Qt::Key_X, Qt::ControlModifier, u"Sala"_s}};
    for (const auto &[desde, tecla, modificador, queda] : vaciados) {
        ModBaseDatos::PonerTexto(lista, u"Salamandra"_s);
        lista->lineEdit()->setSelection(desde, 10 - desde);
        elecciones = 0;
        if (tecla == Qt::Key_unknown)
            lista->setEditText(QString());
        else
            QTest::keyClick(lista, tecla, modificador);
        QVERIFY2(lista->currentText() == queda && (lista->currentIndex() == -1 || elecciones == 0),
                 qPrintable(QString::number(tecla, 16)));
    }

    // Each choice runs the handler once, the item already chosen included.
    elecciones = 0;
    ModBaseDatos::ElegirComoUsuario(lista, 0);
    ModBaseDatos::ElegirComoUsuario(lista, 0);
    QCOMPARE(elecciones, 2);
    ModBaseDatos::PonerTexto(lista, u"Salamandra"_s);
    QCOMPARE(QList<int>({elecciones, lista->currentIndex()}), QList<int>({3, 1}));
}

void tst_ModBaseDatos::esperar() {
    // Events keep running while the pause lasts.
    ModBaseDatos::setEscalaEsperas(0.05);
    bool atendido = false;
    QTimer::singleShot(10, [&] { atendido = true; });
    QElapsedTimer t;
    t.start();
    ModBaseDatos::Esperar(2);
    QVERIFY(atendido && t.elapsed() >= 90);

    // Across midnight the time of day jumps back; the pause ends at once.
    ModBaseDatos::setEscalaEsperas(1.0);
    int ahora = 86399500;
    int lecturas = 0;
    Clock::setPrueba([&] {
        ++lecturas;
        return QDateTime(QDate(2026, 1, 1),
                         QTime::fromMSecsSinceStartOfDay(std::exchange(ahora, 200)));
    });
    ModBaseDatos::Esperar(3);
    QCOMPARE(lecturas, 2);
    Clock::setPrueba(nullptr);
    ModBaseDatos::setEscalaEsperas(0.0);
}

void tst_ModBaseDatos::archivoTexto() {
    TestDatabase bd;
    // No rows: the header and the empty line.
    const QByteArray vacio = "cod_observador;nombre\r\n\r\n";
    const QString ruta = bd.carpeta() + u"/obs.txt"_s;
    // The file written, then "|" and the count of characters replaced.
    const auto escribir = [&](bool soloAvance, const QString &sql) {
        QSqlQuery q(bd.db());
        q.setForwardOnly(soloAvance);
        int sustituidos = -1;
        const bool hecho = q.exec(sql) && ModBaseDatos::CrearArchivoTexto(&q, ruta, true, u";"_s,
                                                                          nullptr, &sustituidos);
        return hecho ? Files::Read(ruta) + '|' + QByteArray::number(sustituidos)
                     : QByteArray("(not written)");
    };
    QCOMPARE(escribir(true, u"SELECT cod_observador, nombre FROM observador"_s), vacio + "|0");
    QVERIFY(MessageService::Mostrados().isEmpty());

    // No statement, or a closed one: told as a failure, the old file left whole (a file that
    // cannot be made: tst_frfitxer).
    QSqlQuery cerrada(bd.db());
    for (const auto &[consulta, texto] :
         {std::pair{(QSqlQuery *)nullptr, u"No hay ningún objeto Recordset referenciado."_s},
          std::pair{&cerrada, u"El objeto Recordset está cerrado."_s}}) {
        QVERIFY(!ModBaseDatos::CrearArchivoTexto(consulta, ruta, true, u";"_s));
        const auto m = MessageService::Ultimo();
        QVERIFY2(m.texto.startsWith(texto), qPrintable(m.texto));
        QVERIFY(m.titulo == u"Crear archivo de texto"_s && m.icono == QMessageBox::Warning);
    }
    QCOMPARE(Files::Read(ruta), vacio);

    // Windows-1252 bytes, "?" (counted) for what the code page lacks. Quotes only where the
    // separator or a line break would split the record; a quote alone is read right by a
    // plain reader, and stays as it is. A scrollable query and a forward-only one take
    // different paths, and must agree.
    const struct {
        const char *valor, *escrito;
    } comillas[] = {
        {"dijo \"hola\"", "dijo \"hola\""},
        {"\"", "\""},
        {"\"entre comillas\"", "\"entre comillas\""},
        {"5\" de arco", "5\" de arco"},
        {"a;b", "\"a;b\""},
        {";", "\";\""},
        {"a;\"b\"", "\"a;\"\"b\"\"\""},
        {"l\u00ednea\nnueva", "\"l\xed"
                              "nea\nnueva\""},
        {"fin\r", "\"fin\r\""},
        {"\"cita\"\r\notra", "\"\"\"cita\"\"\r\notra\""},
        {"sin nada", "sin nada"},
        {"Pe\u00f1\u00edscola \u20ac \u65e5", "Pe\xf1\xed"
                                              "scola \x80 ?"},
    };
    QByteArray escrito = "descripcion\r\n";
    for (const auto &c : comillas) {
        QVERIFY(bd.Ejecutar(u"INSERT INTO observacion (descripcion) VALUES (?)"_s,
                            {QString::fromUtf8(c.valor)}));
        escrito += QByteArray(c.escrito) + "\r\n";
    }
    for (const bool soloAvance : {false, true}) {
        QCOMPARE(
            escribir(soloAvance, u"SELECT descripcion FROM observacion ORDER BY id_observacion"_s),
            escrito + "\r\n|1");
    }
}

void tst_ModBaseDatos::unMensajePorAccion() {
    MessageService::setModoPrueba(true);
    MessageService::Limpiar();
    // A choice is one action: its first database failure is shown; the repeats and the
    // notice that follows from it are not, a question still is. Outside an action every
    // failure is shown.
    QComboBox lista;
    lista.addItems({u"a"_s, u"b"_s});
    QMessageBox::StandardButton respuesta = QMessageBox::NoButton;
    ModBaseDatos::AlElegir(&lista, [&] {
        for (const char *fallo : {"uno", "dos", "tres"}) {
            const MessageService::UserAction anidada;
            MessageService::MostrarFallo(nullptr, QString::fromLatin1(fallo));
        }
        MessageService::Mostrar(nullptr, u"El campo Provincia es obligatorio."_s);
        respuesta =
            MessageService::Mostrar(nullptr, u"¿Seguir?"_s, u"Tritodex"_s, QMessageBox::Question,
                                    QMessageBox::Yes | QMessageBox::No);
    });
    MessageService::EncolarRespuesta(QMessageBox::Ok);
    MessageService::EncolarRespuesta(QMessageBox::Yes);
    ModBaseDatos::ElegirComoUsuario(&lista, 1);
    MessageService::MostrarFallo(nullptr, u"cuatro"_s);
    MessageService::MostrarFallo(nullptr, u"cinco"_s);
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
