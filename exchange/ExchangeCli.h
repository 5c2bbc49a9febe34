#pragma once

#include <QStringList>
#include <optional>

namespace exchange {

// Whether the arguments (those the general options left) ask for --export or --import.
[[nodiscard]] bool isExchangeCommand(const QStringList& arguments);

// Runs --export or --import without a window when the arguments (those the general options left) ask for one;
// nullopt when they do not. Errors go to standard error; the result is the exit status.
//   --export FILE.vcf|FILE.csv [--search FIELD WORD] [--not]
//   --import FILE [--table NAME] [--skip-long] [--map "Column=Field,..."] (--cut: the default, kept for old scripts)
[[nodiscard]] std::optional<int> runExchangeCommand(const QStringList& arguments, int& argc, char** argv);

// A file named on the command line without an option, as the desktop passes one to "Open with": taken out of the
// arguments and returned, to be imported once start-up is done. Empty when there is none.
[[nodiscard]] QString takeFileToOpen(QStringList& arguments);

} // namespace exchange
