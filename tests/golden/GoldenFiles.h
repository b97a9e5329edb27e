#pragma once
// Whole outputs compared with stored copies under tests/data/golden/<case>:
// entries.txt lists every file and directory of the output (directories end
// in "/", so empty ones count too), and out/ holds the files byte for byte.
// Run with --update-golden, the test writes what the code produces instead.

#include <QString>

namespace ertest {

void setUpdatingGolden(bool on);

// Compares the tree below `outputRoot` with the stored case, or stores it.
void expectMatchesGolden(const QString& caseName, const QString& outputRoot);

} // namespace ertest
