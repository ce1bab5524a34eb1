#pragma once

// Test programs whose cases must give the same results on a file set and on
// a set on a database server run them twice: first on file sets, then on
// sets in a throwaway cluster of their own.

#include "pgcluster.h"

class QObject;

namespace testsupport {

// The cluster of the second run; null during the run on file sets.
PgCluster *testServer();

// During the second run, replaces the current file set by a set on the
// server (a new database holding what the first file set moved held, linked in the program folder
// under the file set's number) and makes it current; the file itself is
// removed, so the folder lists one set as before. Does nothing during the
// first run. False when the server set could not be made.
bool moveCurrentSetToServer();

// Runs the cases of test on file sets, then on server sets when the server
// programs are installed. Returns the number of failed cases; a cluster
// that will not start counts as one.
int runOnBothEngines(QObject &test, int argc, char **argv);

} // namespace testsupport

// main() for a test class run on both engines, with an application of the
// given class.
#define KORVO_TEST_ON_BOTH_ENGINES(TestClass, ApplicationClass) \
    int main(int argc, char **argv) \
    { \
        ApplicationClass app(argc, argv); \
        TestClass test; \
        return testsupport::runOnBothEngines(test, argc, argv); \
    }
