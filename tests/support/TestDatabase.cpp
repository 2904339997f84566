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
// The steps run before each database, or (finales) when one is dropped.
QList<std::function<void()>> &Pasos(bool finales = false) {
    static QList<std::function<void()>> pasos[2];
    return pasos[finales];
}

QString Origen(TestDatabase::Datos datos) {
    return datos == TestDatabase::Datos::Reales ? QStringLiteral(TRITODEX_REFDATA_DIR)
                                                : QStringLiteral(TRITODEX_FIXTURE_DIR);
}

// Prepares the statement with its positional values and runs it.
bool Preparada(QSqlQuery &q, const QString &sql, const QVariantList &valores) {
    q.prepare(sql);
    for (const QVariant &v : valores)
        q.addBindValue(v);
    return q.exec();
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
    const auto falla = [&] {
        *error = servidor.error();
        return false;
    };
    if (!servidor.ok()) {
        qCritical("test server: %s", qPrintable(servidor.error()));
        return falla();
    }
    // Each kind of seed is made once per program; every test database is a copy of it.
    static QSet<QString> hechas;
    const QString plantilla = datos == Datos::Reales ? QStringLiteral("semilla_reales")
                                                     : QStringLiteral("semilla_fixture");
    if (!hechas.contains(plantilla)) {
        if (!servidor.CrearBase(plantilla)) return falla();
        bool ok = false;
        if (AbrirServidor(QStringLiteral("semilla"), servidor.Direccion(plantilla), error)) {
            QSqlDatabase db = QSqlDatabase::database(QStringLiteral("semilla"), false);
            ok = DatabaseCreation::CrearEnServidor(db, Origen(datos), error);
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("semilla"));
        if (!ok) return false;
        hechas.insert(plantilla);
    }
    static int numero = 0;
    base_ = QStringLiteral("prueba_%1").arg(++numero);
    if (!servidor.CrearBase(base_, plantilla)) return falla();
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
    if (motor == Motor::PostgreSql || (motor == Motor::Entorno && ServidorPedido()))
        ok_ = CrearEnServidor(datos, &error);
    else
        ok_ = DatabaseCreation::CrearBaseDatos(ruta(), Origen(datos), &error);
    const ModConex::Resultado conectado = ok_ ? ModConex::Conectar() : ModConex::Resultado();
    ok_ = ok_ && conectado;
    // Every check on a database that is not there is void: the program stops.
    if (!ok_) qFatal("test database: %s %s", qPrintable(error), qPrintable(conectado.motivo));
}

TestDatabase::~TestDatabase() {
    for (const auto &paso : Pasos(true))
        paso();
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
    const bool ok = valores.isEmpty() ? q.exec(sql) : Preparada(q, sql, valores);
    if (!ok) qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return ok;
}

QVariant TestDatabase::Valor(const QString &sql, const QVariantList &valores) const {
    QSqlQuery q(db());
    if (!Preparada(q, sql, valores) || !q.next()) return QVariant();
    return q.value(0);
}

int TestDatabase::Contar(const QString &tabla) const {
    return Valor(QStringLiteral("SELECT count(*) FROM ") + tabla).toInt();
}

QString TestDatabase::Lineas(const QSqlDatabase &db, const QString &sql,
                             const QVariantList &valores) {
    QSqlQuery q(db);
    if (!Preparada(q, sql, valores)) return QStringLiteral("(error) ") + q.lastError().text();
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
    Pasos(true) << std::move(paso);
}
