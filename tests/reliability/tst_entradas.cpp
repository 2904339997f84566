#include "Corpus.h"
#include "FormRegistry.h"
#include "TestHooks.h"
#include "support/TestDatabase.h"

#include "data/ModBaseDatos.h"
#include "gui/MessageService.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QDateTimeEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

// Every input of the corpus, typed, pasted and cut, into every text field and editable list of
// every registered form, then its save: nothing may crash, every refusal is a message box,
// and a reported save stores exactly what the form showed.
class tst_entradas : public QObject {
    Q_OBJECT
private slots:
    void entradas_data();
    void entradas();
    void teclado();

private:
    // One fresh database per form; each case starts from its first contents.
    void Base(const FormRegistry::Formulario &f);
    std::unique_ptr<TestDatabase> bd;
    QString formBase;
};

void tst_entradas::Base(const FormRegistry::Formulario &f) {
    if (!bd || formBase != f.nombre) {
        bd.reset(); // the old connection goes before the new one opens
        bd = std::make_unique<TestDatabase>();
        TestHooks::Instalar(); // the old database took the answers with it
        for (const QString &s : f.datos.split(u";\n"_s, Qt::SkipEmptyParts))
            QVERIFY(bd->Ejecutar(s));
        // A throwaway file: the cases need not wait for the disk.
        QVERIFY(bd->Ejecutar(u"PRAGMA synchronous = OFF"_s));
        const QString copia = bd->carpeta() + u"/inicial.db"_s;
        QVERIFY(bd->Ejecutar(u"VACUUM INTO ?"_s, {copia}));
        QVERIFY(bd->Ejecutar(u"ATTACH DATABASE ? AS inicial"_s, {copia}));
        formBase = f.nombre;
    }
    QVERIFY(bd->Ejecutar(u"BEGIN"_s));
    for (const QString &t : FormRegistry::Tablas()) {
        QVERIFY(bd->Ejecutar(u"DELETE FROM "_s + t));
        QVERIFY(bd->Ejecutar(u"INSERT INTO %1 SELECT * FROM inicial.%1"_s.arg(t)));
    }
    QVERIFY(bd->Ejecutar(u"COMMIT"_s));
    MessageService::Limpiar();
}

void tst_entradas::entradas_data() {
    QTest::addColumn<QString>("formulario");
    QTest::addColumn<QString>("campo");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<Corpus::Modo>("modo");
    // Cutting is tried with a few inputs; typing and pasting with all but the longest texts,
    // which are pasted only.
    const QStringList paraCortar = {u"comilla"_s, u"emoji_en_7"_s, u"blancos_alrededor"_s,
                                    u"int32_mas_1"_s};
    const QStringList soloPegar = {u"largo_maximo"_s, u"largo_maximo_mas_1"_s};
    // TRITODEX_ENTRADAS_UN_MODO=1 gives each input to each field in one of its ways only, in
    // turn (the sanitizers' run: every field still meets every input).
    const bool unModo = qEnvironmentVariableIntValue("TRITODEX_ENTRADAS_UN_MODO") == 1;
    int turno = 0;
    const char *const nombresModo[] = {"tecleado", "pegado", "cortado"};
    for (const FormRegistry::Formulario &f : FormRegistry::Registro()) {
        Base(f);
        std::unique_ptr<QWidget> w(f.abrir());
        w->show();
        f.rellenar(w.get());
        for (QWidget *campo : Corpus::Campos(w.get()))
            for (const Corpus::Entrada &e : Corpus::Para(campo)) {
                QList<Corpus::Modo> modos = {Corpus::Modo::Pegado};
                if (!soloPegar.contains(e.nombre)) modos.prepend(Corpus::Modo::Tecleado);
                if (paraCortar.contains(e.nombre)) modos << Corpus::Modo::Cortado;
                if (unModo) modos = {modos[turno++ % modos.size()]};
                for (const auto modo : std::as_const(modos))
                    QTest::addRow("%s/%s/%s/%s", qPrintable(f.nombre),
                                  qPrintable(campo->objectName()), qPrintable(e.nombre),
                                  nombresModo[int(modo)])
                        << f.nombre << campo->objectName() << e.texto << modo;
            }
    }
}

void tst_entradas::entradas() {
    QFETCH(QString, formulario);
    QFETCH(QString, campo);
    QFETCH(QString, texto);
    QFETCH(Corpus::Modo, modo);
    const auto *f = FormRegistry::Buscar(formulario);
    QVERIFY(f);
    Base(*f);
    TestHooks::Vigia vigia;
    std::unique_ptr<QWidget> w(f->abrir());
    vigia.Permitir(w.get());
    w->show();
    f->rellenar(w.get());
    QWidget *control = w->findChild<QWidget *>(campo);
    QVERIFY(control);

    const qsizetype avisos = MessageService::Mostrados().size();
    QStringList problemas;
    const auto anotar = [&](const QString &que) { problemas << formulario + u'/' + campo + que; };
    Corpus::Introducir(control, texto, modo);
    // A refused paste is reported once the field has its text back.
    QApplication::processEvents();
    const QString ahora = Corpus::Mostrado(control);
    // The valid values leave no check pending, so the focus stays where the user types.
    QWidget *foco = QApplication::focusWidget();
    if (!control->hasFocus() && !control->isAncestorOf(foco))
        anotar(u": el foco se va a «%1» mientras se escribe"_s.arg(foco ? foco->objectName()
                                                                        : QString()));
    const bool cortado = modo == Corpus::Modo::Cortado;
    if (cortado && !ahora.isEmpty() && !qobject_cast<QAbstractSpinBox *>(control))
        anotar(u": el corte deja «"_s + ahora + u'»');
    // A paste past Qt's own limit: taken whole, or refused whole with a message, never cut;
    // descriptions and names take the longest text, and no field takes one more.
    if (modo == Corpus::Modo::Pegado && texto.size() > 32767 &&
        !qobject_cast<QAbstractSpinBox *>(control)) {
        const bool entero = ahora == texto;
        const bool largo = texto.size() > ModBaseDatos::kMaximoTexto;
        if (!entero && !ahora.isEmpty() && texto.startsWith(ahora))
            anotar(u": el texto pegado se corta a %1 caracteres"_s.arg(ahora.size()));
        if (!entero && MessageService::Mostrados().size() == avisos)
            anotar(u": rechaza el texto pegado sin decir por qué"_s);
        if (entero && largo)
            anotar(u": admite %1 caracteres, más de %2"_s.arg(texto.size())
                       .arg(ModBaseDatos::kMaximoTexto));
        if (!entero && !largo && f->textosLargos.contains(campo))
            anotar(u": no admite %1 caracteres"_s.arg(texto.size()));
    }
    static const QRegularExpression numero(u"^[0-9]+$"_s);
    if (f->numericos.contains(campo) && !cortado && numero.match(texto).hasMatch() &&
        ahora != texto && MessageService::Mostrados().size() == avisos)
        anotar(u": número cambiado sin aviso: «%1» muestra «%2»"_s.arg(texto, ahora));

    // The save buttons in turn, so that each one meets every kind of input.
    auto *b = w->findChild<QPushButton *>(f->guardar.at(int(modo) % f->guardar.size()));
    QVERIFY(b);
    FormRegistry::Guardado guardado(*f, w.get());
    QTest::mouseClick(b, Qt::LeftButton);
    QApplication::processEvents();
    problemas << guardado.Comprobar() << vigia.Tomar();

    if (const QString motivo =
            FormRegistry::FalloConocido(QString::fromLatin1(QTest::currentDataTag()));
        !motivo.isEmpty())
        QEXPECT_FAIL("", qPrintable(motivo), Abort);
    QVERIFY2(problemas.isEmpty(), qPrintable(problemas.join(u"\n   "_s)));
}

namespace {

// The control that holds a widget with the focus: its outermost ancestor in the form that
// takes the focus by Tab (a list's own edit, a grid's viewport, a spin box's text are parts).
QWidget *Control(QWidget *formulario, QWidget *w) {
    QWidget *control = nullptr;
    for (; w && w != formulario; w = w->parentWidget())
        if (w->focusPolicy() & Qt::TabFocus) control = w;
    return w == formulario ? control : nullptr;
}

// The controls the keyboard must reach, in the form's own tab order.
QList<QWidget *> Enfocables(QWidget *formulario) {
    QList<QWidget *> r;
    for (QWidget *w = formulario->nextInFocusChain(); w != formulario; w = w->nextInFocusChain())
        if (QWidget *c = Control(formulario, w);
            c && !r.contains(c) && c->isVisibleTo(formulario) && c->isEnabled())
            r << c;
    return r;
}

QString Nombres(const QList<QWidget *> &controles) {
    QStringList r;
    for (QWidget *c : controles)
        r << (c ? c->objectName() : u"<ninguno>"_s);
    return r.join(u' ');
}

// From the first control, each key in turn until the focus is back on it (or has gone
// round twice): the controls met, the first one last.
QList<QWidget *> Recorrido(QWidget *formulario, QWidget *primero, Qt::Key tecla,
                           Qt::KeyboardModifiers mod, int maximo) {
    primero->setFocus(Qt::TabFocusReason);
    QList<QWidget *> r;
    for (int i = 0; i < maximo; ++i) {
        QWidget *foco = QApplication::focusWidget();
        if (!foco) break;
        QTest::keyClick(foco, tecla, mod);
        r << Control(formulario, QApplication::focusWidget());
        if (r.last() == primero) break;
    }
    return r;
}

} // namespace

// Every registered form by the keyboard alone: from the first control Tab reaches every
// control that takes the focus and comes back round, Shift+Tab walks back the same way;
// Escape leaves the form as its exit button does, and Enter presses a focused button.
void tst_entradas::teclado() {
    QStringList problemas;
    for (const FormRegistry::Formulario &f : FormRegistry::Registro()) {
        Base(f);
        TestHooks::Vigia vigia;
        std::unique_ptr<QWidget> w;
        const auto abrir = [&] {
            w.reset(f.abrir());
            vigia.Permitir(w.get());
            w->show();
            QApplication::setActiveWindow(w.get());
        };
        abrir();
        const QList<QWidget *> todos = Enfocables(w.get());
        QVERIFY2(!todos.isEmpty(), qPrintable(f.nombre));
        const auto anotar = [&](const QString &que) { problemas << f.nombre + u": "_s + que; };

        int maximo = 2 * int(todos.size()) + 2;
        for (QWidget *c : todos)
            if (auto *fecha = qobject_cast<QDateTimeEdit *>(c)) maximo += fecha->sectionCount();
        const QList<QWidget *> adelante =
            Recorrido(w.get(), todos.first(), Qt::Key_Tab, Qt::NoModifier, maximo);
        for (QWidget *c : todos)
            if (!adelante.contains(c)) anotar(u"Tab no llega a "_s + c->objectName());
        if (adelante.isEmpty() || adelante.last() != todos.first())
            anotar(u"Tab no vuelve al primero: "_s + Nombres(adelante));
        // A date or time field's own Tab goes through its sections, then on.
        for (qsizetype i = 1, seguidos = 0; i < adelante.size(); ++i) {
            seguidos = adelante[i] == adelante[i - 1] ? seguidos + 1 : 0;
            auto *fecha = qobject_cast<QDateTimeEdit *>(adelante[i]);
            if (seguidos > (fecha ? fecha->sectionCount() - 1 : 0))
                anotar(u"Tab queda atrapado en "_s + Nombres({adelante[i]}));
        }
        QList<QWidget *> esperado(adelante.crbegin() + 1, adelante.crend());
        esperado << todos.first();
        const QList<QWidget *> atras =
            Recorrido(w.get(), todos.first(), Qt::Key_Backtab, Qt::ShiftModifier, maximo);
        if (atras != esperado)
            anotar(u"Mayús+Tab recorre «%1», no «%2»"_s.arg(Nombres(atras), Nombres(esperado)));

        // Escape from the first control: the form goes, by its exit button where it has one.
        QString salida;
        for (QWidget *c : todos)
            if (auto *b = qobject_cast<QPushButton *>(c))
                connect(b, &QAbstractButton::clicked, w.get(),
                        [&salida, b] { salida = b->objectName(); });
        todos.first()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QApplication::processEvents();
        if (w->isVisible()) anotar(u"Escape no cierra"_s);
        // Enter on a focused button presses it: the exit button, or the first button.
        abrir();
        auto *boton = salida.isEmpty() ? nullptr : w->findChild<QPushButton *>(salida);
        if (!boton)
            for (QWidget *c : Enfocables(w.get()))
                if ((boton = qobject_cast<QPushButton *>(c))) break;
        if (boton) {
            QSignalSpy pulsado(boton, &QAbstractButton::clicked);
            boton->setFocus(Qt::TabFocusReason);
            QTest::keyClick(boton, Qt::Key_Return);
            QApplication::processEvents();
            if (pulsado.count() != 1) anotar(u"Intro no pulsa "_s + boton->objectName());
        }
        for (const QString &i : vigia.Tomar())
            anotar(u"ventana fuera de los ganchos: "_s + i);
    }
    QVERIFY2(problemas.isEmpty(), qPrintable(problemas.join(u"\n   "_s)));
}

QTEST_MAIN(tst_entradas)
#include "tst_entradas.moc"
