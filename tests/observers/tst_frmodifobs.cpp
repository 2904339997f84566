#include "support/BaseDatosPrueba.h"

#include "data/Mensajes.h"
#include "data/ModConex.h"
#include "observers/frmodifobs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class tst_frmodifobs : public QObject {
    Q_OBJECT
private slots:
    void carga();
    void rechazosYActualizacion();
    void predeterminado();
    void fallos();
};

namespace {

void Poblar(const BaseDatosPrueba &bd) {
    const QString sql = QStringLiteral("INSERT INTO observador (cod_observador, nombre, apellido, "
                                       "entidad, email, provincia) VALUES (?,?,?,?,?,?)");
    bd.Ejecutar(sql, {"JPG1980", "Juan", "Pérez", "SHE", "jpg@x.es", "Madrid"});
    bd.Ejecutar(sql, {"NUL1", "Nadia", QVariant(), QVariant(), "n@x.es", QVariant()});
    bd.Ejecutar(sql, {"BLA1", "Blas", "Ruiz", "AHE", "b@x.es", "  "});
    bd.Ejecutar(sql, {"MIN1", "Mina", "Sol", "AHE", "m@x.es", "ávila"});
    bd.Ejecutar(sql, {"RAR1", "Raúl", "Mar", "AHE", "r@x.es", "Lisboa"});
}

QLineEdit *Campo(QWidget *d, const char *nombre) {
    return d->findChild<QLineEdit *>(QString::fromLatin1(nombre));
}
QComboBox *Provincia(QWidget *d) {
    return d->findChild<QComboBox *>(QStringLiteral("Cbprov"));
}
QCheckBox *Defecto(QWidget *d) {
    return d->findChild<QCheckBox *>(QStringLiteral("Ckdef"));
}
void Modificar(QWidget *d) {
    QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("cdAct")), Qt::LeftButton);
}
// A click on the box itself, where the user aims.
void Marcar(QWidget *d) {
    QTest::mouseClick(Defecto(d), Qt::LeftButton, {}, QPoint(6, Defecto(d)->height() / 2));
}
QString Fila(const BaseDatosPrueba &bd, const QString &codigo) {
    return bd
        .Valor(
            QStringLiteral(
                "SELECT nombre || '|' || ifnull(apellido, '-') || '|' || ifnull(entidad, '-') || "
                "'|' || email || '|' || ifnull(provincia, '-') FROM observador "
                "WHERE cod_observador = ?"),
            {codigo})
        .toString();
}
QString Predeterminado(const BaseDatosPrueba &bd) {
    return bd.Valor(QStringLiteral("SELECT cd_obs FROM DefaultObs")).toString();
}

} // namespace

void tst_frmodifobs::carga() {
    BaseDatosPrueba bd;
    Poblar(bd);
    bd.Ejecutar(QStringLiteral("UPDATE DefaultObs SET cd_obs = 'jpg1980'"));
    frmodifobs d(QStringLiteral("JPG1980"));
    QVERIFY(d.Cargado());
    QCOMPARE(d.findChild<QLabel *>(QStringLiteral("Lbcode"))->text(), QStringLiteral("JPG1980"));
    QCOMPARE(Campo(&d, "Txnomobs")->text() + Campo(&d, "Txcognom")->text() +
                 Campo(&d, "Txentidad")->text() + Campo(&d, "Txmail")->text(),
             QStringLiteral("JuanPérezSHEjpg@x.es"));
    QCOMPARE(Provincia(&d)->currentText(), QStringLiteral("Madrid"));
    QVERIFY(Defecto(&d)->isChecked()); // the default's code compares ignoring case

    // Nulls load empty; an empty or blank province leaves no selection.
    frmodifobs nulos(QStringLiteral("NUL1")), blancos(QStringLiteral("BLA1"));
    QCOMPARE(Campo(&nulos, "Txcognom")->text() + Campo(&nulos, "Txentidad")->text(), QString());
    QCOMPARE(Provincia(&nulos)->currentIndex(), -1);
    QCOMPARE(Provincia(&blancos)->currentIndex(), -1);
    QVERIFY(!Defecto(&nulos)->isChecked());
    // A province in other case is the list's; one the list lacks is kept.
    frmodifobs minus(QStringLiteral("MIN1")), rara(QStringLiteral("RAR1"));
    QCOMPARE(Provincia(&minus)->currentText(), QStringLiteral("Ávila"));
    QCOMPARE(Provincia(&rara)->currentText(), QStringLiteral("Lisboa"));
    QVERIFY(Mensajes::Mostrados().isEmpty());

    // No such observer: told, and the form is not to be shown.
    frmodifobs nadie(QStringLiteral("NADIE"));
    QVERIFY(!nadie.Cargado());
    QCOMPARE(Mensajes::Ultimo().texto,
             QStringLiteral("Error al intentar encontrar este observador en la base de datos"));
    QCOMPARE(Mensajes::Ultimo().titulo, QStringLiteral("Tritodex"));
    QCOMPARE(Mensajes::Ultimo().icono, QMessageBox::NoIcon);
}

void tst_frmodifobs::rechazosYActualizacion() {
    BaseDatosPrueba bd;
    Poblar(bd);
    frmodifobs d(QStringLiteral("JPG1980"));
    d.show();
    // Both empty: only the first name is reported; blanks only are refused too.
    Usuario::Escribir(Campo(&d, "Txnomobs"), QString());
    Usuario::Escribir(Campo(&d, "Txmail"), QString());
    Modificar(&d);
    QCOMPARE(Mensajes::Mostrados().size(), 1);
    QCOMPARE(Mensajes::Ultimo().texto, QStringLiteral("El nommbre del observador es obligatorio."));
    QCOMPARE(Mensajes::Ultimo().titulo, QStringLiteral("Nom obligatori"));
    QCOMPARE(Mensajes::Ultimo().icono, QMessageBox::Warning);
    Usuario::Escribir(Campo(&d, "Txnomobs"), QStringLiteral("   "));
    Modificar(&d);
    QCOMPARE(Mensajes::Ultimo().titulo, QStringLiteral("Nom obligatori"));
    Usuario::Escribir(Campo(&d, "Txnomobs"), QStringLiteral("Juana"));
    Usuario::Escribir(Campo(&d, "Txmail"), QStringLiteral("  "));
    Modificar(&d);
    QCOMPARE(Mensajes::Ultimo().texto, QStringLiteral("El mail del observador es obligatorio"));
    QCOMPARE(Mensajes::Ultimo().titulo, QStringLiteral("MAIL obligatorio"));
    QCOMPARE(Fila(bd, "JPG1980"), QStringLiteral("Juan|Pérez|SHE|jpg@x.es|Madrid"));
    QVERIFY(d.isVisible());

    // A quote stays as typed; organisation and province may be emptied.
    Usuario::Escribir(Campo(&d, "Txmail"), QStringLiteral("j@x.es"));
    Usuario::Escribir(Campo(&d, "Txcognom"), QStringLiteral("O'Neill"));
    Usuario::Escribir(Campo(&d, "Txentidad"), QString());
    Usuario::Elegir(Provincia(&d), QString());
    Modificar(&d);
    QCOMPARE(Fila(bd, "JPG1980"), QStringLiteral("Juana|O'Neill||j@x.es|"));
    QCOMPARE(Fila(bd, "BLA1"), QStringLiteral("Blas|Ruiz|AHE|b@x.es|  "));
    QCOMPARE(Mensajes::Ultimo().texto, QStringLiteral("Actualización realizada"));
    QCOMPARE(Mensajes::Ultimo().icono, QMessageBox::Information);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QVERIFY(!d.isVisible());
}

void tst_frmodifobs::predeterminado() {
    BaseDatosPrueba bd;
    Poblar(bd);
    auto guardar = [&](const QString &codigo, bool marcar) {
        frmodifobs d(codigo);
        d.show();
        if (Defecto(&d)->isChecked() != marcar) Marcar(&d);
        Modificar(&d);
        return d.isVisible() ? QStringLiteral("sin guardar") : Predeterminado(bd);
    };
    bd.Ejecutar(QStringLiteral("UPDATE DefaultObs SET cd_obs = 'jpg1980'"));
    // The default left checked is not rewritten; another left unchecked changes nothing;
    // another checked becomes the default; the default unchecked leaves none.
    QCOMPARE(guardar(QStringLiteral("JPG1980"), true), QStringLiteral("jpg1980"));
    QCOMPARE(guardar(QStringLiteral("BLA1"), false), QStringLiteral("jpg1980"));
    QCOMPARE(guardar(QStringLiteral("BLA1"), true), QStringLiteral("BLA1"));
    QCOMPARE(guardar(QStringLiteral("BLA1"), false), QString());
    QCOMPARE(bd.Contar(QStringLiteral("DefaultObs")), 1);
}

void tst_frmodifobs::fallos() {
    {
        // The default cannot be changed: the observer's change is not stored either.
        BaseDatosPrueba bd;
        Poblar(bd);
        bd.Ejecutar(QStringLiteral("CREATE TRIGGER bloqueo BEFORE UPDATE ON DefaultObs "
                                   "BEGIN SELECT RAISE(ABORT, 'bloqueado'); END"));
        frmodifobs d(QStringLiteral("NUL1"));
        d.show();
        Usuario::Escribir(Campo(&d, "Txcognom"), QStringLiteral("Vega"));
        Marcar(&d);
        Modificar(&d);
        QCOMPARE(Mensajes::Ultimo().titulo, QStringLiteral("Observador no modificado"));
        QVERIFY(Mensajes::Ultimo().texto.contains(QStringLiteral("bloqueado")));
        QCOMPARE(Fila(bd, "NUL1"), QStringLiteral("Nadia|-|-|n@x.es|-"));
        QVERIFY(d.isVisible());

        // Removed since the form loaded: told, and the form stays.
        bd.Ejecutar(QStringLiteral("DELETE FROM observador WHERE cod_observador = 'NUL1'"));
        Marcar(&d);
        Modificar(&d);
        QCOMPARE(Mensajes::Ultimo().texto,
                 QStringLiteral("Error al intentar encontrar este observador en la base de datos"));
        QVERIFY(d.isVisible());
        QCOMPARE(bd.Contar(QStringLiteral("observador")), 4);
    }
    BaseDatosPrueba bd;
    Poblar(bd);
    ModConex::setSoloLectura(true);
    QVERIFY(ModConex::Conectar());
    frmodifobs d(QStringLiteral("JPG1980"));
    d.show();
    Usuario::Escribir(Campo(&d, "Txnomobs"), QStringLiteral("Juana"));
    Modificar(&d);
    QCOMPARE(
        Mensajes::Ultimo().texto,
        QStringLiteral("No se puede escribir en la base de datos: el archivo es de solo lectura."));
    QCOMPARE(Mensajes::Ultimo().icono, QMessageBox::Warning);
    QVERIFY(d.isVisible());
    QCOMPARE(Fila(bd, "JPG1980"), QStringLiteral("Juan|Pérez|SHE|jpg@x.es|Madrid"));
}

QTEST_MAIN(tst_frmodifobs)
#include "tst_frmodifobs.moc"
