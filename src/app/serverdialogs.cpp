#include "serverdialogs.h"

#include "records/rights.h"
#include "store/accountsets.h"
#include "store/programfolder.h"
#include "store/prompts.h"
#include "store/serverlinks.h"
#include "store/session.h"
#include "ui/dialogkeys.h"
#include "ui/shellhost.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include <thread>

namespace app {

using store::ServerSetState;

namespace {

constexpr int kHost = 0;
constexpr int kPort = 1;
constexpr int kDatabase = 2;
constexpr int kUser = 3;
constexpr int kPassword = 4;
constexpr int kCompany = 5;
constexpr int kName = 6;

// True when a connection to the server was made, whatever the database held.
bool reached(ServerSetState state)
{
    switch (state) {
    case ServerSetState::Ready:
    case ServerSetState::Older:
    case ServerSetState::Newer:
    case ServerSetState::Empty:
    case ServerSetState::NotAccountSet:
        return true;
    default:
        return false;
    }
}

bool holdsAllRights(const QString &what)
{
    if (store::CurrentRights.contains(records::kAllRights))
        return true;
    store::prompts().message(QStringLiteral("您没有%1的权限！").arg(what));
    return false;
}

// Lists the set fileName with the others, the set in use staying current,
// and offers to open it with question.
void offerNewSet(const QString &fileName, const QString &question)
{
    const QString current = store::CurrentAccountFile;
    store::BuildAccountSetList();
    int position = -1;
    store::CurrentAccountIndex = -1;
    for (int i = 0; i < store::AccountSets.size(); ++i) {
        const QString name = store::AccountSets.at(i).FileName;
        if (name.compare(fileName, Qt::CaseInsensitive) == 0)
            position = i;
        if (!current.isEmpty() && name.compare(current, Qt::CaseInsensitive) == 0)
            store::CurrentAccountIndex = i;
    }
    store::CurrentAccountFile = current;
    if (position < 0 || !store::prompts().question(question))
        return;
    ui::ShellHost *host = ui::shellHost();
    if (!host) {
        store::MakeAccountSetCurrent(position);
        return;
    }
    host->ClearRecordGrids();
    host->ClearAnalysisGrids();
    host->SelectAccountSet(position, false);
    host->ShowCurrentAnalysisTab();
}

// The bare name a new set of the folder gets, with suffix (".qdt", ".qsv");
// empty (and said) when every number is taken.
QString nextSetName(const QString &suffix)
{
    const QString path = store::NextAccountSetPath();
    if (path.isEmpty()) {
        store::prompts().message(QStringLiteral("套账数量已达上限（%1个），无法再增加套账！")
                                         .arg(store::kMaxAccountSetNumber));
        return QString();
    }
    return QFileInfo(path).completeBaseName() + suffix;
}

// Writes a link to the server set connInfo names; its bare name, or empty
// when it could not be written (said).
QString writeLink(const QString &connInfo)
{
    const QString link = nextSetName(QLatin1String(store::kServerLinkSuffix));
    if (link.isEmpty())
        return QString();
    QString error;
    if (!store::writeServerLink(store::programFilePath(link), connInfo, &error)) {
        store::prompts().message(error);
        return QString();
    }
    return link;
}

// Fills the empty server database connInfo names with work on a thread of
// its own behind the busy box (caption), then writes its link and offers to
// open it with question; a failure is said with failure (%1: the reason).
void fillServerSet(QWidget *parent, const QString &connInfo, const QString &caption,
                   const QString &failure, const QString &question,
                   const std::function<bool(QString *)> &work)
{
    bool filled = false;
    QString error;
    RunBusy(parent, caption, [&] { filled = work(&error); });
    if (!filled) {
        store::prompts().message(failure.arg(error));
        return;
    }
    const QString link = writeLink(connInfo);
    if (!link.isEmpty())
        offerNewSet(link, question);
}

} // namespace

ServerConnectionDialog::ServerConnectionDialog(Purpose purpose, QWidget *parent)
    : QDialog(parent)
    , m_purpose(purpose)
{
    const QString titles[]
            = {QStringLiteral("连接服务器套账"), QStringLiteral("上传当前套账到服务器"),
               QStringLiteral("在服务器上新建套账")};
    setWindowTitle(titles[int(purpose)]);
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    QStringList labels
            = {QStringLiteral("主机："), QStringLiteral("端口："), QStringLiteral("数据库："),
               QStringLiteral("用户："), QStringLiteral("密码：")};
    if (purpose == Purpose::NewSet)
        labels << QStringLiteral("所属企业：") << QStringLiteral("套账名称：");
    for (const QString &label : labels) {
        auto *edit = new QLineEdit(this);
        edit->setMinimumWidth(260);
        m_boxes.append(edit);
        form->addRow(label, edit);
    }
    m_boxes[kHost]->setPlaceholderText(QStringLiteral("服务器名称或地址，空白为本机"));
    m_boxes[kPort]->setText(QStringLiteral("5432"));
    m_boxes[kPort]->setValidator(new QIntValidator(1, 65535, this));
    m_boxes[kPassword]->setEchoMode(QLineEdit::Password);
    m_boxes[kPassword]->setPlaceholderText(QStringLiteral("只在本次运行中使用，不会保存"));
    layout->addLayout(form);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (const QString &caption :
         {QStringLiteral("测试连接"), QStringLiteral("确    定"), QStringLiteral("取    消")}) {
        auto *button = new QPushButton(caption, this);
        button->setAutoDefault(false);
        m_buttons.append(button);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    connect(m_buttons[0], &QPushButton::clicked, this, &ServerConnectionDialog::testConnection);
    connect(m_buttons[1], &QPushButton::clicked, this, &ServerConnectionDialog::confirm);
    connect(m_buttons[2], &QPushButton::clicked, this, &QDialog::reject);
    ui::prepareDialog(this, m_buttons[1], m_buttons[2]);
}

QString ServerConnectionDialog::connInfo() const
{
    return store::serverConnInfo(m_boxes[kHost]->text(), m_boxes[kPort]->text(),
                                 m_boxes[kDatabase]->text(), m_boxes[kUser]->text());
}

bool ServerConnectionDialog::suits(ServerSetState state) const
{
    if (m_purpose != Purpose::UseSet)
        return state == ServerSetState::Empty;
    return state == ServerSetState::Ready || state == ServerSetState::Older;
}

bool ServerConnectionDialog::check(QString *message)
{
    const QString port = m_boxes[kPort]->text().trimmed();
    bool numeric = false;
    const int number = port.toInt(&numeric);
    QString missing;
    if (!port.isEmpty() && (!numeric || number < 1 || number > 65535))
        missing = QStringLiteral("端口应是 1 到 65535 之间的数字！");
    else if (m_boxes[kDatabase]->text().trimmed().isEmpty())
        missing = QStringLiteral("请填写数据库名称！");
    else if (m_boxes[kUser]->text().trimmed().isEmpty())
        missing = QStringLiteral("请填写用户名！");
    if (!missing.isEmpty()) {
        store::prompts().message(missing);
        return false;
    }
    const QString info = connInfo();
    const QString password = m_boxes[kPassword]->text();
    ServerSetState state = ServerSetState::Failed;
    RunBusy(this, QStringLiteral("正在连接数据库服务器…"),
            [&] { state = store::CheckServerSet(info, password, message); });
    m_state = state;
    // A database that was reached but does not suit gets the reason in the
    // words of what was asked for.
    if (reached(state) && !suits(state)) {
        if (m_purpose == Purpose::UploadSet)
            *message = QStringLiteral("服务器上的数据库不是空的，只能上传到空数据库。");
        else if (m_purpose == Purpose::NewSet)
            *message = QStringLiteral("服务器上的数据库不是空的，只能在空数据库中新建套账。");
    } else if (m_purpose == Purpose::UploadSet && state == ServerSetState::Empty) {
        *message = QStringLiteral("连接成功，数据库是空的，可以上传套账。");
    } else if (m_purpose == Purpose::NewSet && state == ServerSetState::Empty) {
        *message = QStringLiteral("连接成功，数据库是空的，可以新建套账。");
    }
    return true;
}

void ServerConnectionDialog::testConnection()
{
    QString message;
    if (check(&message))
        store::prompts().message(message);
}

void ServerConnectionDialog::confirm()
{
    if (m_purpose == Purpose::NewSet) {
        // Asked before the server is, as 新建套账 asks them.
        if (m_boxes[kCompany]->text().isEmpty()) {
            store::prompts().message(QStringLiteral("请填写套账所属企业名称！"));
            return;
        }
        if (m_boxes[kName]->text().isEmpty()) {
            store::prompts().message(QStringLiteral("请填写套账名称！"));
            return;
        }
    }
    QString message;
    if (!check(&message))
        return;
    if (!suits(m_state)) {
        store::prompts().message(message);
        return;
    }
    // A set of an older version is brought up to date when it is opened;
    // the user is told so before.
    if (m_state == ServerSetState::Older)
        store::prompts().message(message);
    accept();
}

void RunBusy(QWidget *parent, const QString &caption, const std::function<void()> &work)
{
    QProgressDialog busy(caption, QString(), 0, 0, parent);
    busy.setWindowTitle(QStringLiteral("请稍候"));
    busy.setWindowModality(Qt::ApplicationModal);
    busy.setCancelButton(nullptr);
    busy.setMinimumDuration(300);
    QEventLoop loop;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}

void ConnectServerAccountSet(QWidget *parent)
{
    ServerConnectionDialog dialog(ServerConnectionDialog::Purpose::UseSet, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString link = writeLink(dialog.connInfo());
    if (!link.isEmpty())
        offerNewSet(link, QStringLiteral("服务器套账已连接，现在马上调用？"));
}

void NewServerAccountSet(QWidget *parent)
{
    ServerConnectionDialog dialog(ServerConnectionDialog::Purpose::NewSet, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString info = dialog.connInfo();
    const QString company = dialog.box(kCompany)->text();
    const QString name = dialog.box(kName)->text();
    fillServerSet(parent, info, QStringLiteral("正在服务器上新建套账…"),
                  QStringLiteral("新建套账失败：%1"),
                  QStringLiteral("新套账生成完成，现在马上调用？"),
                  [&](QString *error) { return store::InitServerSet(info, name, company, error); });
}

void UploadCurrentAccountSet(QWidget *parent)
{
    const QString file = store::CurrentAccountFile;
    if (file.isEmpty()) {
        store::prompts().message(QStringLiteral("请先调用一个套账！"));
        return;
    }
    if (store::isServerLink(file)) {
        store::prompts().message(QStringLiteral("当前套账已在服务器上，不能再上传。"));
        return;
    }
    if (!holdsAllRights(QStringLiteral("上传套账")))
        return;
    ServerConnectionDialog dialog(ServerConnectionDialog::Purpose::UploadSet, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString info = dialog.connInfo();
    const QString path = store::programFilePath(file);
    fillServerSet(parent, info, QStringLiteral("正在上传套账到服务器…"),
                  QStringLiteral("上传套账失败：%1"),
                  QStringLiteral("套账已上传到服务器，现在马上调用服务器上的套账？"),
                  [&](QString *error) { return store::UploadAccountSet(path, info, error); });
}

void DownloadCurrentAccountSet(QWidget *parent)
{
    const QString file = store::CurrentAccountFile;
    if (file.isEmpty() || !store::isServerLink(file)) {
        store::prompts().message(QStringLiteral("只有服务器上的套账才能下载为本地套账。"));
        return;
    }
    if (!holdsAllRights(QStringLiteral("下载套账")))
        return;
    QString error;
    const QString info = store::readServerLink(store::programFilePath(file), &error);
    if (info.isEmpty()) {
        store::prompts().message(error);
        return;
    }
    const QString name = nextSetName(QStringLiteral(".qdt"));
    if (name.isEmpty())
        return;
    const QString path = store::programFilePath(name);
    bool downloaded = false;
    RunBusy(parent, QStringLiteral("正在下载服务器上的套账…"),
            [&] { downloaded = store::DownloadAccountSet(info, path, &error); });
    if (!downloaded) {
        store::prompts().message(QStringLiteral("下载套账失败：%1").arg(error));
        return;
    }
    offerNewSet(name, QStringLiteral("已下载为本地套账：%1\n现在马上调用？")
                              .arg(QDir::toNativeSeparators(path)));
}

} // namespace app
