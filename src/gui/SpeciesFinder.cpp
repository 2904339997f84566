#include "SpeciesFinder.h"

#include "MessageService.h"
#include "ModBaseDatosGui.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStringListModel>

namespace {
// The code an item starts with ("SALSAL - Salamandra salamandra", or a bare code).
QString CodigoDe(const QString &item) {
    return item.section(QStringLiteral(" - "), 0, 0).trimmed().toUpper();
}
// Fewer letters than this find too much to be of use.
constexpr int kMinimo = 3;
} // namespace

SpeciesFinder::SpeciesFinder(QComboBox *lista, QLabel *nota)
    : QObject(lista), lista_(lista), nota_(nota), emergente_(new QCompleter(this)),
      modelo_(new QStringListModel(this)) {
    emergente_->setModel(modelo_);
    emergente_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    emergente_->setCaseSensitivity(Qt::CaseInsensitive);
    emergente_->setMaxVisibleItems(12);
    ModBaseDatos::HacerCompletable(lista_, true);
    emergente_->setWidget(lista_->lineEdit());
    connect(lista_->lineEdit(), &QLineEdit::textEdited, this, [this] { AlEscribir(); });
    connect(emergente_, qOverload<const QString &>(&QCompleter::activated), this,
            [this](const QString &item) { Elegir(item); });
    connect(lista_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i != indiceNota_) Anotar(-1, QString());
    });
    Anotar(-1, QString());
}

bool SpeciesFinder::Cargar(QString *error) {
    if (nombres_.Cargar()) return true;
    if (error) *error = nombres_.error();
    nombres_.Limpiar();
    return false;
}

void SpeciesFinder::AlEscribir() {
    // What the user typed, without the completion the list added after it.
    QLineEdit *edit = lista_->lineEdit();
    QString texto = edit->text();
    if (edit->hasSelectedText() && edit->selectionEnd() == texto.size())
        texto.truncate(edit->selectionStart());
    ofrecidos_.clear();
    QStringList items;
    if (SpeciesNames::Normalizar(texto).size() >= kMinimo) {
        for (const auto &c : nombres_.Buscar(texto)) {
            // A species may stand in the list under its own code and under older ones.
            for (int i = 0; i < lista_->count(); ++i) {
                const QString item = lista_->itemText(i);
                if (nombres_.Aceptado(CodigoDe(item)) != c.codigo || ofrecidos_.contains(item))
                    continue;
                items << item;
                ofrecidos_.insert(item, c);
            }
        }
    }
    modelo_->setStringList(items);
    if (items.isEmpty()) {
        emergente_->popup()->hide();
        return;
    }
    // As wide as its longest item, so that no species is cut short under a narrow list.
    QAbstractItemView *vista = emergente_->popup();
    QRect zona = lista_->lineEdit()->rect();
    zona.setWidth(std::max(zona.width(), vista->sizeHintForColumn(0) +
                                             vista->verticalScrollBar()->sizeHint().width() +
                                             2 * vista->frameWidth()));
    emergente_->complete(zona);
}

void SpeciesFinder::Elegir(const QString &item) {
    const int indice = lista_->findText(item, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (indice < 0) return;
    const auto porQue = ofrecidos_.value(item);
    ModBaseDatos::ElegirComoUsuario(lista_, indice);
    if (porQue.sinonimo && CodigoDe(item) == porQue.codigo)
        Anotar(indice, QStringLiteral("%1 es sinónimo de %2")
                           .arg(porQue.nombre, nombres_.NombreCientifico(porQue.codigo)));
}

int SpeciesFinder::IndiceDe(const QString &codigoAceptado, bool *esSinonimo) const {
    int sinonimo = -1;
    for (int i = 0; i < lista_->count(); ++i) {
        const QString codigo = CodigoDe(lista_->itemText(i));
        if (codigo == codigoAceptado) {
            if (esSinonimo) *esSinonimo = false;
            return i;
        }
        if (sinonimo < 0 && nombres_.Aceptado(codigo) == codigoAceptado) sinonimo = i;
    }
    if (esSinonimo) *esSinonimo = sinonimo >= 0;
    return sinonimo;
}

bool SpeciesFinder::ElegirExacto() {
    // A whole code, as the list holds it, or typed in other case.
    const QString codigo = lista_->currentText().trimmed().toUpper();
    for (int i = 0; i < lista_->count() && !codigo.isEmpty(); ++i)
        if (CodigoDe(lista_->itemText(i)) == codigo) {
            emergente_->popup()->hide();
            ModBaseDatos::ElegirComoUsuario(lista_, i);
            return true;
        }
    const auto c = nombres_.Exacto(lista_->currentText());
    if (!c) return false;
    bool codigoAntiguo = false;
    const int indice = IndiceDe(c->codigo, &codigoAntiguo);
    if (indice < 0) return false;
    emergente_->popup()->hide();
    ModBaseDatos::ElegirComoUsuario(lista_, indice);
    if (c->sinonimo && !codigoAntiguo)
        Anotar(indice, QStringLiteral("%1 es sinónimo de %2")
                           .arg(c->nombre, nombres_.NombreCientifico(c->codigo)));
    return true;
}

void SpeciesFinder::Rechazar(QWidget *padre, const QString &texto) {
    MessageService::Mostrar(
        padre,
        QStringLiteral("«%1» no es ninguna especie de la lista: elija una de las que ofrece.")
            .arg(texto),
        QStringLiteral("Datos incorrectos"), QMessageBox::Warning);
}

void SpeciesFinder::ExplicarCodigo(const QString &codigo) {
    const QString aceptado = nombres_.Aceptado(codigo);
    if (aceptado == codigo.toUpper()) {
        Anotar(-1, QString());
        return;
    }
    Anotar(lista_->currentIndex(),
           QStringLiteral("%1 es sinónimo de %2")
               .arg(nombres_.NombreCientifico(codigo), nombres_.NombreCientifico(aceptado)));
}

void SpeciesFinder::Anotar(int indice, const QString &texto) {
    indiceNota_ = indice;
    if (!nota_) return;
    nota_->setText(texto);
    // An empty note takes no room on the form.
    nota_->setVisible(!texto.isEmpty());
}
