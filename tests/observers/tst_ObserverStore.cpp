#include "support/TestDatabase.h"

#include "observers/ObserverStore.h"

#include <QTest>

class tst_ObserverStore : public QObject {
    Q_OBJECT
private slots:
    void busquedaEscapeLiteral();
};

void tst_ObserverStore::busquedaEscapeLiteral() {
    TestDatabase bd;
    // The search's own escape character typed by the user is text too.
    bd.Ejecutar(QStringLiteral("INSERT INTO observador (cod_observador, nombre, email) "
                               "VALUES ('A\\B', 'N', 'm'), ('AB1', 'N', 'm')"));
    QSqlQuery q = ObserverStore::Buscar(QStringLiteral("\\"), QString(), nullptr);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("A\\B"));
    QVERIFY(!q.next());
}

QTEST_MAIN(tst_ObserverStore)
#include "tst_ObserverStore.moc"
