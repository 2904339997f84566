#include "support/BaseDatosPrueba.h"

#include "observers/ObserverStore.h"

#include <QTest>

class tst_ObserverStore : public QObject {
    Q_OBJECT
private slots:
    void busquedaLiteral();
    void lecturasYCambios();
};

namespace {
QStringList Codigos(QSqlQuery q) {
    QStringList r;
    while (q.next())
        r << q.value(0).toString();
    return r;
}
} // namespace

void tst_ObserverStore::busquedaLiteral() {
    BaseDatosPrueba bd;
    for (const char *c : {"A\\B", "AXB", "A%1", "A_1", "AB1"})
        bd.Ejecutar(
            QStringLiteral(
                "INSERT INTO observador (cod_observador, nombre, email) VALUES (?, 'N', 'm')"),
            {QString::fromLatin1(c)});
    QString error;
    // The escape character and both wildcards are matched as themselves.
    QCOMPARE(Codigos(ObserverStore::Buscar(QStringLiteral("\\"), QString(), &error)),
             QStringList({"A\\B"}));
    QCOMPARE(Codigos(ObserverStore::Buscar(QStringLiteral("a_"), QStringLiteral("n"), &error)),
             QStringList({"A_1"}));
    QVERIFY(error.isEmpty());
}

void tst_ObserverStore::lecturasYCambios() {
    BaseDatosPrueba bd;
    bd.Ejecutar(QStringLiteral("INSERT INTO observador (cod_observador, nombre, email) VALUES "
                               "('ÉLV1', 'Élia', 'e@x.es')"));
    bd.Ejecutar(QStringLiteral("UPDATE DefaultObs SET cd_obs = 'OTRO'"));
    // A code typed in other case finds the observer, with its code as stored.
    const auto o = ObserverStore::Cargar(QStringLiteral("élv1"));
    QVERIFY(o);
    QCOMPARE(o->codigo, QStringLiteral("ÉLV1"));
    QCOMPARE(o->apellido, QString());
    QVERIFY(!ObserverStore::Cargar(QStringLiteral("ÉLV")));

    // Clearing the default touches it only when it is this observer's.
    QVERIFY(ObserverStore::Actualizar(*o, ObserverStore::Predeterminado::Quitar));
    QCOMPARE(ObserverStore::CodigoPredeterminado(), QStringLiteral("OTRO"));
    QVERIFY(ObserverStore::Suprimir(QStringLiteral("élv1")));
    QCOMPARE(bd.Contar(QStringLiteral("observador")), 0);
    QCOMPARE(ObserverStore::CodigoPredeterminado(), QStringLiteral("OTRO"));

    // A change to a row that is gone is a failure that changes nothing, not a taken code.
    const ResultadoObservador r =
        ObserverStore::Actualizar(*o, ObserverStore::Predeterminado::Poner);
    QVERIFY(!r && !r.claveDuplicada);
    QCOMPARE(r.error,
             QStringLiteral("Error al intentar encontrar este observador en la base de datos"));
    QCOMPARE(ObserverStore::CodigoPredeterminado(), QStringLiteral("OTRO"));
}

QTEST_MAIN(tst_ObserverStore)
#include "tst_ObserverStore.moc"
