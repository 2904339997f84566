#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class frsplash;
}

class frsplash : public QWidget {
    Q_OBJECT
public:
    explicit frsplash(QWidget *parent = nullptr);
    ~frsplash() override;

private:
    void Form_Load();
    std::unique_ptr<Ui::frsplash> ui;
};
