#pragma once

class QSaveFile;

namespace store {

// Finishes a file written through QSaveFile: writes out what is still
// buffered, syncs it to the disk and only then renames it over the target.
// Qt's own commit() reports success even when the last buffered bytes could
// not be written (a full disk leaves an empty file under the name); this
// fails instead, removes the work file and leaves the target as it was.
// True when the complete file is in place.
bool CommitSaveFile(QSaveFile &file);

} // namespace store
