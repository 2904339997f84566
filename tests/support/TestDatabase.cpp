#include "TestDatabase.h"

#include "data/DatabaseCreation.h"
#include "data/ModBaseDatos.h"
#include "data/ModConex.h"
#include "support/ServidorPrueba.h"

#include <QList>
#include <QSet>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

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

bool TestDatabase::ServidorPedido() {
    return qgetenv("TRITODEX_PRUEBA_MOTOR") == "postgresql";
}

bool TestDatabase::CrearEnServidor(Datos datos, QString *error) {
    ServidorPrueba &servidor = ServidorPrueba::Compartido();
    if (!servidor.ok()) {
        *error = servidor.error();
        qCritical("test server: %s", qPrintable(*error));
        return false;
    }
    // Each kind of seed is made once per program; every test database is a copy of it.
    static QSet<QString> hechas;
    const QString plantilla = datos == Datos::Reales ? QStringLiteral("semilla_reales")
                                                     : QStringLiteral("semilla_fixture");
    if (!hechas.contains(plantilla)) {
        if (!servidor.CrearBase(plantilla)) {
            *error = servidor.error();
            return false;
        }
        bool ok = false;
        {
            if (AbrirServidor(QStringLiteral("semilla"), servidor.Direccion(plantilla), error)) {
                QSqlDatabase db = QSqlDatabase::database(QStringLiteral("semilla"), false);
                ok = DatabaseCreation::CrearEnServidor(db,
                                                       datos == Datos::Reales
                                                           ? QStringLiteral(TRITODEX_REFDATA_DIR)
                                                           : QStringLiteral(TRITODEX_FIXTURE_DIR),
                                                       error);
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("semilla"));
        if (!ok) return false;
        hechas.insert(plantilla);
    }
    static int numero = 0;
    base_ = QStringLiteral("prueba_%1").arg(++numero);
    if (!servidor.CrearBase(base_, plantilla)) {
        *error = servidor.error();
        return false;
    }
    ModConex::setServidor(servidor.Direccion(base_));
    return true;
}

TestDatabase::TestDatabase(Datos datos, Motor motor) {
    ModConex::Desconectar();
    ModConex::setServidor(std::nullopt);
    ModConex::setSoloLectura(false);
    ModConex::setCarpetaDatos(dir_.path());
    // The user's settings of each test are its own, never the real user's.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
    ModBaseDatos::setEscalaEsperas(0.0);
    for (const auto &paso : Pasos())
        paso();
    QString error;
    const QString origen = datos == Datos::Reales ? QStringLiteral(TRITODEX_REFDATA_DIR)
                                                  : QStringLiteral(TRITODEX_FIXTURE_DIR);
    if (motor == Motor::PostgreSql || (motor == Motor::Entorno && ServidorPedido()))
        ok_ = CrearEnServidor(datos, &error);
    else
        ok_ = DatabaseCreation::CrearBaseDatos(ruta(), origen, &error);
    const ModConex::Resultado conectado = ok_ ? ModConex::Conectar() : ModConex::Resultado();
    ok_ = ok_ && conectado;
    // Every check on a database that is not there is void: the program stops.
    if (!ok_) qFatal("test database: %s %s", qPrintable(error), qPrintable(conectado.motivo));
}

TestDatabase::~TestDatabase() {
    ModConex::Desconectar();
    ModConex::setServidor(std::nullopt);
    if (!base_.isEmpty())
        ServidorPrueba::Compartido().Administrar(
            QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(base_));
}

QString TestDatabase::ruta() const {
    return dir_.path() + QStringLiteral("/Tritodex.mdb");
}

QSqlDatabase TestDatabase::db() const {
    return ModConex::DatabaseConnection();
}

bool TestDatabase::Ejecutar(const QString &sql, const QVariantList &valores) const {
    QSqlQuery q(db());
    // A server prepares only queries and changes of rows, not definitions.
    bool ok;
    if (valores.isEmpty()) {
        ok = q.exec(sql);
    } else {
        q.prepare(sql);
        for (const QVariant &v : valores)
            q.addBindValue(v);
        ok = q.exec();
    }
    if (!ok) {
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

QString TestDatabase::Lineas(const QSqlDatabase &db, const QString &sql,
                             const QVariantList &valores) {
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant &v : valores)
        q.addBindValue(v);
    if (!q.exec()) return QStringLiteral("(error) ") + q.lastError().text();
    QStringList r;
    while (q.next()) {
        QStringList c;
        for (int i = 0; i < q.record().count(); ++i)
            c << (q.isNull(i)                              ? QStringLiteral("NULL")
                  : q.value(i).typeId() == QMetaType::Bool ? QString::number(q.value(i).toInt())
                                                           : q.value(i).toString());
        r << c.join(u'|');
    }
    return r.join(u'\n');
}

QString TestDatabase::Lineas(const QString &sql, const QVariantList &valores) const {
    return Lineas(db(), sql, valores);
}

bool TestDatabase::Rechazar(const QString &tabla, const QString &mensaje,
                            const QString &condicion) const {
    QString texto = mensaje;
    texto.replace(u'\'', QLatin1String("''"));
    const QString cuando =
        condicion.isEmpty() ? QString() : QStringLiteral(" WHEN (%1)").arg(condicion);
    if (!enServidor())
        return Ejecutar(QStringLiteral("CREATE TEMP TRIGGER rechazo_%1 BEFORE INSERT ON %1%3 "
                                       "BEGIN SELECT RAISE(ABORT, '%2'); END")
                            .arg(tabla, texto, cuando));
    return Ejecutar(QStringLiteral("CREATE FUNCTION rechazo_%1() RETURNS trigger LANGUAGE plpgsql "
                                   "AS $f$ BEGIN RAISE EXCEPTION '%2'; END $f$")
                        .arg(tabla, texto)) &&
           Ejecutar(QStringLiteral("CREATE TRIGGER rechazo_%1 BEFORE INSERT ON %1 FOR EACH ROW "
                                   "EXECUTE FUNCTION rechazo_%1()")
                        .arg(tabla));
}

bool TestDatabase::Permitir(const QString &tabla) const {
    if (!enServidor()) return Ejecutar(QStringLiteral("DROP TRIGGER rechazo_%1").arg(tabla));
    return Ejecutar(QStringLiteral("DROP TRIGGER rechazo_%1 ON %1").arg(tabla)) &&
           Ejecutar(QStringLiteral("DROP FUNCTION rechazo_%1()").arg(tabla));
}

void TestDatabase::AlTerminar(std::function<void()> paso) {
    PasosFinales() << std::move(paso);
}
