#include "TestDatabase.h"

#include "data/CreacionBaseDatos.h"
#include "data/ModBaseDatos.h"
#include "data/ModConex.h"

#include <QList>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QList<std::function<void()>> &Pasos() {
    static QList<std::function<void()>> pasos;
    return pasos;
}
QList<std::function<void()>> &PasosFinales() {
    static QList<std::function<void()>> pasos;
    return pasos;
}
} // namespace

void TestDatabase::Preparar(std::function<void()> paso) {
    Pasos() << std::move(paso);
}

TestDatabase::TestDatabase(Datos datos) {
    ModConex::Desconectar();
    ModConex::setSoloLectura(false);
    ModConex::setRutaAplicacion(dir_.path());
    ModBaseDatos::setEscalaEsperas(0.0);
    for (const auto &paso : Pasos())
        paso();
    QString error;
    const QString origen = datos == Datos::Reales ? QStringLiteral(TRITODEX_REFDATA_DIR)
                                                  : QStringLiteral(TRITODEX_FIXTURE_DIR);
    ok_ = CreacionBaseDatos::CrearBaseDatos(ruta(), origen, &error) && ModConex::Conectar();
    if (!ok_) qWarning("test database: %s", qPrintable(error));
}

TestDatabase::~TestDatabase() {
    ModConex::Desconectar();
}

QString TestDatabase::ruta() const {
    return dir_.path() + QStringLiteral("/Tritodex.mdb");
}

QSqlDatabase TestDatabase::db() const {
    return ModConex::DatabaseConnection();
}

bool TestDatabase::Ejecutar(const QString &sql, const QVariantList &valores) const {
    QSqlQuery q(db());
    q.prepare(sql);
    for (const QVariant &v : valores)
        q.addBindValue(v);
    if (!q.exec()) {
        qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return false;
    }
    return true;
}

QVariant TestDatabase::Valor(const QString &sql, const QVariantList &valores) const {
    QSqlQuery q(db());
    q.prepare(sql);
    for (const QVariant &v : valores)
        q.addBindValue(v);
    if (!q.exec() || !q.next()) return QVariant();
    return q.value(0);
}

int TestDatabase::Contar(const QString &tabla) const {
    return Valor(QStringLiteral("SELECT count(*) FROM ") + tabla).toInt();
}

void TestDatabase::AlTerminar(std::function<void()> paso) {
    PasosFinales() << std::move(paso);
}
