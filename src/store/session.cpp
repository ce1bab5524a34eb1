#include "session.h"

namespace store {

QString CurrentAccountFile;
int CurrentAccountIndex = -1;
int CurrentUserID = 0;
QString CurrentUser;
QString CurrentRights;

} // namespace store
