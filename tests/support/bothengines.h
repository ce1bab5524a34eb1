#pragma once

// Cases that must give the same results on a file set and a server set run once on each.

#include "pgcluster.h"

class QObject;

namespace testsupport {

// The cluster of the second run; null during the run on file sets.
PgCluster *testServer();

// In the second run, replaces the current file set by a server set linked under its number.
bool moveCurrentSetToServer();

// Runs test on file sets, then on server sets if installed; returns the failed cases.
int runOnBothEngines(QObject &test, int argc, char **argv);

} // namespace testsupport

// main() for a test class run on both engines, with an application of the given class.
#define KORVO_TEST_ON_BOTH_ENGINES(TestClass, ApplicationClass) \
    int main(int argc, char **argv) \
    { \
        ApplicationClass app(argc, argv); \
        TestClass test; \
        return testsupport::runOnBothEngines(test, argc, argv); \
    }
