#pragma once
// The folder chooser: a tree of the file system's folders, the chosen path and "确定".
#include <QWidget>

class QLineEdit;
class QPushButton;
class QTreeView;
class QFileSystemModel;
class TForm1;

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(TForm1* form1, QWidget* parent = nullptr);

    QTreeView* ShellTreeView1 = nullptr;
    QLineEdit* pathedit = nullptr;
    QPushButton* pathbtn = nullptr;

    void ShellTreeView1Click();
    void pathbtnClick();

private:
    TForm1* form1_;
    QFileSystemModel* folders_ = nullptr;
};
