#include "Corpus.h"
#include "FormRegistry.h"
#include "TestHooks.h"
#include "support/TestDatabase.h"

#include "gui/MessageService.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

// Every input of the corpus, typed, pasted and cut, into every text field and editable list of
// every registered form, then its save: nothing may crash, every refusal is a message box,
// and a reported save stores exactly what the form showed.
class tst_entradas : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestHooks::Instalar(); }
    void entradas_data();
    void entradas();

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
        QVERIFY(bd->ok());
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
    // Cutting is tried with a few inputs; typing and pasting with all.
    const QStringList paraCortar = {u"comilla"_s, u"emoji_en_7"_s, u"blancos_alrededor"_s,
                                    u"int32_mas_1"_s};
    for (const FormRegistry::Formulario &f : FormRegistry::Registro()) {
        Base(f);
        std::unique_ptr<QWidget> w(f.abrir());
        w->show();
        f.rellenar(w.get());
        for (QWidget *campo : Corpus::Campos(w.get()))
            for (const Corpus::Entrada &e : Corpus::Para(campo))
                for (const auto modo :
                     {Corpus::Modo::Tecleado, Corpus::Modo::Pegado, Corpus::Modo::Cortado})
                    if (modo != Corpus::Modo::Cortado || paraCortar.contains(e.nombre))
                        QTest::addRow("%s/%s/%s/%s", qPrintable(f.nombre),
                                      qPrintable(campo->objectName()), qPrintable(e.nombre),
                                      qPrintable(Corpus::NombreModo(modo)))
                            << f.nombre << campo->objectName() << e.texto << modo;
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

QTEST_MAIN(tst_entradas)
#include "tst_entradas.moc"
