#include "ServidorPrueba.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVersionNumber>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// The newest installed server's programs; Debian keeps them out of PATH.
QString CarpetaBinarios() {
    const QByteArray propia = qgetenv("TRITODEX_PG_BIN");
    if (!propia.isEmpty()) return QString::fromLocal8Bit(propia);
    QDir raiz(u"/usr/lib/postgresql"_s);
    QString mejor;
    QVersionNumber version;
    for (const QString &v : raiz.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QVersionNumber n = QVersionNumber::fromString(v);
        if (QFile::exists(raiz.filePath(v + u"/bin/initdb"_s)) && n > version) {
            version = n;
            mejor = raiz.filePath(v + u"/bin"_s);
        }
    }
    return mejor;
}

int PuertoLibre() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t n = sizeof a;
    int puerto = 0;
    if (::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &n) == 0)
        puerto = ntohs(a.sin_port);
    ::close(s);
    return puerto;
}
} // namespace

ServidorPrueba::ServidorPrueba() {
    // The set-up up to the start, stopping at the first failure with its reason.
    error_ = [this]() -> QString {
        bin_ = CarpetaBinarios();
        if (bin_.isEmpty())
            return u"PostgreSQL server programs not found under /usr/lib/postgresql "
                   "(package postgresql)"_s;
        if (!dir_.isValid()) return u"no temporary folder"_s;
        datos_ = dir_.filePath(u"datos"_s);
        QDir().mkpath(datos_);
        comoPostgres_ = ::geteuid() == 0;
        if (comoPostgres_) {
            const passwd *pw = ::getpwnam("postgres");
            if (!pw) return u"running as root and there is no postgres user"_s;
            // The unprivileged user must reach its data folder through the temporary one.
            QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ExeGroup |
                                                   QFile::ExeOther);
            if (::chown(QFile::encodeName(datos_).constData(), pw->pw_uid, pw->pw_gid) != 0)
                return u"cannot give %1 to postgres"_s.arg(datos_);
        }
        if (!Ejecutar(u"initdb"_s, {u"-D"_s, datos_, u"-U"_s, QString::fromLatin1(kUsuario),
                                    u"--encoding=UTF8"_s, u"--locale=C.UTF-8"_s, u"-A"_s,
                                    u"trust"_s, u"--no-sync"_s}))
            return error_;
        puerto_ = PuertoLibre();
        QFile conf(datos_ + u"/postgresql.conf"_s);
        if (!conf.open(QIODevice::Append)) return conf.errorString();
        conf.write(QStringLiteral("\nlisten_addresses = '127.0.0.1'\nport = %1\n"
                                  "unix_socket_directories = ''\nfsync = off\n"
                                  "synchronous_commit = off\nfull_page_writes = off\n"
                                  "max_connections = 40\n")
                       .arg(puerto_)
                       .toUtf8());
        // For a failing test's post-mortem: every statement logged, the folder kept.
        if (qEnvironmentVariableIsSet("TRITODEX_PG_REGISTRO")) {
            conf.write("log_statement = all\n");
            dir_.setAutoRemove(false);
            qInfo("PostgreSQL log: %s/registro.log", qPrintable(datos_));
        }
        conf.close();
        return QString();
    }();
    ok_ = error_.isEmpty() && Arrancar();
}

ServidorPrueba::~ServidorPrueba() {
    if (enMarcha_) Parar();
}

ServidorPrueba &ServidorPrueba::Compartido() {
    static ServidorPrueba servidor;
    return servidor;
}

bool ServidorPrueba::Ejecutar(const QString &programa, const QStringList &args, QString *salida) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString ruta = bin_ + u'/' + programa;
    p.start(comoPostgres_ ? u"runuser"_s : ruta,
            comoPostgres_ ? QStringList{u"-u"_s, u"postgres"_s, u"--"_s, ruta} + args : args);
    // pg_ctl -w waits for the server itself; initdb takes a few seconds.
    const bool termino = p.waitForFinished(120000);
    const QString texto = QString::fromLocal8Bit(p.readAll());
    if (salida) *salida = texto;
    if (!termino || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error_ = u"%1 failed: %2 %3"_s.arg(programa, p.errorString(), texto);
        return false;
    }
    return true;
}

bool ServidorPrueba::Arrancar() {
    enMarcha_ = Ejecutar(u"pg_ctl"_s, {u"-D"_s, datos_, u"-l"_s, datos_ + u"/registro.log"_s,
                                       u"-w"_s, u"-t"_s, u"60"_s, u"start"_s});
    return enMarcha_;
}

bool ServidorPrueba::Parar() {
    const bool ok =
        Ejecutar(u"pg_ctl"_s, {u"-D"_s, datos_, u"-m"_s, u"fast"_s, u"-w"_s, u"stop"_s});
    if (ok) enMarcha_ = false;
    return ok;
}

ModConex::Servidor ServidorPrueba::Direccion(const QString &base) const {
    return {.host = u"127.0.0.1"_s,
            .puerto = puerto_,
            .base = base,
            .usuario = QString::fromLatin1(kUsuario)};
}

bool ServidorPrueba::Administrar(const QString &sql, QString *error, const QString &base) const {
    const QString nombre = u"admin-"_s + QUuid::createUuid().toString();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, nombre);
        db.setHostName(u"127.0.0.1"_s);
        db.setPort(puerto_);
        db.setDatabaseName(base);
        db.setUserName(QString::fromLatin1(kUsuario));
        ok = db.open();
        QSqlQuery q(db);
        ok = ok && q.exec(sql);
        if (!ok && error)
            *error = q.lastError().isValid() ? q.lastError().text() : db.lastError().text();
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(nombre);
    return ok;
}

bool ServidorPrueba::CrearBase(const QString &nombre, const QString &plantilla) {
    Administrar(u"DROP DATABASE IF EXISTS %1 WITH (FORCE)"_s.arg(nombre));
    QString sql = u"CREATE DATABASE %1"_s.arg(nombre);
    if (!plantilla.isEmpty()) sql += u" TEMPLATE "_s + plantilla;
    return Administrar(sql, &error_);
}

bool ServidorPrueba::ExigirContrasena(const QString &usuario, const QString &contrasena) {
    if (!Administrar(u"CREATE ROLE %1 LOGIN PASSWORD '%2'"_s.arg(usuario, contrasena), &error_))
        return false;
    QFile hba(datos_ + u"/pg_hba.conf"_s);
    if (!hba.open(QIODevice::ReadOnly)) return false;
    const QByteArray antes = hba.readAll();
    hba.close();
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    // The first matching line decides: this login's before the trusted rest.
    hba.write(u"host all %1 127.0.0.1/32 scram-sha-256\n"_s.arg(usuario).toUtf8() + antes);
    hba.close();
    return Ejecutar(u"pg_ctl"_s, {u"-D"_s, datos_, u"reload"_s});
}
