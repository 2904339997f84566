#include "support/BaseDatosPrueba.h"

#include "data/Mensajes.h"
#include "data/ModConex.h"
#include "observers/frinsObs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class tst_frinsObs : public QObject {
    Q_OBJECT
private slots:
    void camposObligatorios();
    void insercion();
    void fallosNoGuardanNada();
};

namespace {

QLineEdit *Campo(QWidget *d, const char *nombre) {
    return d->findChild<QLineEdit *>(QString::fromLatin1(nombre));
}
void Insertar(QWidget *d) {
    QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("CdIns")), Qt::LeftButton);
}
// A click on the box itself, where the user aims.
void Marcar(QWidget *d) {
    auto *casilla = d->findChild<QCheckBox *>(QStringLiteral("Ckdef"));
    QTest::mouseClick(casilla, Qt::LeftButton, {}, QPoint(6, casilla->height() / 2));
}
// Types code, first name, surname, organisation and mail; an empty text empties the field.
void Rellenar(QWidget *d, const QStringList &v) {
    const char *campos[] = {"Txcod", "Txnomobs", "Txcognom", "Txentidad", "Txmail"};
    for (int i = 0; i < 5; ++i)
        Usuario::Escribir(Campo(d, campos[i]), v.value(i));
}
QString Fila(const BaseDatosPrueba &bd, const QString &codigo) {
    return bd
        .Valor(QStringLiteral("SELECT nombre || '|' || apellido || '|' || entidad || '|' || email "
                              "|| '|' || provincia "
                              "FROM observador WHERE cod_observador = ?"),
               {codigo})
        .toString();
}
QString Predeterminado(const BaseDatosPrueba &bd) {
    return bd.Valor(QStringLiteral("SELECT cd_obs FROM DefaultObs")).toString();
}

} // namespace

void tst_frinsObs::camposObligatorios() {
    BaseDatosPrueba bd;
    frinsObs d;
    d.show();
    // The message names the last empty one of code, first name, organisation and mail.
    const QList<QPair<QStringList, QString>> casos = {
        {{"", "", "", "", ""}, "Mail"},
        {{"", "", "", "", "m@x.es"}, "Entidad"},
        {{"", "", "", "SHE", "m@x.es"}, "Nombre observador"},
        {{"", "Ana", "Ruiz", "SHE", "m@x.es"}, "Código Observador"},
        {{"AR1", "Ana", "", "SHE", ""}, "Mail"},
    };
    for (const auto &[valores, nombre] : casos) {
        Mensajes::Limpiar();
        Rellenar(&d, valores);
        Insertar(&d);
        QCOMPARE(Mensajes::Mostrados().size(), 1);
        QCOMPARE(Mensajes::Ultimo().texto,
                 QStringLiteral("El campo ") + nombre + QStringLiteral(" es obligatorio."));
        QCOMPARE(Mensajes::Ultimo().titulo, QStringLiteral("Datos incompletos"));
        QCOMPARE(Mensajes::Ultimo().icono, QMessageBox::Warning);
        QCOMPARE(Campo(&d, "Txcognom")->text(), valores[2]);
    }
    QCOMPARE(bd.Contar(QStringLiteral("observador")), 0);
    QVERIFY(d.isVisible());

    // The code takes 7 characters; blanks count as filled; surname and province may
    // stay empty; the default is left alone.
    bd.Ejecutar(QStringLiteral("UPDATE DefaultObs SET cd_obs = 'PREV'"));
    Rellenar(&d, {"BLA19801", " ", "", " ", "b@x.es"});
    Insertar(&d);
    QCOMPARE(Fila(bd, "BLA1980"), QStringLiteral(" || |b@x.es|"));
    QCOMPARE(Predeterminado(bd), QStringLiteral("PREV"));
    QCOMPARE(Mensajes::Ultimo().texto,
             QStringLiteral("Se ha registrado el Observador BLA1980 en la base de datos"));
    QCOMPARE(Mensajes::Ultimo().titulo, QStringLiteral("Tritodex"));
    QCOMPARE(Mensajes::Ultimo().icono, QMessageBox::NoIcon);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QVERIFY(!d.isVisible());
}

void tst_frinsObs::insercion() {
    BaseDatosPrueba bd;
    bd.Ejecutar(QStringLiteral("INSERT INTO observador (cod_observador, nombre, email) VALUES "
                               "('ÁLV75', 'Ángela', 'a@x.es')"));
    frinsObs d;
    d.show();
    auto *prov = d.findChild<QComboBox *>(QStringLiteral("Cbprov"));
    QCOMPARE(prov->count(), 5);
    QCOMPARE(prov->itemText(0), QString());

    // A taken code, in other case and with an accented capital, even with the default box:
    // told, nothing stored, the form keeps what was typed.
    Rellenar(&d, {"álv75", "D'Arcy", "O'Neill", "Soc. d'Herpetologia", "o'n@x.ie"});
    Usuario::Elegir(prov, QStringLiteral("Ávila"));
    Marcar(&d);
    Insertar(&d);
    QCOMPARE(Mensajes::Ultimo().texto,
             QStringLiteral("Ya existe un observador con este código en la BBDD."));
    QCOMPARE(Mensajes::Ultimo().titulo, QStringLiteral("Observador no registrado"));
    QCOMPARE(Mensajes::Ultimo().icono, QMessageBox::Warning);
    QCOMPARE(bd.Contar(QStringLiteral("observador")), 1);
    QCOMPARE(Predeterminado(bd), QString());
    QVERIFY(d.isVisible());
    QCOMPARE(Campo(&d, "Txnomobs")->text(), QStringLiteral("D'Arcy"));

    // A free code with a quote: stored as typed and made the default.
    Usuario::Escribir(Campo(&d, "Txcod"), QStringLiteral("O'N1"));
    Insertar(&d);
    QCOMPARE(Fila(bd, "O'N1"), QStringLiteral("D'Arcy|O'Neill|Soc. d'Herpetologia|o'n@x.ie|Ávila"));
    QCOMPARE(Predeterminado(bd), QStringLiteral("O'N1"));
    QVERIFY(!d.isVisible());
}

void tst_frinsObs::fallosNoGuardanNada() {
    {
        // The default cannot be changed: the observer is not stored either.
        BaseDatosPrueba bd;
        bd.Ejecutar(QStringLiteral("CREATE TRIGGER bloqueo BEFORE UPDATE ON DefaultObs "
                                   "BEGIN SELECT RAISE(ABORT, 'bloqueado'); END"));
        frinsObs d;
        d.show();
        Rellenar(&d, {"AR1", "Ana", "Ruiz", "SHE", "ana@x.es"});
        Marcar(&d);
        Insertar(&d);
        QCOMPARE(Mensajes::Ultimo().titulo, QStringLiteral("Observador no registrado"));
        QVERIFY(Mensajes::Ultimo().texto.contains(QStringLiteral("bloqueado")));
        QCOMPARE(bd.Contar(QStringLiteral("observador")), 0);
        QVERIFY(d.isVisible());
    }
    BaseDatosPrueba bd;
    ModConex::setSoloLectura(true);
    QVERIFY(ModConex::Conectar());
    frinsObs d;
    d.show();
    Rellenar(&d, {"AR1", "Ana", "Ruiz", "SHE", "ana@x.es"});
    Insertar(&d);
    QCOMPARE(
        Mensajes::Ultimo().texto,
        QStringLiteral("No se puede escribir en la base de datos: el archivo es de solo lectura."));
    QCOMPARE(Mensajes::Ultimo().titulo, QStringLiteral("Observador no registrado"));
    QVERIFY(d.isVisible());
    QCOMPARE(Campo(&d, "Txcod")->text(), QStringLiteral("AR1"));
}

QTEST_MAIN(tst_frinsObs)
#include "tst_frinsObs.moc"
