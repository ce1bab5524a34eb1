#pragma once

namespace cli {

struct Invocation;

// analyse sales|stock|customers|profit: the analysis as its tab computes
// it, written as the grid (.csv, .xlsx, .pdf) or the chart (.jpg).
int runAnalyse(const Invocation &inv);

} // namespace cli
