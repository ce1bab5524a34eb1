#pragma once

#include "store/servercopy.h"

#include <QDialog>
#include <QVector>

#include <functional>

class QLineEdit;
class QPushButton;

namespace app {

// The window that asks how to reach an account set on a database server:
// 主机, 端口, 数据库, 用户 and 密码, with 测试连接, 确定 and 取消. 测试连接
// and 确定 try the connection and say in one message what they found; 确定
// closes the window only when the database suits what it is asked for. For
// a new set it also asks 所属企业 and 套账名称.
class ServerConnectionDialog : public QDialog
{
    Q_OBJECT

public:
    // What the database must hold for 确定 to accept it.
    enum class Purpose {
        UseSet,    // a Korvo set (of this or an older version)
        UploadSet, // nothing at all, so a set can be copied there
        NewSet,    // nothing at all, so a new set can be made there
    };

    explicit ServerConnectionDialog(Purpose purpose, QWidget *parent = nullptr);

    // Boxes: 0 主机, 1 端口, 2 数据库, 3 用户, 4 密码; for a new set also
    // 5 所属企业 and 6 套账名称.
    QLineEdit *box(int index) const { return m_boxes.at(index); }
    // Buttons: 0 测试连接, 1 确定, 2 取消.
    QPushButton *button(int index) const { return m_buttons.at(index); }

    // The connection string of the boxes, without the password.
    QString connInfo() const;
    // The state the last try found.
    store::ServerSetState lastState() const { return m_state; }

    // 测试连接: tries the connection and tells what it found.
    void testConnection();
    // 确定: tries the connection; accepts when the database suits the purpose,
    // otherwise says why and stays open.
    void confirm();

private:
    // Tries the connection without freezing the window; false when a box
    // is missing (said already).
    bool check(QString *message);
    bool suits(store::ServerSetState state) const;

    Purpose m_purpose;
    QVector<QLineEdit *> m_boxes;
    QVector<QPushButton *> m_buttons;
    store::ServerSetState m_state = store::ServerSetState::Failed;
};

// Runs work on a thread of its own while the window shows a busy
// indicator with caption, so it neither freezes nor takes other input.
// work must not show anything (no prompts) and must not touch widgets.
void RunBusy(QWidget *parent, const QString &caption, const std::function<void()> &work);

// Menu 套账操作 → 连接服务器套账…: asks for the connection, writes the link
// in the program folder and offers to open the set.
void ConnectServerAccountSet(QWidget *parent = nullptr);
// Menu 套账操作 → 在服务器上新建套账…: makes an empty server database a
// new set from the template, writes its link and offers to open it.
void NewServerAccountSet(QWidget *parent = nullptr);
// Menu 套账操作 → 上传当前套账到服务器…: copies the current file set to an
// empty server database, writes its link and offers to open it.
void UploadCurrentAccountSet(QWidget *parent = nullptr);
// Menu 套账操作 → 下载为本地套账…: makes a new file set from the current
// server set and offers to open it.
void DownloadCurrentAccountSet(QWidget *parent = nullptr);

} // namespace app
