#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class frinsObs;
}

// Entry of a new observer, optionally made the default observer. Modal over the list;
// accepted once the observer is stored.
class frinsObs : public QDialog {
    Q_OBJECT
public:
    explicit frinsObs(QWidget *parent = nullptr);
    ~frinsObs() override;

public slots:
    void reject() override;

private slots:
    void CdIns_Click();
    void Command2_Click();

private:
    void Form_Load();
    // Why the (trimmed) code cannot be stored, or nothing when it can.
    static QString ProblemaCodigo(const QString &codigo);
    std::unique_ptr<Ui::frinsObs> ui;
    bool ocupado_ = false;
};
