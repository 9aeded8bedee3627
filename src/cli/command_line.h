#pragma once
// The command line of sayloom-cli: the table of commands with their operands, options and help
// texts, and the parsing of the arguments into one invocation of one command. Main thread.
//
// Errors: `parse` throws UsageError for a command line that names no known command, has the wrong
// number of operands, or an unknown, incomplete or conflicting option; the program then exits with
// status 2; a command may throw it too, for a combination of options it cannot take. Options may
// stand anywhere after the program name; "--" ends them.
#include <QCoroTask>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace sayloom::cli {

inline constexpr int exitOk = 0;
inline constexpr int exitFailure = 1;
inline constexpr int exitUsage = 2;

class UsageError : public std::runtime_error {
public:
  // `helpFor` is the command (or group) whose help explains the mistake; empty for the program.
  UsageError(const std::string& message, std::string helpFor)
      : std::runtime_error(message), m_helpFor(std::move(helpFor)) {}
  const std::string& helpFor() const { return m_helpFor; }

private:
  std::string m_helpFor;
};

// A command failed and has already shown why on standard error: the program exits with status 1
// and prints nothing more.
class AlreadyReported : public std::exception {
public:
  const char* what() const noexcept override { return "already reported"; }
};

// What one run of a command gets.
struct Invocation {
  std::vector<std::string> operands;          // in the order the command names them
  std::set<std::string> flags;                // options without a value that were given
  std::map<std::string, std::string> values;  // options with a value
  std::stop_token stop;                       // signalled by an interrupt (Ctrl+C) or termination

  bool has(std::string_view flag) const { return flags.contains(std::string(flag)); }
  std::string value(std::string_view option, std::string fallback) const;
};

using Handler = QCoro::Task<void> (*)(const Invocation&);

struct Option {
  const char* name;       // "--json"
  const char* valueName;  // "L" for an option with a value, null for a flag
  const char* help;
  int exclusiveGroup = 0;  // options sharing a group other than 0 exclude each other
};

struct Command {
  std::vector<const char*> words;     // {"notes", "list"}
  std::vector<const char*> operands;  // {"ID", "FILE"}
  std::vector<Option> options;
  const char* summary;  // one line
  const char* details;  // paragraphs for the command's own help; may be empty
  Handler handler;
};

// Every command, in the order the help lists them.
const std::vector<Command>& commands();

struct Parsed {
  const Command* command = nullptr;  // null when `output` is all there is to do
  Invocation invocation;
  std::optional<std::string> output;  // help or version text to print on standard output
};

Parsed parse(const std::vector<std::string>& arguments);

// "sayloom-cli notes list [--json]"
std::string usageLine(const Command& command);
// The hint after a usage error: where to read more.
std::string helpHint(const std::string& helpFor);

}  // namespace sayloom::cli
