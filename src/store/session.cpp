#include "session.h"

#include "prompts.h"

namespace store {

QString CurrentAccountFile;
int CurrentAccountIndex = -1;
int CurrentUserID = 0;
QString CurrentUser;
QString CurrentRights;

bool SessionStamp::checkBeforeSaving() const
{
    if (isCurrent())
        return true;
    prompts().message(m_file != CurrentAccountFile
                              ? QStringLiteral("已打开另一个套账，本窗口的修改没有保存！")
                              : QStringLiteral("登录用户已改变，本窗口的修改没有保存！"));
    return false;
}

} // namespace store
