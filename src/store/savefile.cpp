#include "savefile.h"

#include <QSaveFile>

#include <unistd.h>

namespace store {

bool CommitSaveFile(QSaveFile &file)
{
    if (!file.isOpen())
        return false;
    const bool written
            = file.error() == QFileDevice::NoError && file.flush() && ::fsync(file.handle()) == 0;
    if (!written) {
        file.cancelWriting();
        file.commit(); // discards the work file
        return false;
    }
    return file.commit();
}

} // namespace store
