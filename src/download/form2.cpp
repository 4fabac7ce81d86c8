#include "download/form2.h"

#include "app/form1.h"

#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

TForm2::TForm2(TForm1* form1, QWidget* parent) : QWidget(parent, Qt::Window), form1_(form1)
{
    setWindowTitle("选择保存目录");
    auto* layout = new QVBoxLayout(this);
    ShellTreeView1 = new QTreeView(this);
    pathedit = new QLineEdit(this);
    pathbtn = new QPushButton("确定", this);
    layout->addWidget(ShellTreeView1);
    layout->addWidget(pathedit);
    layout->addWidget(pathbtn);
    resize(320, 420);
}

void TForm2::ShellTreeView1Click() {}
void TForm2::pathbtnClick() {}
