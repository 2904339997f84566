#include "Corpus.h"
#include "FormRegistry.h"
#include "KnownFaults.h"
#include "TestHooks.h"
#include "support/TestDatabase.h"

#include "data/ModConex.h"
#include "gui/MessageService.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

// Every input of the corpus, typed, pasted and cut, into every text field and editable list of
// every registered form, then its save: nothing may crash, every refusal is a message box,
// and a reported save stores exactly what the form showed.
class tst_entradas : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void entradas_data();
    void entradas();

private:
    // One fresh database per form; each case starts from its first contents.
    void Base(const FormRegistry::Formulario &f);
    void Restaurar();
    std::unique_ptr<TestDatabase> bd;
    QString formBase;
    int casos = 0;
};

void tst_entradas::initTestCase() {
    TestHooks::Instalar();
}

void tst_entradas::cleanupTestCase() {
    TestHooks::Quitar();
    qInfo("%d cases", casos);
}

void tst_entradas::Base(const FormRegistry::Formulario &f) {
    if (bd && formBase == f.nombre) return;
    bd.reset();
    bd = std::make_unique<TestDatabase>();
    QVERIFY(bd->ok());
    TestHooks::Instalar();
    for (const QString &s : f.datos.split(u";\n"_s, Qt::SkipEmptyParts))
        QVERIFY(bd->Ejecutar(s));
    // A throwaway file: the cases need not wait for the disk.
    QVERIFY(bd->Ejecutar(u"PRAGMA synchronous = OFF"_s));
    const QString copia = bd->carpeta() + u"/inicial.db"_s;
    QVERIFY(bd->Ejecutar(u"VACUUM INTO ?"_s, {copia}));
    QVERIFY(bd->Ejecutar(u"ATTACH DATABASE ? AS inicial"_s, {copia}));
    formBase = f.nombre;
}

void tst_entradas::Restaurar() {
    QVERIFY(bd->Ejecutar(u"BEGIN"_s));
    for (const char *t : {"observador", "DefaultObs", "localidad", "observacion"}) {
        const QString tabla = QLatin1String(t);
        QVERIFY(bd->Ejecutar(u"DELETE FROM "_s + tabla));
        QVERIFY(bd->Ejecutar(u"INSERT INTO "_s + tabla + u" SELECT * FROM inicial."_s + tabla));
    }
    QVERIFY(bd->Ejecutar(u"COMMIT"_s));
    MessageService::Limpiar();
}

void tst_entradas::entradas_data() {
    QTest::addColumn<QString>("formulario");
    QTest::addColumn<QString>("campo");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<int>("modo");
    // Cutting is tried with a few inputs; typing and pasting with all.
    const QStringList paraCortar = {u"comilla"_s, u"emoji_en_7"_s, u"blancos_alrededor"_s,
                                    u"int32_mas_1"_s};
    for (const FormRegistry::Formulario &f : FormRegistry::Registro()) {
        Base(f);
        Restaurar();
        std::unique_ptr<QWidget> w(f.abrir());
        w->show();
        f.rellenar(w.get());
        for (QWidget *campo : Corpus::Campos(w.get()))
            for (const Corpus::Entrada &e : Corpus::Para(campo))
                for (const auto modo :
                     {Corpus::Modo::Tecleado, Corpus::Modo::Pegado, Corpus::Modo::Cortado}) {
                    if (modo == Corpus::Modo::Cortado && !paraCortar.contains(e.nombre)) continue;
                    const QString tag = f.nombre + u'/' + campo->objectName() + u'/' + e.nombre +
                                        u'/' + Corpus::NombreModo(modo);
                    QTest::newRow(qPrintable(tag))
                        << f.nombre << campo->objectName() << e.texto << int(modo);
                }
    }
}

void tst_entradas::entradas() {
    QFETCH(QString, formulario);
    QFETCH(QString, campo);
    QFETCH(QString, texto);
    QFETCH(int, modo);
    const auto *f = FormRegistry::Buscar(formulario);
    QVERIFY(f);
    Base(*f);
    Restaurar();
    ++casos;
    TestHooks::Vigia vigia;
    std::unique_ptr<QWidget> w(f->abrir());
    vigia.Permitir(w.get());
    w->show();
    f->rellenar(w.get());
    QWidget *control = w->findChild<QWidget *>(campo);
    QVERIFY(control);

    const qsizetype avisos = MessageService::Mostrados().size();
    QStringList problemas;
    Corpus::Introducir(control, texto, Corpus::Modo(modo));
    // A refused paste is reported once the field has its text back.
    QApplication::processEvents();
    const QString ahora = Corpus::Mostrado(control);
    // The valid values leave no check pending, so the focus stays where the user types.
    QWidget *foco = QApplication::focusWidget();
    if (!control->hasFocus() && !control->isAncestorOf(foco))
        problemas << formulario + u'/' + campo + u": el foco se va a «"_s +
                         (foco ? foco->objectName() : QString()) + u"» mientras se escribe"_s;
    if (Corpus::Modo(modo) == Corpus::Modo::Cortado && !ahora.isEmpty() &&
        !qobject_cast<QAbstractSpinBox *>(control))
        problemas << formulario + u'/' + campo + u": el corte deja «"_s + ahora + u'»';
    const bool sinAviso = MessageService::Mostrados().size() == avisos;
    const bool numero =
        !texto.isEmpty() && QRegularExpression(u"^[0-9]+$"_s).match(texto).hasMatch();
    if (f->numericos.contains(campo) && Corpus::Modo(modo) != Corpus::Modo::Cortado && numero &&
        ahora != texto && sinAviso)
        problemas << formulario + u'/' + campo + u": número cambiado sin aviso: «"_s + texto +
                         u"» muestra «"_s + ahora + u'»';

    // The save buttons in turn, so that each one meets every kind of input.
    const QString boton = f->guardar.at(modo % f->guardar.size());
    auto *b = w->findChild<QPushButton *>(boton);
    QVERIFY(b);
    FormRegistry::Guardado guardado(*f, w.get());
    QTest::mouseClick(b, Qt::LeftButton);
    QApplication::processEvents();
    problemas << guardado.Comprobar();
    problemas << vigia.Tomar();

    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    if (const QString motivo = KnownFaults::Caso(tag); !motivo.isEmpty())
        QEXPECT_FAIL("", qPrintable(motivo), Abort);
    QVERIFY2(problemas.isEmpty(), qPrintable(problemas.join(u"\n   "_s)));
}

QTEST_MAIN(tst_entradas)
#include "tst_entradas.moc"
