#pragma once

#include <QDate>
#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class FrDate;
}
class QLineEdit;

// The date picker: a month calendar opening on today; a click on a day hands that day, as
// dd/mm/yyyy text, to the form that opened it and closes.
class FrDate : public QDialog {
    Q_OBJECT
public:
    using AlElegir = std::function<void(const QString &fecha)>;
    explicit FrDate(AlElegir alElegir, QWidget *parent = nullptr);
    ~FrDate() override;

    // Shows the picker modal; the day clicked goes to `alElegir`.
    static void Elegir(QWidget *padre, AlElegir alElegir);
    // The same, the chosen date written into a date field (if it is still there).
    static void ElegirEn(QLineEdit *campo, QWidget *padre);

private slots:
    void Fecha_DateClick(QDate dia);
    void Command1_Click();

private:
    void Form_Load();

    std::unique_ptr<Ui::FrDate> ui;
    AlElegir alElegir_;
};
